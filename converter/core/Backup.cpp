#include "core/Backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/SafeFile.h"

namespace strova {

namespace fs = std::filesystem;

PendingCopy::PendingCopy(const std::string& from, const std::string& to)
    : copy_(std::make_unique<platform::SafeFile>(to)) {
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        error_ = errno;
        return;
    }
    if (!copy_->Open()) error_ = copy_->Error();
    char buffer[1 << 16];
    while (error_ == 0) {
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = errno;  // a folder or a read error fails
        if (got <= 0) break;
        if (!copy_->Write(buffer, static_cast<std::size_t>(got))) error_ = copy_->Error();
    }
    ::close(source);
}

PendingCopy::~PendingCopy() = default;

bool PendingCopy::Commit() {
    if (error_ == 0 && !copy_->Commit()) error_ = copy_->Error();
    return error_ == 0;
}

namespace {

// Copies the bytes of `from` over `to` through a temporary file. Returns 0,
// or the system's error number of what failed.
int CopyWhole(const std::string& from, const std::string& to) {
    PendingCopy copy(from, to);
    copy.Commit();
    return copy.Error();
}

// True for no error; hands the error number to a caller that asked for it.
bool Report(int error, int* reported) {
    if (reported) *reported = error;
    return error == 0;
}

// The line with the system's reason, when there is one.
std::string ReasonLine(int error) { return error != 0 ? std::string(std::strerror(error)) + "\r" : std::string(); }

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool RestoreFromBackup(const std::string& path, const std::string& backup, int* error) {
    if (!Report(CopyWhole(backup, path), error)) return false;
    std::error_code ignored;
    fs::remove(backup, ignored);
    return true;
}

bool UndoFromBackup(const std::string& path, const std::string& backup, const FileIdentity& earlier, int* error) {
    if (IdentityOf(path) != earlier) return RestoreFromBackup(path, backup, error);
    std::error_code ignored;
    fs::remove(backup, ignored);
    return true;
}

void DeleteNewFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(platform::FinalName(path), ignored);
}

std::string RestoreFailedText(const std::string& path, const std::string& backup, bool japanese, int error) {
    if (japanese)
        return "ﾊﾞｯｸｱｯﾌﾟから元のﾌｧｲﾙに戻せません．\r元のﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup +
               ">\r" + ReasonLine(error) + "元の内容はﾊﾞｯｸｱｯﾌﾟに残っています．";
    return "The backup can't be copied back.\r" "Old File : <" + path + ">\r" "Backup File : <" + backup +
           ">\r" + ReasonLine(error) + "The old contents are kept in the backup.";
}

std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese, int error) {
    if (japanese)
        return "既存ﾌｧｲﾙのｺﾋﾟｰを作成できません．\r既存ﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup +
               ">\r" + ReasonLine(error) + "既存ﾌｧｲﾙはそのままです．";
    return "The old file can't be copied to its backup.\r" "Old File : <" + path + ">\r" "Backup File : <" +
           backup + ">\r" + ReasonLine(error) + "Nothing was changed.";
}

}  // namespace strova
