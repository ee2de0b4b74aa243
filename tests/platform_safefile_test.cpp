// Files replaced whole: at every point of a write the final name holds the
// earlier file or the complete new one, a failed write leaves nothing behind,
// links are written through, and the user's permissions are respected.
#include "platform/SafeFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using platform::SafeFile;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    SafeFile file(path);
    return file.Open() && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

fs::perms ModeOf(const std::string& path) { return fs::status(path).permissions(); }

// What a checkpoint finds under the final name.
std::string* watched = nullptr;
std::set<std::string>* seen = nullptr;
void RecordFinalName() { seen->insert(fs::exists(*watched) ? ReadFile(*watched) : "<none>"); }

TEST(SafeFile, EveryPointOfAWriteShowsTheEarlierOrTheWholeNewFile) {
    TempDir dir;
    std::string path = dir.file("m.cfg");
    WriteFile(path, "earlier");
    const std::string fresh(100000, 'n');  // several writes of the stream
    std::set<std::string> found;
    watched = &path;
    seen = &found;
    platform::SafeFileCheckpoint = RecordFinalName;
    EXPECT_TRUE(WriteWhole(path, fresh));
    platform::SafeFileCheckpoint = nullptr;
    EXPECT_EQ(found, (std::set<std::string>{"earlier", fresh}));
    EXPECT_EQ(ReadFile(path), fresh);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"m.cfg"});

    // A new name: nothing, then the whole file.
    std::string other = dir.file("n.ame");
    found.clear();
    watched = &other;
    platform::SafeFileCheckpoint = RecordFinalName;
    EXPECT_TRUE(WriteWhole(other, "new"));
    platform::SafeFileCheckpoint = nullptr;
    EXPECT_EQ(found, (std::set<std::string>{"<none>", "new"}));
}

TEST(SafeFile, UnfinishedWritesLeaveTheEarlierFileAndNoTemporary) {
    TempDir dir;
    const std::string path = dir.file("m.ame");
    WriteFile(path, "earlier");
    {
        SafeFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("new", 3));
        std::fflush(file.Stream());
        EXPECT_EQ(Entries(dir.path()).size(), 2u);  // the temporary lies beside it
        EXPECT_EQ(ReadFile(path), "earlier");
    }  // destroyed without Commit
    EXPECT_EQ(ReadFile(path), "earlier");
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"m.ame"});

    SafeFile discarded(path);
    ASSERT_TRUE(discarded.Open());
    discarded.Discard();
    EXPECT_FALSE(discarded.Commit());
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"m.ame"});
}

TEST(SafeFile, AFullDiskFailsTheCommitAndKeepsTheEarlierFile) {
    TempDir dir;
    const std::string path = dir.file("m.cfg");
    WriteFile(path, "earlier");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SafeFile file(path);
    const std::string big(100000, 'x');
    const bool written = file.Open() && file.Write(big.data(), big.size()) && file.Commit();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(file.Error(), EFBIG);
    EXPECT_EQ(ReadFile(path), "earlier");
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"m.cfg"});
}

