// Backups of output files: a step copies an existing output file to its
// backup before it writes anything, and a failed step puts it back. Every copy
// replaces its target whole, so a kill never leaves a cut backup or file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class SafeFile;
}

namespace strova {

// Which file stands under a name, and in which state: tells whether a step
// replaced or changed the file after its backup was made.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0;  // nanoseconds
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at `path` (all 0 when there is none).
FileIdentity IdentityOf(const std::string& path);

// A copy of a file made whole in a temporary beside its target, which only
// Commit puts in place: a step makes all its backups before any of them
// replaces an older one, so a copy that fails changes nothing.
class PendingCopy {
public:
    PendingCopy(const std::string& from, const std::string& to);
    ~PendingCopy();
    PendingCopy(const PendingCopy&) = delete;
    PendingCopy& operator=(const PendingCopy&) = delete;

    // 0, or the system's error number of the copy that failed.
    int Error() const { return error_; }
    // Replaces the target with the copy. False, with Error() set, when that
    // failed or the copy had failed before.
    bool Commit();

private:
    std::unique_ptr<platform::SafeFile> copy_;
    int error_ = 0;
};

// Each of the copies below that fails stores the system's error number in
// `error` where one is given.

// Puts a backup back over `path` and deletes the backup. False when the
// backup could not be copied back (it is then kept).
bool RestoreFromBackup(const std::string& path, const std::string& backup, int* error = nullptr);
// The undo of a failed step for a file it backed up: a file still as it was
// when backed up (`earlier`) stays untouched and only the backup is deleted;
// otherwise RestoreFromBackup.
bool UndoFromBackup(const std::string& path, const std::string& backup, const FileIdentity& earlier,
                    int* error = nullptr);
// Deletes a file a failed step created; a missing file is fine. A symbolic
// link the step wrote through stays, and the file made at its end goes.
void DeleteNewFile(const std::string& path);

// The message when a backup can't be put back after a failed step: the old
// contents are still in the backup (caption "Strova - Error"). It names the
// system's reason for a non-zero `error`.
std::string RestoreFailedText(const std::string& path, const std::string& backup, bool japanese, int error = 0);

// The message when a backup copy failed (caption "Strova - Error"), with the
// system's reason for a non-zero `error`.
std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese, int error = 0);

}  // namespace strova
