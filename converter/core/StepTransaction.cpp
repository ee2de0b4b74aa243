#include "core/StepTransaction.h"

#include <sys/stat.h>

#include <cerrno>
#include <set>

#include "core/Backup.h"
#include "core/StepJournal.h"
#include "platform/Files.h"
#include "platform/SafeFile.h"

namespace strova {

struct StepTransaction::Entry {
    StepOutput names;
    FileIdentity earlier;                      // the file under the name when its backup copy was made
    std::unique_ptr<PendingCopy> backup;       // that copy, until it is in place
    std::unique_ptr<platform::SafeFile> file;  // the new contents, while open
    bool backedUp = false;                     // the copy is in place
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

// The replacement a written file makes, as the journal records it.
Replacement ReplacementBy(const platform::SafeFile& file) {
    struct stat target {};
    const bool replaces = ::lstat(file.Target().c_str(), &target) == 0;
    return ReplacementOf(file.Target(), replaces ? platform::NewKeptName(file.Target()) : std::string(), file.Temp());
}

}  // namespace

StepTransaction::StepTransaction(std::vector<StepOutput> outputs, std::vector<std::string> earlierStep,
                                 std::string journalFolder)
    : earlierStep_(std::move(earlierStep)), journalFolder_(std::move(journalFolder)) {
    for (StepOutput& output : outputs) entries_.push_back(Entry{std::move(output), {}, nullptr, nullptr, false});
}

StepTransaction::~StepTransaction() { Abandon(); }

void StepTransaction::ExpectUnchanged(std::string path, const FileIdentity& identity) {
    inputs_.emplace_back(std::move(path), identity);
}

StepFailure StepTransaction::CheckInputs() const {
    for (const auto& [path, identity] : inputs_)
        if (IdentityOf(path) != identity) return {StepFault::InputChanged, path, {}, 0};
    return {};
}

StepFailure StepTransaction::Begin() {
    if (StepFailure failure = CheckInputs(); failure.Failed()) return failure;
    // The journal comes first: checking that an output can be replaced
    // makes a temporary of it too, which a kill must not leave behind.
    std::vector<std::string> names;
    for (const Entry& entry : entries_)
        for (const std::string& name : {entry.names.path, entry.names.backup})
            if (!name.empty()) names.push_back(name);
    int error = 0;
    journal_ = StepJournal::Create(journalFolder_, names, error);
    if (!journal_) return {StepFault::JournalFailed, journalFolder_, {}, error};
    for (const Entry& entry : entries_)
        if (const int error = ReplaceableError(entry.names.path); error != 0)
            return {StepFault::Unreplaceable, entry.names.path, {}, error};
    for (Entry& entry : entries_)
        if (StepFailure failure = CopyEarlier(entry); failure.Failed()) return failure;
    return {};
}

// The earlier file under an output's name, if any, copied to a temporary of
// its backup.
StepFailure StepTransaction::CopyEarlier(Entry& entry) {
    entry.backup.reset();
    entry.earlier = {};
    if (entry.names.backup.empty() || !Exists(entry.names.path)) return {};
    entry.earlier = IdentityOf(entry.names.path);
    entry.backup = std::make_unique<PendingCopy>(entry.names.path, entry.names.backup);
    if (const int error = entry.backup->Error(); error != 0)
        return {StepFault::BackupFailed, entry.names.path, entry.names.backup, error};
    return {};
}

// An earlier output that another program changed while the step ran is
// copied again, so that its backup is the file the step replaces.
StepFailure StepTransaction::RefreshBackups() {
    for (Entry& entry : entries_) {
        if (entry.names.backup.empty() || IdentityOf(entry.names.path) == entry.earlier) continue;
        if (StepFailure failure = CopyEarlier(entry); failure.Failed()) return failure;
    }
    return {};
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
    if (!journal_) return {StepFault::WriteFailed, entries_.front().names.path, {}, EBADF};
    if (StepFailure failure = CheckInputs(); failure.Failed()) return failure;
    // Every file is whole on the disk before any replaces its name: after
    // that only the renames can fail, and those are taken back.
    for (Entry& entry : entries_)
        if (!entry.file || !entry.file->Sync())
            return {StepFault::WriteFailed, entry.names.path, {}, entry.file ? entry.file->Error() : EBADF};
    if (StepFailure failure = RefreshBackups(); failure.Failed()) return failure;
    if (StepFailure failure = Replace(); failure.Failed()) return failure;
    for (Entry& entry : entries_) {
        entry.file.reset();
        entry.backedUp = entry.backup != nullptr;
        entry.backup.reset();
    }
    finished_ = true;
    return {};
}

// The backups, then the outputs, replace their files under the journal.
StepFailure StepTransaction::Replace() {
    struct Step {
        platform::SafeFile* file;
        StepFailure failure;  // what it is when it fails
    };
    std::vector<Step> steps;
    for (Entry& entry : entries_)
        if (entry.backup)
            steps.push_back({&entry.backup->File(),
                             {StepFault::BackupFailed, entry.names.path, entry.names.backup, 0}});
    for (Entry& entry : entries_) steps.push_back({entry.file.get(), {StepFault::WriteFailed, entry.names.path, {}, 0}});
    std::vector<Replacement> replacements;
    for (const Step& step : steps) replacements.push_back(ReplacementBy(*step.file));
    if (const int error = journal_->Record(replacements); error != 0)
        return {StepFault::JournalFailed, journal_->Path(), {}, error};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].file->CommitKeeping(replacements[i].kept)) continue;
        StepFailure failure = steps[i].failure;
        failure.error = steps[i].file->Error();
        return TakeBack(failure);
    }
    // The renames are on the disk before the step is marked whole.
    std::set<std::string> synced;
    for (const Replacement& replacement : replacements)
        if (synced.insert(platform::ContainingFolder(replacement.target)).second) platform::SyncFolderOf(replacement.target);
    if (const int error = journal_->MarkCommitted(); error != 0)
        return TakeBack({StepFault::JournalFailed, journal_->Path(), {}, error});
    journal_->Finish();
    journal_.reset();
    return {};
}

