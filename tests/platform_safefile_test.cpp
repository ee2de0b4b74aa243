// Files replaced whole: at every point of a write the final name holds the
// earlier file or the complete new one, a failed write leaves nothing behind,
// links are written through where the user may trust them, devices and pipes
// are refused, owners are kept, and the user's permissions are respected.
#include "platform/SafeFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Only regular files are read or replaced: a device or a pipe is refused at
// once, never opened in a way that could block.
TEST(SafeFile, DevicesAndPipesAreRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe.cfg").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.cfg"));
    const testing_support::HangGuard guard(60);
    for (const std::string& path : {std::string("/dev/null"), dir.file("pipe.cfg")}) {
        SafeFile file(path);
        EXPECT_FALSE(file.Open()) << path;
        EXPECT_EQ(file.Error(), platform::NotRegularFile) << path;
        EXPECT_EQ(file.Reason(), "Not a regular file");
        EXPECT_EQ(platform::ReplaceError(path), platform::NotRegularFile) << path;
        int error = 0;
        EXPECT_EQ(platform::OpenRegularFile(path, error), -1) << path;
        EXPECT_EQ(error, platform::NotRegularFile) << path;
    }
    int error = 0;
    EXPECT_EQ(platform::OpenRegularFile(dir.file("folder.cfg"), error), -1);
    EXPECT_EQ(error, EISDIR);
    EXPECT_TRUE(fs::is_fifo(dir.file("pipe.cfg")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// A commit that keeps the replaced file leaves it under the name it was
// given, the same file, and that name is none a cleaner of temporaries takes.
TEST(SafeFile, ACommitKeepsTheReplacedFileWhereItIsTold) {
    TempDir dir;
    const std::string path = dir.file("m.bak");
    WriteFile(path, "older");
    struct stat before {}, kept {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    const std::string keepAs = platform::NewKeptName(path);
    EXPECT_EQ(platform::ContainingFolder(keepAs), dir.path().string());
    {
        SafeFile file(path);
        ASSERT_TRUE(file.Open() && file.Write("new", 3) && file.CommitKeeping(keepAs));
    }
    platform::RemoveStaleTemporaries(path);
    EXPECT_EQ(ReadFile(path), "new");
    ASSERT_EQ(stat(keepAs.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_ino, before.st_ino);
    EXPECT_EQ(Entries(dir.path()).size(), 2u);
    // Nothing to keep where there was no file; a commit that fails keeps nothing.
    SafeFile made(dir.file("n.bak"));
    ASSERT_TRUE(made.Open() && made.CommitKeeping(platform::NewKeptName(dir.file("n.bak"))));
    SafeFile failing(dir.file("m.bak"));
    ASSERT_TRUE(failing.Open());
    fs::remove(dir.file("m.bak"));
    fs::create_directory(dir.file("m.bak"));
    EXPECT_FALSE(failing.CommitKeeping(platform::NewKeptName(dir.file("m.bak"))));
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"m.bak", "n.bak", fs::path(keepAs).filename().string()}));
}

// Root replacing another user's file leaves it that user's: the user can
// still replace it afterwards.
TEST(SafeFile, AReplacedFileKeepsItsOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give files away";
    TempDir dir;
    testing_support::OpenToOrdinaryUser(dir.path());
    const std::string path = dir.file("m.cfg");
    WriteFile(path, "earlier");
    testing_support::GiveToOrdinaryUser(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteWhole(path, "root's"));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, testing_support::OrdinaryUserId());
    EXPECT_EQ(info.st_gid, testing_support::OrdinaryUserId());  // nogroup is 65534 as nobody is
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(testing_support::AsOrdinaryUser([&] { return WriteWhole(path, "the user's") ? 0 : 1; }), 0);
    EXPECT_EQ(ReadFile(path), "the user's");
}

