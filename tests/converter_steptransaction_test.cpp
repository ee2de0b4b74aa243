// A step's files as one transaction, without windows: it commits whole or
// takes back whole, older backups included; it refuses what is no file to
// replace and another user's links before it makes any backup; and it fails
// a step whose input changed since the step before read it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/StepTransaction.h"
#include "platform/Files.h"
#include "platform/SafeFile.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

namespace fs = std::filesystem;

// Every file of a folder with its contents.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = entry.is_regular_file() ? ReadFile(entry.path()) : "<not a file>";
    return files;
}

// Calls `action` once, at the first checkpoint of a file replaced whole at
// which `when` holds.
std::function<bool()> checkpointWhen;
std::function<void()> checkpointAction;
void AtCheckpoint() {
    if (!checkpointWhen || !checkpointWhen()) return;
    checkpointWhen = nullptr;
    checkpointAction();
}

class StepTransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(ame, "earlier ame");
        WriteFile(dat, "earlier list");
        WriteFile(dir.file("m.bak"), "older ame backup");
    }
    void TearDown() override {
        platform::SafeFileCheckpoint = nullptr;
        checkpointWhen = nullptr;
    }
    // The earlier files turn into something else at the first checkpoint
    // where `when` holds.
    void Meanwhile(std::function<bool()> when, std::function<void()> action) {
        checkpointWhen = std::move(when);
        checkpointAction = std::move(action);
        platform::SafeFileCheckpoint = AtCheckpoint;
    }
    StepFailure WriteBoth(StepTransaction& files) {
        for (std::size_t output : {0u, 1u}) {
            if (StepFailure failure = files.Open(output); failure.Failed()) return failure;
            std::fputs(output == 0 ? "new ame" : "new list", files.Stream(output));
        }
        return files.Commit();
    }

    TempDir dir;
    std::string ame = dir.file("m.ame"), dat = dir.file("m_a.dat");
    std::vector<StepOutput> outputs{{ame, dir.file("m.bak")}, {dat, dir.file("m_a.bak")}};
};

TEST_F(StepTransactionTest, ACommittedStepReplacesEveryFileAndKeepsTheBackups) {
    StepTransaction files(outputs);
    ASSERT_FALSE(files.Begin().Failed());
    ASSERT_EQ(files.BackedUp().size(), 2u);
    EXPECT_EQ(files.BackedUp()[1].backup, dir.file("m_a.bak"));
    ASSERT_FALSE(WriteBoth(files).Failed());
    EXPECT_EQ(Files(dir.path()), (std::map<std::string, std::string>{{"m.ame", "new ame"},
                                                                     {"m_a.dat", "new list"},
                                                                     {"m.bak", "earlier ame"},
                                                                     {"m_a.bak", "earlier list"}}));
    EXPECT_TRUE(files.Abandon().empty());  // a committed step stays
    EXPECT_EQ(ReadFile(ame), "new ame");
}

// Temporaries a killed run left of the step's outputs and backups go when
// the step begins again, whether or not it writes them this time; those of
// other files stay.
TEST_F(StepTransactionTest, BeginningRemovesWhatAKilledRunLeft) {
    for (const char* stale : {".m.ame.Ab3xY9.tmp", ".m.bak.Ab3xY9.tmp", ".m_a.dat.Ab3xY9.tmp", ".m_a.bak.Ab3xY9.tmp",
                              ".m.cfg.Ab3xY9.tmp"})
        WriteFile(dir.file(stale), "cut");
    StepTransaction files(outputs);
    ASSERT_FALSE(files.Begin().Failed());
    files.Abandon();
    std::vector<std::string> hidden;
    for (const auto& [name, bytes] : Files(dir.path()))
        if (name.starts_with('.')) hidden.push_back(name);
    EXPECT_EQ(hidden, std::vector<std::string>{".m.cfg.Ab3xY9.tmp"});
}

// Cancelled, or failed in its last rename: every file is as it was before the
// step, the earlier outputs the very same files, the older backup back.
TEST_F(StepTransactionTest, AStepThatFailsLeavesEveryFileAsItWas) {
    const auto before = Files(dir.path());
    const FileIdentity earlier = IdentityOf(ame);
    {
        StepTransaction cancelled(outputs);
        ASSERT_FALSE(cancelled.Begin().Failed());
        ASSERT_FALSE(cancelled.Open(0).Failed());
        EXPECT_TRUE(cancelled.Abandon().empty());
    }
    EXPECT_EQ(Files(dir.path()), before);
    EXPECT_TRUE(IdentityOf(ame) == earlier);

    // The *.ame is in place when the *_a.dat can't be: both go back.
    StepTransaction failed(outputs);
    ASSERT_FALSE(failed.Begin().Failed());
    Meanwhile([&] { return ReadFile(ame) == "new ame"; },
              [&] {
                  fs::remove(dat);
                  fs::create_directory(dat);
              });
    const StepFailure failure = WriteBoth(failed);
    EXPECT_EQ(failure.fault, StepFault::WriteFailed);
    EXPECT_EQ(failure.path, dat);
    EXPECT_EQ(failure.error, EISDIR);
    EXPECT_EQ(StepFailureText(failure, false), "Output File :\r<" + dat + "> can't be written.\rIs a directory");
    // The same file again; only its change time moved with the link and the
    // rename that kept it aside and put it back.
    FileIdentity back = IdentityOf(ame);
    back.changed = earlier.changed;
    EXPECT_TRUE(back == earlier);
    // Something else took the name of the *_a.dat: its backup puts it back.
    fs::remove(dat);
    WriteFile(dat, "someone else's");
    EXPECT_TRUE(failed.Abandon().empty());
    EXPECT_EQ(Files(dir.path()), before);
}