TEST(SafeFile, PermissionsOfTheReplacedFileStayAndNewFilesFollowTheUmask) {
    TempDir dir;
    const std::string kept = dir.file("kept.ame");
    WriteFile(kept, "earlier");
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteWhole(kept, "new"));
    EXPECT_EQ(ModeOf(kept), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const mode_t mask = umask(027);
    const bool made = WriteWhole(dir.file("made.ame"), "new");
    umask(mask);
    ASSERT_TRUE(made);
    EXPECT_EQ(ModeOf(dir.file("made.ame")), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(SafeFile, SymbolicLinksAreWrittenThrough) {
    TempDir dir;
    fs::create_directory(dir.file("real"));
    WriteFile(dir.file("real/m.cfg"), "earlier");
    fs::create_symlink("real/m.cfg", dir.file("m.cfg"));       // relative to the link's folder
    fs::create_symlink(dir.file("m.cfg"), dir.file("chain"));  // a link to a link
    fs::create_symlink("real/new.cfg", dir.file("dangling"));
    ASSERT_TRUE(WriteWhole(dir.file("chain"), "new"));
    ASSERT_TRUE(WriteWhole(dir.file("dangling"), "made"));
    EXPECT_TRUE(fs::is_symlink(dir.file("m.cfg")));
    EXPECT_TRUE(fs::is_symlink(dir.file("chain")));
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling")));
    EXPECT_EQ(ReadFile(dir.file("real/m.cfg")), "new");
    EXPECT_EQ(ReadFile(dir.file("real/new.cfg")), "made");
    EXPECT_EQ(Entries(dir.file("real")), (std::set<std::string>{"m.cfg", "new.cfg"}));
}

TEST(SafeFile, StaleTemporariesGoButLiveOnesAndOtherFilesStay) {
    TempDir dir;
    const std::string path = dir.file("m.ame");
    WriteFile(path, "earlier");
    for (const char* name : {".m.ame.Ab3xY9.tmp", ".m.ame.zzzzzz.tmp"}) WriteFile(dir.file(name), "cut");
    const std::set<std::string> others{".m.ame.toolong1.tmp", "m.ame.Ab3xY9.tmp", ".n.ame.Ab3xY9.tmp",
                                       ".m.ame.Ab3xY9.bak", ".m.ame.Ab3xY9.tmp.x"};
    for (const std::string& name : others) WriteFile(dir.file(name), "user's");
    fs::create_directory(dir.file(".m.ame.folder.tmp"));

    SafeFile live(path);
    ASSERT_TRUE(live.Open());  // cleans up on its way
    std::set<std::string> expected = others;
    expected.insert({"m.ame", ".m.ame.folder.tmp"});
    std::set<std::string> found = Entries(dir.path());
    EXPECT_EQ(found.size(), expected.size() + 1);  // and its own temporary
    for (const std::string& name : expected) EXPECT_EQ(found.count(name), 1u) << name;

    // A second writer of the same name leaves the live temporary alone.
    platform::RemoveStaleTemporaries(path);
    EXPECT_EQ(Entries(dir.path()), found);
    ASSERT_TRUE(live.Write("new", 3));
    ASSERT_TRUE(live.Commit());
    EXPECT_EQ(ReadFile(path), "new");
    for (const std::string& name : others) EXPECT_EQ(ReadFile(dir.file(name)), "user's");
}

// A name as long as a folder takes still leaves room for its temporary,
// and a stale one of it is found.
TEST(SafeFile, TheLongestNamesAreReplacedToo) {
    TempDir dir;
    const std::string path = dir.file(std::string(251, 'm') + ".ame");
    WriteFile(path, "earlier");
    std::string stale;
    {
        SafeFile killed(path);
        ASSERT_TRUE(killed.Open()) << killed.Reason();
        const std::set<std::string> entries = Entries(dir.path());
        for (const std::string& name : entries)
            if (name.starts_with('.')) stale = name;
        ASSERT_FALSE(stale.empty());
    }
    WriteFile(dir.file(stale), "cut");  // as a killed writer leaves it
    ASSERT_TRUE(WriteWhole(path, "new"));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{fs::path(path).filename().string()});
}

TEST(SafeFile, WhatCantBeReplaced) {
    TempDir dir;
    fs::create_directory(dir.file("m.ame"));
    SafeFile folder(dir.file("m.ame"));
    EXPECT_FALSE(folder.Open());
    EXPECT_EQ(folder.Error(), EISDIR);
    EXPECT_EQ(platform::ReplaceError(dir.file("m.ame")), EISDIR);
    EXPECT_EQ(platform::ReplaceError(dir.file("missing/m.ame")), ENOENT);
    SafeFile missing(dir.file("missing/m.ame"));
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ(missing.Reason(), "No such file or directory");
    EXPECT_EQ(platform::ReplaceError(dir.file("n.ame")), 0);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"m.ame"});
}

TEST(SafeFile, DevicesAreWrittenDirectlyAndKeptDevices) {
    EXPECT_TRUE(WriteWhole("/dev/null", "bytes"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    SafeFile full("/dev/full");
    EXPECT_FALSE(full.Open() && full.Write("bytes", 5) && full.Commit());
    EXPECT_EQ(full.Error(), ENOSPC);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// Run as the ordinary user by the next test, in the folder it names.
TEST(SafeFile, DISABLED_AsOrdinaryUser) {
    const fs::path dir = std::getenv("SAFEFILE_DIR");
    const std::string locked = (dir / "open/locked.ame").string(), closedNew = (dir / "closed/new.ame").string();
    const std::string writable = (dir / "closed/writable.ame").string();
    for (const std::string& path : {locked, closedNew, writable}) {
        SafeFile file(path);
        EXPECT_FALSE(file.Open()) << path;
        EXPECT_EQ(file.Error(), EACCES) << path;
        EXPECT_EQ(file.Reason(), "Permission denied");
        EXPECT_EQ(platform::ReplaceError(path), EACCES) << path;
    }
    EXPECT_TRUE(WriteWhole((dir / "open/mine.ame").string(), "new"));
    EXPECT_EQ(platform::ReplaceError((dir / "open/mine.ame").string()), 0);
}

TEST(SafeFile, TheUsersPermissionsDecide) {
    TempDir dir;
    fs::create_directories(dir.file("open"));
    fs::create_directories(dir.file("closed"));
    testing_support::OpenToOrdinaryUser(dir.file("open"));
    WriteFile(dir.file("open/locked.ame"), "earlier");
    WriteFile(dir.file("closed/writable.ame"), "earlier");  // the file is, its folder isn't
    fs::permissions(dir.file("closed/writable.ame"), fs::perms::all);
    fs::permissions(dir.file("open/locked.ame"), fs::perms::owner_read | fs::perms::others_read);
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec;
    fs::permissions(dir.file("closed"), readOnly);
    const pid_t child = testing_support::StartAsOrdinaryUser(
        testing_support::SelfPath(),
        {"--gtest_also_run_disabled_tests", "--gtest_filter=SafeFile.DISABLED_AsOrdinaryUser"},
        {{"SAFEFILE_DIR", dir.path().string()}});
    EXPECT_EQ(testing_support::WaitForExit(child, 60), 0);
    fs::permissions(dir.file("closed"), fs::perms::owner_all);
    EXPECT_EQ(ReadFile(dir.file("open/locked.ame")), "earlier");
    EXPECT_EQ(ReadFile(dir.file("closed/writable.ame")), "earlier");
    EXPECT_EQ(ReadFile(dir.file("open/mine.ame")), "new");
    EXPECT_EQ(Entries(dir.file("open")), (std::set<std::string>{"locked.ame", "mine.ame"}));
}

}  // namespace