// In a folder that is sticky and world-writable, another user's link is not
// followed, for reading or for writing, unless the folder's owner made it; a
// user's own links are followed there as anywhere.
TEST(SafeFile, LinksOfOtherUsersInASharedFolderAreNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can plant another user's link";
    TempDir dir;
    constexpr uid_t kOther = 4242;
    fs::create_directory(dir.file("private"));
    WriteFile(dir.file("private/secret.txt"), "secret");
    const auto plant = [&](const std::string& folder, const std::string& name, uid_t owner) {
        fs::create_directories(dir.file(folder));
        fs::permissions(dir.file(folder), fs::perms::all | fs::perms::sticky_bit);
        const std::string link = dir.file(folder + "/" + name);
        fs::create_symlink(dir.file("private/secret.txt"), link);
        EXPECT_EQ(lchown(link.c_str(), owner, owner), 0);
        return link;
    };
    const std::string foreign = plant("shared", "map.cfg", kOther);
    EXPECT_FALSE(WriteWhole(foreign, "overwritten"));
    EXPECT_EQ(platform::ReplaceError(foreign), platform::ForeignLink);
    int error = 0;
    EXPECT_EQ(platform::OpenRegularFile(foreign, error), -1);
    EXPECT_EQ(error, platform::ForeignLink);
    EXPECT_EQ(platform::ErrorText(error), "A link of another user in a shared folder");
    EXPECT_EQ(ReadFile(dir.file("private/secret.txt")), "secret");
    EXPECT_TRUE(fs::is_symlink(foreign));
    // A link to a folder in the middle of the path counts as the last one does.
    const std::string through = dir.file("shared/out");
    fs::create_directory_symlink(dir.file("private"), through);
    ASSERT_EQ(lchown(through.c_str(), kOther, kOther), 0);
    EXPECT_FALSE(WriteWhole(through + "/secret.txt", "overwritten"));
    EXPECT_EQ(platform::OpenRegularFile(through + "/secret.txt", error), -1);
    EXPECT_EQ(error, platform::ForeignLink);
    EXPECT_EQ(ReadFile(dir.file("private/secret.txt")), "secret");

    EXPECT_TRUE(WriteWhole(plant("shared", "own.cfg", geteuid()), "own"));
    EXPECT_EQ(ReadFile(dir.file("private/secret.txt")), "own");
    const std::string byOwner = plant("others", "map.cfg", kOther);
    ASSERT_EQ(chown(dir.file("others").c_str(), kOther, kOther), 0);
    EXPECT_TRUE(WriteWhole(byOwner, "owner's"));
    EXPECT_EQ(ReadFile(dir.file("private/secret.txt")), "owner's");
    const std::string closed = dir.file("closed.cfg");  // a folder not open to all
    fs::create_symlink(dir.file("private/secret.txt"), closed);
    ASSERT_EQ(lchown(closed.c_str(), kOther, kOther), 0);
    EXPECT_TRUE(WriteWhole(closed, "closed"));
    EXPECT_EQ(ReadFile(dir.file("private/secret.txt")), "closed");
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

    // The kernel gives no second link to a file the user may write but not
    // read (protected hardlinks), as a FAT folder gives none to any file: the
    // replaced file is moved to the kept name instead.
    const std::string blind = (dir / "open/blind.bak").string(), keepAs = platform::NewKeptName(blind);
    struct stat before {}, after {};
    ASSERT_EQ(stat(blind.c_str(), &before), 0);
    SafeFile file(blind);
    EXPECT_TRUE(file.Open() && file.Write("new", 3) && file.CommitKeeping(keepAs));
    ASSERT_EQ(stat(keepAs.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 1u);
    fs::remove(keepAs);
}

TEST(SafeFile, TheUsersPermissionsDecide) {
    TempDir dir;
    fs::create_directories(dir.file("open"));
    fs::create_directories(dir.file("closed"));
    testing_support::OpenToOrdinaryUser(dir.file("open"));
    WriteFile(dir.file("open/locked.ame"), "earlier");
    WriteFile(dir.file("open/blind.bak"), "older");
    fs::permissions(dir.file("open/blind.bak"), fs::perms::owner_read | fs::perms::owner_write |
                                                    fs::perms::group_write | fs::perms::others_write);
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
    EXPECT_EQ(ReadFile(dir.file("open/blind.bak")), "new");
    EXPECT_EQ(Entries(dir.file("open")), (std::set<std::string>{"blind.bak", "locked.ame", "mine.ame"}));
}

}  // namespace
