// Backups of output files: a step copies each earlier output file to its
// backup before it writes anything, and a failed step takes them back. Every
// copy replaces its target whole, so a kill never leaves a cut backup or
// file, and is the file as the system's copy makes it: the same bytes, mode
// and times, and for root the same owner and group.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {
class SafeFile;
}

namespace strova {

// A copy of a file made whole and synced in a temporary beside its target,
// which only Commit puts in place: a step makes all its backups before any of
// them replaces an older one, so a copy that fails changes nothing.
class PendingCopy {
public:
    PendingCopy(const std::string& from, const std::string& to);
    ~PendingCopy();
    PendingCopy(const PendingCopy&) = delete;
    PendingCopy& operator=(const PendingCopy&) = delete;

    // 0, or the system's error number (or platform::FileRefusal) of the copy
    // that failed.
    int Error() const { return error_; }
    // Replaces the target with the copy; the file it replaced stays aside
    // until Undo or until the copy goes. False, with Error() set, when that
    // failed or the copy had failed before.
    bool Commit();
    // After Commit: the replaced file back under its name, or the copy
    // removed where there was none.
    bool Undo();

private:
    std::unique_ptr<platform::SafeFile> copy_;
    int error_ = 0;
};

// Copies `from` over `to` for good. Returns 0, or the error number (or
// platform::FileRefusal) of what failed.
int CopyWhole(const std::string& from, const std::string& to);

// The message when a backup can't be put back after a failed step: the old
// contents are still in the backup (caption "Strova - Error"). It names the
// system's reason for a non-zero `error`.
std::string RestoreFailedText(const std::string& path, const std::string& backup, bool japanese, int error = 0);

// The message when a backup copy failed (caption "Strova - Error"), with the
// system's reason for a non-zero `error`. The step changed nothing; a failure
// of step 3 names the files that step 2 wrote (`stepTwoFiles`).
std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese, int error = 0,
                             const std::vector<std::string>& stepTwoFiles = {});

}  // namespace strova