// A backup that can't be put in place after another was takes that one back:
// the older backup it replaced is there again, and the message is true.
TEST_F(StepTransactionTest, ABackupThatCantBePutInPlaceTakesBackTheOthers) {
    WriteFile(dir.file("m_a.bak"), "older list backup");
    const auto before = Files(dir.path());
    StepTransaction files(outputs);
    Meanwhile([&] { return ReadFile(dir.file("m.bak")) == "earlier ame"; },
              [&] {
                  fs::remove(dir.file("m_a.bak"));
                  fs::create_directory(dir.file("m_a.bak"));
              });
    const StepFailure failure = files.Begin();
    EXPECT_EQ(failure.fault, StepFault::BackupFailed);
    EXPECT_EQ(StepFailureText(failure, false), "The old file can't be copied to its backup.\rOld File : <" + dat +
                                                   ">\rBackup File : <" + dir.file("m_a.bak") +
                                                   ">\rIs a directory\rNothing was changed.");
    fs::remove(dir.file("m_a.bak"));
    WriteFile(dir.file("m_a.bak"), "older list backup");
    EXPECT_EQ(Files(dir.path()), before);
}

// Nothing is backed up or written when an earlier output is a pipe or a
// device, or the bitmap is no longer the one step 1 read.
TEST_F(StepTransactionTest, WhatIsNoFileOrHasChangedStopsTheStepBeforeAnyBackup) {
    ASSERT_EQ(mkfifo(dir.file("p_a.dat").c_str(), 0600), 0);
    WriteFile(dir.file("m.bmp"), "picture");
    const FileIdentity read = IdentityOf(dir.file("m.bmp"));
    const auto before = Files(dir.path());
    const testing_support::HangGuard guard(60);
    for (const std::string& path : {dir.file("p_a.dat"), std::string("/dev/null")}) {
        StepTransaction files({outputs[0], {path, dir.file("m_a.bak")}});
        const StepFailure failure = files.Begin();
        EXPECT_EQ(failure.fault, StepFault::BackupFailed) << path;
        EXPECT_EQ(failure.error, platform::NotRegularFile) << path;
    }
    StepTransaction unchanged(outputs);
    unchanged.ExpectUnchanged(dir.file("m.bmp"), read);
    EXPECT_FALSE(unchanged.Begin().Failed());
    unchanged.Abandon();
    EXPECT_EQ(Files(dir.path()), before);

    WriteFile(dir.file("m.bmp"), "another");  // another map written over it
    StepTransaction changed(outputs);
    changed.ExpectUnchanged(dir.file("m.bmp"), read);
    const StepFailure failure = changed.Begin();
    EXPECT_EQ(failure.fault, StepFault::InputChanged);
    EXPECT_EQ(StepFailureText(failure, false),
              "Input File :\r<" + dir.file("m.bmp") + "> has changed since it was read.\rRun the conversion again.");
    EXPECT_EQ(StepFailureText(failure, true), "入力ﾌｧｲﾙ：\r<" + dir.file("m.bmp") +
                                                  ">\rは読み込んだ後に変更されました．\r変換をやり直してください．");
    EXPECT_TRUE(changed.BackedUp().empty());
    EXPECT_EQ(ReadFile(dir.file("m.bak")), "older ame backup");
}

// In a shared folder another user planted map.cfg -> the victim's private
// file and map.ame -> a new file in the victim's home: the victim's run
// refuses both before it copies or writes anything.
TEST_F(StepTransactionTest, LinksAnotherUserPlantedInASharedFolderAreRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can plant another user's link";
    constexpr uid_t kPlanter = 4242;
    const fs::path home = dir.path() / "victim", shared = dir.path() / "shared";
    fs::create_directories(home);
    fs::create_directories(shared);
    testing_support::OpenToOrdinaryUser(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    WriteFile(home / "secret.txt", "secret");
    fs::permissions(home / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
    for (const fs::path& path : {home, home / "secret.txt"}) testing_support::GiveToOrdinaryUser(path);
    for (const auto& [name, target] : {std::pair{"map.cfg", home / "secret.txt"}, std::pair{"map.ame", home / "new"}}) {
        fs::create_symlink(target, shared / name);
        ASSERT_EQ(lchown((shared / name).c_str(), kPlanter, kPlanter), 0);
    }
    const int result = testing_support::AsOrdinaryUser([&] {
        for (const char* name : {"map.ame", "map.cfg"}) {
            StepTransaction files({{(shared / name).string(), (shared / name).string() + ".bak"}});
            const StepFailure failure = files.Begin();
            if (StepFailureText(failure, false) != "Output File :\r<" + (shared / name).string() +
                                                       "> can't be written.\rA link of another user in a shared folder")
                return 1;
            if (files.Open(0).error != platform::ForeignLink) return 2;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(home / "secret.txt"), "secret");
    EXPECT_FALSE(fs::exists(home / "new"));
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), {}), 2);  // the two links, no backup
    EXPECT_EQ(StepFailureText({StepFault::Unreplaceable, "/tmp/map.cfg", {}, platform::ForeignLink}, true),
              "出力先のﾌｧｲﾙ：\r</tmp/map.cfg>\rに書き込めません．\r共有ﾌｫﾙﾀﾞにある他のﾕｰｻﾞのﾘﾝｸです．");
}

}  // namespace