// The files already replaced are put back; the journal goes, or stays for
// the next start where a file is not back.
StepFailure StepTransaction::TakeBack(const StepFailure& failure) {
    unrestored_ = journal_->RollBack();
    journal_.reset();
    return failure;
}

void StepTransaction::Abandon() {
    if (finished_) return;
    finished_ = true;
    for (Entry& entry : entries_) {
        entry.file.reset();
        entry.backup.reset();
    }
    if (journal_) journal_->RollBack();
    journal_.reset();
}

std::string StepTransaction::OutcomeText(bool japanese, const std::string& lineBreak) const {
    std::string text;
    for (const KeptFile& kept : unrestored_) text += KeptFileText(kept, japanese, lineBreak) + lineBreak;
    if (earlierStep_.empty()) {
        if (unrestored_.empty()) text = japanese ? "既存ﾌｧｲﾙはそのままです．" : "Nothing was changed.";
        else text.resize(text.size() - lineBreak.size());
        return text;
    }
    if (unrestored_.empty())
        text = japanese ? "ｽﾃｯﾌﾟ3は何も変更せずに中止しました．" + lineBreak
                        : "Step 3 was given up and changed nothing." + lineBreak;
    text += japanese ? "ｽﾃｯﾌﾟ2のﾌｧｲﾙは作成済みです：" : "The files of Step 2 were written:";
    for (const std::string& path : earlierStep_) text += lineBreak + "<" + path + ">";
    return text;
}

std::string OutputWriteErrorText(const std::string& path, bool japanese, const std::string& reason) {
    const std::string text = japanese ? "出力先のﾌｧｲﾙ：\r<" + path + ">\rに書き込めません．"
                                      : "Output File :\r<" + path + "> can't be written.";
    return reason.empty() ? text : text + "\r" + reason;
}

std::string JournalFailedText(const std::string& path, bool japanese, int error) {
    return (japanese ? "変換の記録を書き込めません：\r<" + path + ">"
                     : "The journal of the conversion can't be written:\r<" + path + ">") +
           ReasonOnNewLine(error, japanese);
}

std::string InputChangedText(const std::string& path, bool japanese) {
    return japanese ? "入力ﾌｧｲﾙ：\r<" + path + ">\rは読み込んだ後に変更されました．\r変換をやり直してください．"
                    : "Input File :\r<" + path + "> has changed since it was read.\rRun the conversion again.";
}

std::string StepTransaction::FailureText(const StepFailure& failure, bool japanese) const {
    std::string text;
    switch (failure.fault) {
    case StepFault::None:
    case StepFault::OpenFailed:
        return {};
    case StepFault::Unreplaceable:
    case StepFault::WriteFailed:
        text = OutputWriteErrorText(failure.path, japanese, ReasonText(failure.error, japanese));
        break;
    case StepFault::InputChanged:
        text = InputChangedText(failure.path, japanese);
        break;
    case StepFault::JournalFailed:
        text = JournalFailedText(failure.path, japanese, failure.error);
        break;
    case StepFault::BackupFailed:
        text = BackupFailedText(failure.path, failure.backup, japanese, failure.error);
        break;
    }
    return text + "\r" + OutcomeText(japanese);
}

}  // namespace strova
