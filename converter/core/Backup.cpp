#include "core/Backup.h"

#include <filesystem>
#include <system_error>

namespace strova {

namespace fs = std::filesystem;

bool CopyToBackup(const std::string& path, const std::string& backup) {
    std::error_code error;
    return fs::copy_file(path, backup, fs::copy_options::overwrite_existing, error) && !error;
}

bool RestoreFromBackup(const std::string& path, const std::string& backup) {
    std::error_code error;
    if (!fs::copy_file(backup, path, fs::copy_options::overwrite_existing, error) || error) return false;
    fs::remove(backup, error);
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
