#include "core/StepTransaction.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/Backup.h"
#include "platform/SafeFile.h"

namespace strova {

struct StepTransaction::Entry {
    StepOutput names;
    FileIdentity earlier;                      // the file under the name when its backup was made
    std::unique_ptr<PendingCopy> backup;       // its copy; in place once backedUp
    bool backedUp = false;
    std::unique_ptr<platform::SafeFile> file;  // the new contents, while open
};

namespace {

// An earlier output must be one the user may replace. One that is no regular
// file is named by its backup copy, which refuses it; a name with nothing
// under it by the worker that opens it.
int ReplaceableError(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return 0;
    return platform::ReplaceError(path);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

StepTransaction::StepTransaction(std::vector<StepOutput> outputs) {
    for (StepOutput& output : outputs) entries_.push_back(Entry{std::move(output), {}, nullptr, false, nullptr});
}

StepTransaction::~StepTransaction() { Abandon(); }

void StepTransaction::ExpectUnchanged(std::string path, const FileIdentity& identity) {
    inputs_.emplace_back(std::move(path), identity);
}

StepFailure StepTransaction::Begin() {
    for (const Entry& entry : entries_)
        for (const std::string& name : {entry.names.path, entry.names.backup})
            if (!name.empty()) platform::RemoveStaleTemporaries(name);
    for (const auto& [path, identity] : inputs_)
        if (IdentityOf(path) != identity) return {StepFault::InputChanged, path, {}, 0};
    for (const Entry& entry : entries_)
        if (const int error = ReplaceableError(entry.names.path); error != 0)
            return {StepFault::Unreplaceable, entry.names.path, {}, error};
    // Every copy is whole before any replaces an older backup.
    for (Entry& entry : entries_) {
        if (entry.names.backup.empty() || !Exists(entry.names.path)) continue;
        entry.earlier = IdentityOf(entry.names.path);
        entry.backup = std::make_unique<PendingCopy>(entry.names.path, entry.names.backup);
        if (entry.backup->Error() == 0) continue;
        const StepFailure failure{StepFault::BackupFailed, entry.names.path, entry.names.backup, entry.backup->Error()};
        TakeBackBackups();
        return failure;
    }
    for (Entry& entry : entries_) {
        if (!entry.backup) continue;
        if (!entry.backup->Commit()) {
            const StepFailure failure{StepFault::BackupFailed, entry.names.path, entry.names.backup,
                                      entry.backup->Error()};
            TakeBackBackups();
            return failure;
        }
        entry.backedUp = true;
    }
    return {};
}

// The backups put in place give way to the older ones again.
void StepTransaction::TakeBackBackups() {
    for (Entry& entry : entries_) {
        if (entry.backedUp) entry.backup->Undo();
        entry.backedUp = false;
        entry.backup.reset();
    }
}

const std::string& StepTransaction::Path(std::size_t output) const { return entries_[output].names.path; }

std::vector<StepOutput> StepTransaction::BackedUp() const {
    std::vector<StepOutput> backedUp;
    for (const Entry& entry : entries_)
        if (entry.backedUp) backedUp.push_back(entry.names);
    return backedUp;
}

StepFailure StepTransaction::Open(std::size_t output) {
    Entry& entry = entries_[output];
    entry.file = std::make_unique<platform::SafeFile>(entry.names.path);
    if (entry.file->Open()) return {};
    const StepFailure failure{StepFault::OpenFailed, entry.names.path, {}, entry.file->Error()};
    entry.file.reset();
    return failure;
}

std::FILE* StepTransaction::Stream(std::size_t output) const {
    const Entry& entry = entries_[output];
    return entry.file ? entry.file->Stream() : nullptr;
}

int StepTransaction::WriteError(std::size_t output) const {
    const Entry& entry = entries_[output];
    return entry.file ? entry.file->Error() : 0;
}

StepFailure StepTransaction::Commit() {
    // Every output is whole on the disk before any replaces its file: after
    // that only the renames can fail, and those are taken back.
    StepFailure failure;
    for (Entry& entry : entries_)
        if (!entry.file || !entry.file->Sync()) {
            failure = {StepFault::WriteFailed, entry.names.path, {}, entry.file ? entry.file->Error() : EBADF};
            break;
        }
    std::size_t committed = 0;
    for (; !failure.Failed() && committed < entries_.size(); ++committed) {
        Entry& entry = entries_[committed];
        if (!entry.file->Commit(true)) {
            failure = {StepFault::WriteFailed, entry.names.path, {}, entry.file->Error()};
            break;
        }
    }
    if (failure.Failed()) {
        for (std::size_t i = 0; i < committed; ++i) entries_[i].file->Undo();
        for (Entry& entry : entries_) entry.file.reset();
        return failure;
    }
    // For good: the files replaced and the older backups go.
    for (Entry& entry : entries_) {
        entry.file.reset();
        entry.backup.reset();
        entry.backedUp = false;
    }
    finished_ = true;
    return {};
}

std::vector<StepFailure> StepTransaction::Abandon() {
    std::vector<StepFailure> failures;
    if (finished_) return failures;
    finished_ = true;
    for (Entry& entry : entries_) {
        entry.file.reset();
        if (!entry.backedUp) continue;
        if (IdentityOf(entry.names.path) != entry.earlier) {
            if (const int error = CopyWhole(entry.names.backup, entry.names.path); error != 0) {
                failures.push_back({StepFault::RestoreFailed, entry.names.path, entry.names.backup, error});
                continue;  // the backup keeps the earlier contents; the older one it replaced goes
            }
        }
        entry.backup->Undo();
    }
    for (Entry& entry : entries_) {
        entry.backup.reset();
        entry.backedUp = false;
    }
    return failures;
}

std::string OutputWriteErrorText(const std::string& path, bool japanese, const std::string& reason) {
    const std::string text = japanese ? "出力先のﾌｧｲﾙ：\r<" + path + ">\rに書き込めません．"
                                      : "Output File :\r<" + path + "> can't be written.";
    return reason.empty() ? text : text + "\r" + reason;
}

std::string InputChangedText(const std::string& path, bool japanese) {
    return japanese ? "入力ﾌｧｲﾙ：\r<" + path + ">\rは読み込んだ後に変更されました．\r変換をやり直してください．"
                    : "Input File :\r<" + path + "> has changed since it was read.\rRun the conversion again.";
}

std::string StepFailureText(const StepFailure& failure, bool japanese, const std::vector<std::string>& stepTwoFiles) {
    switch (failure.fault) {
    case StepFault::None:
    case StepFault::OpenFailed:
        return {};
    case StepFault::Unreplaceable:
    case StepFault::WriteFailed:
        return OutputWriteErrorText(failure.path, japanese, ReasonText(failure.error, japanese));
    case StepFault::InputChanged:
        return InputChangedText(failure.path, japanese);
    case StepFault::BackupFailed:
        return BackupFailedText(failure.path, failure.backup, japanese, failure.error, stepTwoFiles);
    case StepFault::RestoreFailed:
        return RestoreFailedText(failure.path, failure.backup, japanese, failure.error);
    }
    return {};
}

}  // namespace strova
