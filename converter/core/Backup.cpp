#include "core/Backup.h"

#include <unistd.h>

#include <cerrno>

#include "core/FileIo.h"
#include "platform/SafeFile.h"

namespace strova {

PendingCopy::PendingCopy(const std::string& from, const std::string& to)
    : copy_(std::make_unique<platform::SafeFile>(to)) {
    const int source = platform::OpenRegularFile(from, error_);
    if (source < 0) return;
    if (!copy_->Open(source)) error_ = copy_->Error();
    char buffer[1 << 16];
    while (error_ == 0) {
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = errno;
        if (got <= 0) break;
        if (!copy_->Write(buffer, static_cast<std::size_t>(got))) error_ = copy_->Error();
    }
    if (error_ == 0 && !copy_->Sync()) error_ = copy_->Error();
    ::close(source);
}

PendingCopy::~PendingCopy() = default;

bool PendingCopy::Commit() {
    if (error_ == 0 && !copy_->Commit(true)) error_ = copy_->Error();
    return error_ == 0;
}

bool PendingCopy::Undo() { return copy_->Undo(); }

int CopyWhole(const std::string& from, const std::string& to) {
    PendingCopy copy(from, to);
    copy.Commit();
    return copy.Error();
}

namespace {

// The line with the reason, when there is one.
std::string ReasonLine(int error, bool japanese) {
    return error != 0 ? ReasonText(error, japanese) + "\r" : std::string();
}

// What became of the run when a backup of its step failed: nothing changed,
// or, for step 3, step 2's files are written and step 3 was given up.
std::string OutcomeText(bool japanese, const std::vector<std::string>& stepTwoFiles) {
    if (stepTwoFiles.empty()) return japanese ? "既存ﾌｧｲﾙはそのままです．" : "Nothing was changed.";
    std::string text = japanese ? "ｽﾃｯﾌﾟ3は何も変更せずに中止しました．\rｽﾃｯﾌﾟ2のﾌｧｲﾙは作成済みです："
                                : "Step 3 was given up and changed nothing.\rThe files of Step 2 were written:";
    for (const std::string& path : stepTwoFiles) text += "\r<" + path + ">";
    return text;
}

}  // namespace

std::string RestoreFailedText(const std::string& path, const std::string& backup, bool japanese, int error) {
    if (japanese)
        return "ﾊﾞｯｸｱｯﾌﾟから元のﾌｧｲﾙに戻せません．\r元のﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup +
               ">\r" + ReasonLine(error, japanese) + "元の内容はﾊﾞｯｸｱｯﾌﾟに残っています．";
    return "The backup can't be copied back.\r" "Old File : <" + path + ">\r" "Backup File : <" + backup +
           ">\r" + ReasonLine(error, japanese) + "The old contents are kept in the backup.";
}

std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese, int error,
                             const std::vector<std::string>& stepTwoFiles) {
    if (japanese)
        return "既存ﾌｧｲﾙのｺﾋﾟｰを作成できません．\r既存ﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup +
               ">\r" + ReasonLine(error, japanese) + OutcomeText(japanese, stepTwoFiles);
    return "The old file can't be copied to its backup.\r" "Old File : <" + path + ">\r" "Backup File : <" +
           backup + ">\r" + ReasonLine(error, japanese) + OutcomeText(japanese, stepTwoFiles);
}

}  // namespace strova
