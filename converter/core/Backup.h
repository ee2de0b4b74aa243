// Backups of output files: a step copies each earlier output file to its
// backup, and puts the copies in place when it replaces the outputs. Every
// copy replaces its target whole, so a kill never leaves a cut backup, and
// is the file as the system's copy makes it: the same bytes, mode and times,
// and for root the same owner and group.
#pragma once

#include <memory>
#include <string>

namespace platform {
class SafeFile;
}

namespace strova {

// A copy of a file made whole and synced in a temporary beside its target.
// The step's transaction puts it in place together with the step's outputs,
// so that a copy that fails, or a step that is given up, changes nothing.
class PendingCopy {
public:
    PendingCopy(const std::string& from, const std::string& to);
    ~PendingCopy();
    PendingCopy(const PendingCopy&) = delete;
    PendingCopy& operator=(const PendingCopy&) = delete;

    // 0, or the system's error number (or platform::FileRefusal) of the copy
    // that failed.
    int Error() const { return error_; }
    // The copy, to be committed over the target.
    platform::SafeFile& File() { return *copy_; }

private:
    std::unique_ptr<platform::SafeFile> copy_;
    int error_ = 0;
};

// The message when a backup copy failed (caption "Strova - Error"), with the
// system's reason for a non-zero `error`; the transaction adds what became
// of the files.
std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese, int error = 0);

}  // namespace strova
