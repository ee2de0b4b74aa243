#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/Files.h"

using namespace platform;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const FoundFile* Find(const std::vector<FoundFile>& files, const std::string& name) {
    for (const auto& file : files)
        if (file.name == name) return &file;
    return nullptr;
}

}  // namespace

TEST(Files, AttributesOfEachKindOfEntry) {
    TempDir dir;
    WriteFile(dir.file("plain.uf1"), "x");
    WriteFile(dir.file(".hidden.uf1"), "x");
    WriteFile(dir.file("locked.uf1"), "x");
    chmod(dir.file("locked.uf1").c_str(), 0444);
    std::filesystem::create_directory(dir.path() / "sub.uf1");
    mkfifo(dir.file("pipe.uf1").c_str(), 0600);
    std::filesystem::create_symlink(dir.path() / "plain.uf1", dir.path() / "link.uf1");
    std::filesystem::create_symlink(dir.path() / "gone", dir.path() / "broken.uf1");

    EXPECT_EQ(FileAttributes(dir.file("plain.uf1")), faArchive);
    EXPECT_EQ(FileAttributes(dir.file(".hidden.uf1")), faArchive | faHidden);
    if (geteuid() != 0) { EXPECT_EQ(FileAttributes(dir.file("locked.uf1")), faArchive | faReadOnly); }
    EXPECT_EQ(FileAttributes(dir.file("sub.uf1")), faDirectory);
    EXPECT_EQ(FileAttributes(dir.file("pipe.uf1")), faNormal);
    EXPECT_EQ(FileAttributes(dir.file("link.uf1")), faArchive);
    EXPECT_EQ(FileAttributes(dir.file("broken.uf1")), faNormal);

    // The search returns every kind, the attributes matching the above.
    auto found = FindFiles(dir.path().string() + "/*.uf1");
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(Find(found, "pipe.uf1")->attributes, faNormal);
    EXPECT_EQ(Find(found, "broken.uf1")->attributes, faNormal);
    EXPECT_EQ(Find(found, "sub.uf1")->attributes, faDirectory);
    EXPECT_EQ(Find(found, ".hidden.uf1")->attributes, faArchive | faHidden);
}

TEST(Files, WildcardsIgnoreLetterCase) {
    EXPECT_TRUE(MatchesWildcard("*.uf1", "0471999.UF1"));
    EXPECT_TRUE(MatchesWildcard("*.uf1", ".uf1"));
    EXPECT_TRUE(MatchesWildcard("*.uf1", "0471999.bak.uf1"));
    EXPECT_FALSE(MatchesWildcard("*.uf1", "0471999.uf1x"));
    EXPECT_FALSE(MatchesWildcard("*.uf1", "0471999.uf"));
    EXPECT_TRUE(MatchesWildcard("A??.s*a", "abc.sma"));
    EXPECT_FALSE(MatchesWildcard("A??.s*a", "abcd.sma"));
    EXPECT_TRUE(MatchesWildcard("*", ""));
    EXPECT_TRUE(MatchesWildcard("**x*", "aaxbb"));
    EXPECT_FALSE(MatchesWildcard("", "a"));
}

TEST(Files, SearchGivesNameOrderSizesAndTimes) {
    TempDir dir;
    WriteFile(dir.file("b.sma"), "12345");
    WriteFile(dir.file("a.sma"), "");
    WriteFile(dir.file("c.has"), "zz");
    std::filesystem::last_write_time(dir.path() / "a.sma",
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400));

    auto found = FindFiles(dir.path().string() + "/*.SMA");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "a.sma");
    EXPECT_EQ(found[1].name, "b.sma");
    EXPECT_EQ(found[0].size, 0u);
    EXPECT_EQ(found[1].size, 5u);
    EXPECT_LT(found[0].lastWrite.tm_year * 400 + found[0].lastWrite.tm_yday,
              found[1].lastWrite.tm_year * 400 + found[1].lastWrite.tm_yday);
}

TEST(Files, LargeFilesKeepTheirSize) {
    TempDir dir;
    std::filesystem::path big = dir.path() / "big.uf1";
    WriteFile(big, "");
    std::filesystem::resize_file(big, 5'000'000'000ull);  // sparse: no real disk use
    auto found = FindFiles(dir.path().string() + "/*.uf1");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].size, 5'000'000'000ull);
}

TEST(Files, MissingOrUnreadableFoldersGiveNothing) {
    TempDir dir;
    EXPECT_TRUE(FindFiles(dir.file("none") + "/*.uf1").empty());
    std::filesystem::create_directory(dir.path() / "closed");
    WriteFile(dir.path() / "closed" / "0471999.uf1", "x");
    chmod(dir.file("closed").c_str(), 0);
    if (geteuid() != 0) { EXPECT_TRUE(FindFiles(dir.file("closed") + "/*.uf1").empty()); }
    chmod(dir.file("closed").c_str(), 0700);
}

TEST(Files, PatternWithoutFolderSearchesTheCurrentFolder) {
    TempDir dir;
    WriteFile(dir.file("here.uf1"), "x");
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    auto found = FindFiles("*.uf1");
    std::filesystem::current_path(old);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "here.uf1");
}
