#include "core/Backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/SafeFile.h"

namespace strova {

namespace fs = std::filesystem;

namespace {

// Copies the bytes of `from` over `to` through a temporary file.
bool CopyWhole(const std::string& from, const std::string& to) {
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) return false;
    platform::SafeFile copy(to);
    bool ok = copy.Open();
    char buffer[1 << 16];
    for (ssize_t got = 0; ok;) {
        got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;  // a folder or a read error fails
            break;
        }
        ok = copy.Write(buffer, static_cast<std::size_t>(got));
    }
    ::close(source);
    return ok && copy.Commit();
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool CopyToBackup(const std::string& path, const std::string& backup) { return CopyWhole(path, backup); }

bool RestoreFromBackup(const std::string& path, const std::string& backup) {
    if (!CopyWhole(backup, path)) return false;
    std::error_code ignored;
    fs::remove(backup, ignored);
    return true;
}

bool UndoFromBackup(const std::string& path, const std::string& backup, const FileIdentity& earlier) {
    if (IdentityOf(path) != earlier) return RestoreFromBackup(path, backup);
    std::error_code ignored;
    fs::remove(backup, ignored);
    return true;
}

void DeleteNewFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

std::string RestoreFailedText(const std::string& path, const std::string& backup, bool japanese) {
    if (japanese)
        return "ﾊﾞｯｸｱｯﾌﾟから元のﾌｧｲﾙに戻せません．\r元のﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup +
               ">\r元の内容はﾊﾞｯｸｱｯﾌﾟに残っています．";
    return "The backup can't be copied back.\r" "Old File : <" + path + ">\r" "Backup File : <" + backup +
           ">\rThe old contents are kept in the backup.";
}

std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese) {
    if (japanese)
        return "既存ﾌｧｲﾙのｺﾋﾟｰを作成できません．\r既存ﾌｧｲﾙ <" + path + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + backup +
               ">\r既存ﾌｧｲﾙはそのままです．";
    return "The old file can't be copied to its backup.\r" "Old File : <" + path + ">\r" "Backup File : <" +
           backup + ">\rNothing was changed.";
}

}  // namespace strova
