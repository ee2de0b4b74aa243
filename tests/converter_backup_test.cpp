// Backups of output files: a failed copy is reported before anything is
// overwritten, and a restore puts the old bytes back.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "TestSupport.h"
#include "core/Backup.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
// A backup made and put in place at once, as a step of one file makes it.
bool CopyToBackup(const std::string& path, const std::string& backup, int* error = nullptr) {
    PendingCopy copy(path, backup);
    const bool made = copy.Commit();
    if (error) *error = copy.Error();
    return made;
}
}  // namespace

TEST(Backup, CopyRestoreAndFailure) {
    TempDir dir;
    WriteFile(dir.file("m.ame"), "old");
    WriteFile(dir.file("m.bak"), "older");
    ASSERT_TRUE(CopyToBackup(dir.file("m.ame"), dir.file("m.bak")));
    EXPECT_EQ(ReadFile(dir.file("m.bak")), "old");
    WriteFile(dir.file("m.ame"), "new");
    ASSERT_TRUE(RestoreFromBackup(dir.file("m.ame"), dir.file("m.bak")));
    EXPECT_EQ(ReadFile(dir.file("m.ame")), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.bak")));

    // A backup that can't be written: reported with the system's reason, the
    // original untouched.
    int error = 0;
    EXPECT_FALSE(CopyToBackup(dir.file("m.ame"), dir.file("missing/m.bak"), &error));
    EXPECT_EQ(error, ENOENT);
    error = 0;
    EXPECT_FALSE(CopyToBackup(dir.file("none.ame"), dir.file("m.bak"), &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(ReadFile(dir.file("m.ame")), "old");
    // A missing backup is never "restored" over the file.
    EXPECT_FALSE(RestoreFromBackup(dir.file("m.ame"), dir.file("m.bak")));
    EXPECT_EQ(ReadFile(dir.file("m.ame")), "old");
    DeleteNewFile(dir.file("m.ame"));
    DeleteNewFile(dir.file("m.ame"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.ame")));
    EXPECT_EQ(BackupFailedText("./a.ame", "./a.bak", false),
              "The old file can't be copied to its backup.\rOld File : <./a.ame>\rBackup File : <./a.bak>\r"
              "Nothing was changed.");
    EXPECT_EQ(BackupFailedText("./a.ame", "./a.bak", false, ENOSPC),
              "The old file can't be copied to its backup.\rOld File : <./a.ame>\rBackup File : <./a.bak>\r"
              "No space left on device\rNothing was changed.");
    EXPECT_EQ(RestoreFailedText("./a.ame", "./a.bak", true, EACCES),
              "ﾊﾞｯｸｱｯﾌﾟから元のﾌｧｲﾙに戻せません．\r元のﾌｧｲﾙ <./a.ame>\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <./a.bak>\r"
              "Permission denied\r元の内容はﾊﾞｯｸｱｯﾌﾟに残っています．");
}

// Copies wait as temporaries until they are put in place, and a copy that
// failed is never put in place.
TEST(Backup, PendingCopiesReplaceNothingUntilCommitted) {
    TempDir dir;
    WriteFile(dir.file("m.ame"), "old");
    WriteFile(dir.file("m.bak"), "older");
    {
        PendingCopy dropped(dir.file("m.ame"), dir.file("m.bak"));
        EXPECT_EQ(dropped.Error(), 0);
        EXPECT_EQ(ReadFile(dir.file("m.bak")), "older");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporary left
    PendingCopy failed(dir.file("none.ame"), dir.file("m.bak"));
    EXPECT_FALSE(failed.Commit());
    EXPECT_EQ(failed.Error(), ENOENT);
    EXPECT_EQ(ReadFile(dir.file("m.bak")), "older");
    PendingCopy kept(dir.file("m.ame"), dir.file("m.bak"));
    EXPECT_TRUE(kept.Commit());
    EXPECT_EQ(ReadFile(dir.file("m.bak")), "old");
}

// A file made through a symbolic link goes, and the user's link stays.
TEST(Backup, ANewFileBehindALinkGoesAndTheLinkStays) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("maps"));
    std::filesystem::create_symlink("maps/m.ame", dir.file("m.ame"));
    WriteFile(dir.file("maps/m.ame"), "new");
    DeleteNewFile(dir.file("m.ame"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("maps/m.ame")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("m.ame")));
}

TEST(Backup, UndoLeavesAnUntouchedFileAndRestoresAReplacedOne) {
    TempDir dir;
    const std::string path = dir.file("m.cfg"), backup = dir.file("m.cfg.bak");
    WriteFile(path, "earlier");
    const FileIdentity earlier = IdentityOf(path);
    ASSERT_TRUE(CopyToBackup(path, backup));
    ASSERT_TRUE(UndoFromBackup(path, backup, earlier));
    EXPECT_TRUE(IdentityOf(path) == earlier);  // not even rewritten
    EXPECT_FALSE(std::filesystem::exists(backup));

    ASSERT_TRUE(CopyToBackup(path, backup));
    std::filesystem::remove(path);
    WriteFile(path, "new");  // the step replaced it before it failed
    ASSERT_TRUE(UndoFromBackup(path, backup, earlier));
    EXPECT_EQ(ReadFile(path), "earlier");
    EXPECT_FALSE(std::filesystem::exists(backup));

    // A folder under the name is no file to back up, and leaves no backup.
    std::filesystem::create_directory(dir.file("f.cfg"));
    EXPECT_FALSE(CopyToBackup(dir.file("f.cfg"), dir.file("f.bak")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}
