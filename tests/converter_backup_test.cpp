// Backups of output files: a copy is the file as the system's copy makes it
// and is in place only once committed; a failed copy is reported before
// anything is replaced.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "TestSupport.h"
#include "core/Backup.h"
#include "platform/Files.h"
#include "platform/SafeFile.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

namespace fs = std::filesystem;

struct stat StatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info;
}

// The earlier file's bytes, mode and times, and for root its owner and group.
TEST(Backup, ACopyIsTheFileAsTheSystemCopiesIt) {
    TempDir dir;
    const std::string file = dir.file("m.ame"), backup = dir.file("m.bak");
    WriteFile(file, "earlier");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(30 * 24));
    if (geteuid() == 0) testing_support::GiveToOrdinaryUser(file);
    WriteFile(backup, "older");
    PendingCopy copy(file, backup);
    ASSERT_EQ(copy.Error(), 0);
    EXPECT_EQ(ReadFile(backup), "older");  // not in place before Commit
    ASSERT_TRUE(copy.File().Commit());
    EXPECT_EQ(ReadFile(backup), "earlier");
    const struct stat made = StatOf(backup), from = StatOf(file);
    EXPECT_EQ(made.st_mode & 07777, 0600u);
    EXPECT_EQ(made.st_mtim.tv_sec, from.st_mtim.tv_sec);
    EXPECT_EQ(made.st_mtim.tv_nsec, from.st_mtim.tv_nsec);
    EXPECT_EQ(made.st_uid, from.st_uid);
    EXPECT_EQ(made.st_gid, from.st_gid);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);  // nothing hidden left
}

// A copy that can't be made names the system's reason and changes nothing;
// a pipe is refused without waiting for a writer.
TEST(Backup, FailedCopiesChangeNothing) {
    TempDir dir;
    WriteFile(dir.file("m.bak"), "older");
    WriteFile(dir.file("m.ame"), "earlier");
    fs::create_directory(dir.file("f.ame"));
    ASSERT_EQ(mkfifo(dir.file("p.ame").c_str(), 0600), 0);
    const testing_support::HangGuard guard(60);
    const std::pair<std::string, int> cases[] = {{"none.ame", ENOENT},
                                                 {"f.ame", EISDIR},
                                                 {"p.ame", platform::NotRegularFile}};
    for (const auto& [from, error] : cases) {
        PendingCopy copy(dir.file(from), dir.file("m.bak"));
        EXPECT_EQ(copy.Error(), error) << from;
    }
    EXPECT_EQ(PendingCopy(dir.file("m.ame"), dir.file("missing/m.bak")).Error(), ENOENT);
    EXPECT_EQ(ReadFile(dir.file("m.bak")), "older");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4);
}

}  // namespace
