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

std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese, int error) {
    if (japanese)
        return "既存ﾌｧｲﾙのｺﾋﾟｰを作成できません．\r既存ﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup + ">" +
               ReasonOnNewLine(error, japanese);
    return "The old file can't be copied to its backup.\r" "Old File : <" + path + ">\r" "Backup File : <" +
           backup + ">" + ReasonOnNewLine(error, japanese);
}

}  // namespace strova
