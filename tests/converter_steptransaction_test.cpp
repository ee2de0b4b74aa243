// A step's files as one transaction, without windows: it commits whole or
// changes nothing, older backups included; an earlier file it can't put back
// is named where it is kept; it refuses what is no file to replace and
// another user's links before it makes any backup; and it fails a step whose
// input changed since the step before read it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
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

    // The files of the folder (the journals lie in a folder of their own).
    std::map<std::string, std::string> Outputs() { return testing_support::ContentsOf(dir.path()); }

    TempDir dir;
    std::string ame = dir.file("m.ame"), dat = dir.file("m_a.dat"), journals = dir.file("journal");
    std::vector<StepOutput> outputs{{ame, dir.file("m.bak")}, {dat, dir.file("m_a.bak")}};
    bool journalFolderMade = fs::create_directory(journals);
};

TEST_F(StepTransactionTest, ACommittedStepReplacesEveryFileAndKeepsTheBackups) {
    StepTransaction files(outputs, {}, journals);
    ASSERT_FALSE(files.Begin().Failed());
    EXPECT_EQ(ReadFile(dir.file("m.bak")), "older ame backup");  // in place only with the outputs
    EXPECT_EQ(fs::directory_iterator(journals)->path().extension(), ".journal");
    ASSERT_FALSE(WriteBoth(files).Failed());
    ASSERT_EQ(files.BackedUp().size(), 2u);
    EXPECT_EQ(files.BackedUp()[1].backup, dir.file("m_a.bak"));
    EXPECT_EQ(Outputs(), (std::map<std::string, std::string>{{"m.ame", "new ame"},
                                                            {"m_a.dat", "new list"},
                                                            {"m.bak", "earlier ame"},
                                                            {"m_a.bak", "earlier list"}}));
    EXPECT_TRUE(fs::is_empty(journals));
    files.Abandon();  // a committed step stays
    EXPECT_EQ(ReadFile(ame), "new ame");
}

// Cancelled, or failed in its last rename: every file is as it was before the
// step, the earlier outputs the very same files, the older backup back. An
// output another program changed meanwhile keeps that program's file.
TEST_F(StepTransactionTest, AStepThatFailsLeavesEveryFileAsItWas) {
    const auto before = Outputs();
    const FileIdentity earlier = IdentityOf(ame);
    {
        StepTransaction cancelled(outputs, {}, journals);
        ASSERT_FALSE(cancelled.Begin().Failed());
        ASSERT_FALSE(cancelled.Open(0).Failed());
        WriteFile(dat, "someone else's");
    }
    EXPECT_EQ(ReadFile(dat), "someone else's");
    WriteFile(dat, "earlier list");
    EXPECT_EQ(Outputs(), before);
    EXPECT_TRUE(IdentityOf(ame) == earlier);

    // The *.ame and its backup are in place when the *_a.dat can't be: all go back.
    StepTransaction failed(outputs, {}, journals);
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
    EXPECT_EQ(failed.FailureText(failure, false),
              "Output File :\r<" + dat + "> can't be written.\rIs a directory\rNothing was changed.");
    // The same file back (only its change time moved with the second name
    // that kept it aside).
    EXPECT_EQ(IdentityOf(ame).inode, earlier.inode);
    EXPECT_EQ(IdentityOf(ame).modified, earlier.modified);
    fs::remove(dat);
    WriteFile(dat, "earlier list");
    failed.Abandon();
    EXPECT_EQ(Outputs(), before);
    EXPECT_TRUE(fs::is_empty(journals));

    // Every file is in place when the journal can't be marked whole (the
    // disk is full): all go back, and the message names the journal.
    StepTransaction unmarked(outputs, {}, journals);
    ASSERT_FALSE(unmarked.Begin().Failed());
    const std::string journal = fs::directory_iterator(journals)->path();
    std::optional<testing_support::FileSizeLimit> full;
    Meanwhile([&] { return ReadFile(dat) == "new list"; }, [&] { full.emplace(fs::file_size(journal)); });
    const StepFailure notMarked = WriteBoth(unmarked);
    full.reset();
    EXPECT_EQ(unmarked.FailureText(notMarked, false), "The journal of the conversion can't be written:\r<" + journal +
                                                          ">\rFile too large\rNothing was changed.");
    EXPECT_EQ(Outputs(), before);

    // Another program removed the *.ame after the step recorded it: taken
    // back, it is gone again, and the journal with it.
    StepTransaction removed(outputs, {}, journals);
    ASSERT_FALSE(removed.Begin().Failed());
    Meanwhile([&] { return fs::exists(dir.file("m.bak")) && ReadFile(dir.file("m.bak")) == "earlier ame"; },
              [&] {
                  fs::remove(ame);
                  fs::remove(dat);
                  fs::create_directory(dat);
              });
    EXPECT_EQ(WriteBoth(removed).fault, StepFault::WriteFailed);
    EXPECT_EQ(removed.OutcomeText(false), "Nothing was changed.");
    fs::remove(dat);
    WriteFile(dat, "earlier list");
    auto withoutAme = before;
    withoutAme.erase("m.ame");
    EXPECT_EQ(Outputs(), withoutAme);
    EXPECT_TRUE(fs::is_empty(journals));
}

// A backup that can't be put in place after another was takes that one back:
// the older backup it replaced is there again, and the message is true.
TEST_F(StepTransactionTest, ABackupThatCantBePutInPlaceTakesBackTheOthers) {
    WriteFile(dir.file("m_a.bak"), "older list backup");
    const auto before = Outputs();
    StepTransaction files(outputs, {}, journals);
    ASSERT_FALSE(files.Begin().Failed());
    Meanwhile([&] { return ReadFile(dir.file("m.bak")) == "earlier ame"; },
              [&] {
                  fs::remove(dir.file("m_a.bak"));
                  fs::create_directory(dir.file("m_a.bak"));
              });
    const StepFailure failure = WriteBoth(files);
    EXPECT_EQ(failure.fault, StepFault::BackupFailed);
    EXPECT_EQ(files.FailureText(failure, false), "The old file can't be copied to its backup.\rOld File : <" + dat +
                                                     ">\rBackup File : <" + dir.file("m_a.bak") +
                                                     ">\rIs a directory\rNothing was changed.");
    fs::remove(dir.file("m_a.bak"));
    WriteFile(dir.file("m_a.bak"), "older list backup");
    EXPECT_EQ(Outputs(), before);
}

// When an earlier file can't be put back, it is never dropped: the message
// names where it is kept, the journal stays, and the next start puts it back
// once it can.
TEST_F(StepTransactionTest, AnEarlierFileThatCantBePutBackIsKeptAndNamed) {
    const auto before = Outputs();
    StepTransaction files(outputs, {}, journals);
    ASSERT_FALSE(files.Begin().Failed());
    Meanwhile([&] { return ReadFile(ame) == "new ame"; },
              [&] {
                  fs::remove(dat);
                  fs::create_directory(dat);  // the commit fails here
                  fs::remove(dir.file("m.bak"));
                  fs::create_directories(dir.file("m.bak/full"));  // and the older backup can't go back
              });
    const StepFailure failure = WriteBoth(files);
    ASSERT_EQ(failure.fault, StepFault::WriteFailed);
    std::string kept;
    for (const auto& [name, bytes] : Outputs())
        if (name.ends_with(".old")) kept = dir.file(name);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(ReadFile(kept), "older ame backup");
    EXPECT_EQ(files.FailureText(failure, false), "Output File :\r<" + dat + "> can't be written.\rIs a directory\r<" +
                                                     dir.file("m.bak") + "> can't be put back.\rFile exists\r"
                                                     "Its earlier file is kept as <" + kept + ">.");
    EXPECT_EQ(files.OutcomeText(true), "<" + dir.file("m.bak") + ">\rを元に戻せません．\rFile exists\r元のﾌｧｲﾙは <" +
                                           kept + "> にあります．");
    files.Abandon();
    EXPECT_EQ(ReadFile(ame), "earlier ame");
    EXPECT_FALSE(fs::is_empty(journals));
    fs::remove_all(dir.file("m.bak"));
    fs::remove(dat);
    WriteFile(dat, "earlier list");
    EXPECT_TRUE(RecoverSteps(journals).empty());
    EXPECT_EQ(Outputs(), before);
    EXPECT_TRUE(fs::is_empty(journals));
}

// Nothing is backed up or written when an earlier output is a pipe or a
// device, or the bitmap is no longer the one step 1 read.
TEST_F(StepTransactionTest, WhatIsNoFileOrHasChangedStopsTheStepBeforeAnyBackup) {
    ASSERT_EQ(mkfifo(dir.file("p_a.dat").c_str(), 0600), 0);
    WriteFile(dir.file("m.bmp"), "picture");
    const FileIdentity read = IdentityOf(dir.file("m.bmp"));
    const auto before = Outputs();
    const testing_support::HangGuard guard(60);
    for (const std::string& path : {dir.file("p_a.dat"), std::string("/dev/null")}) {
        StepTransaction files({outputs[0], {path, dir.file("m_a.bak")}}, {}, journals);
        const StepFailure failure = files.Begin();
        EXPECT_EQ(failure.fault, StepFault::BackupFailed) << path;
        EXPECT_EQ(failure.error, platform::NotRegularFile) << path;
    }
    // Changed while the step ran: the commit refuses it.
    StepTransaction unchanged(outputs, {}, journals);
    unchanged.ExpectUnchanged(dir.file("m.bmp"), read);
    ASSERT_FALSE(unchanged.Begin().Failed());
    WriteFile(dir.file("m.bmp"), "another");
    EXPECT_EQ(WriteBoth(unchanged).fault, StepFault::InputChanged);
    unchanged.Abandon();
    WriteFile(dir.file("m.bmp"), "picture");
    EXPECT_EQ(Outputs(), before);

    // Changed before it: the step does not begin.
    StepTransaction changed(outputs, {}, journals);
    changed.ExpectUnchanged(dir.file("m.bmp"), read);
    const StepFailure failure = changed.Begin();
    EXPECT_EQ(failure.fault, StepFault::InputChanged);
    EXPECT_EQ(changed.FailureText(failure, false), "Input File :\r<" + dir.file("m.bmp") +
                                                       "> has changed since it was read.\rRun the conversion again.\r"
                                                       "Nothing was changed.");
    EXPECT_EQ(changed.FailureText(failure, true), "入力ﾌｧｲﾙ：\r<" + dir.file("m.bmp") +
                                                      ">\rは読み込んだ後に変更されました．\r変換をやり直してください．\r"
                                                      "既存ﾌｧｲﾙはそのままです．");
    // A failure of step 3 says that step 2's files stay written.
    StepTransaction stepThree({{dir.file("m.cfg"), dir.file("m.cfg.bak")}}, {ame, dat}, journals);
    const StepFailure backup{StepFault::BackupFailed, dir.file("m.cfg"), dir.file("m.cfg.bak"), platform::NotRegularFile};
    EXPECT_EQ(stepThree.FailureText(backup, false),
              "The old file can't be copied to its backup.\rOld File : <" + dir.file("m.cfg") + ">\rBackup File : <" +
                  dir.file("m.cfg.bak") + ">\rNot a regular file\rStep 3 was given up and changed nothing.\r"
                  "The files of Step 2 were written:\r<" + ame + ">\r<" + dat + ">");
    EXPECT_EQ(stepThree.FailureText(backup, true),
              "既存ﾌｧｲﾙのｺﾋﾟｰを作成できません．\r既存ﾌｧｲﾙ <" + dir.file("m.cfg") + ">\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" +
                  dir.file("m.cfg.bak") + ">\r通常のﾌｧｲﾙではありません．\rｽﾃｯﾌﾟ3は何も変更せずに中止しました．\r"
                  "ｽﾃｯﾌﾟ2のﾌｧｲﾙは作成済みです：\r<" + ame + ">\r<" + dat + ">");
}

// In a shared folder another user planted map.cfg -> the victim's private
// file and map.ame -> a new file in the victim's home: the victim's run
// refuses both before it copies or writes anything.
TEST_F(StepTransactionTest, LinksAnotherUserPlantedInASharedFolderAreRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can plant another user's link";
    constexpr uid_t kPlanter = 4242;
    const fs::path home = dir.path() / "victim", shared = dir.path() / "shared";
    fs::create_directories(home / "settings");
    fs::create_directories(shared);
    testing_support::OpenToOrdinaryUser(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    WriteFile(home / "secret.txt", "secret");
    fs::permissions(home / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
    for (const fs::path& path : {home, home / "secret.txt"}) testing_support::GiveToOrdinaryUser(path);
    testing_support::MakeOrdinaryUsersFolder(home / "settings");
    for (const auto& [name, target] : {std::pair{"map.cfg", home / "secret.txt"}, std::pair{"map.ame", home / "new"}}) {
        fs::create_symlink(target, shared / name);
        ASSERT_EQ(lchown((shared / name).c_str(), kPlanter, kPlanter), 0);
    }
    const int result = testing_support::AsOrdinaryUser([&] {
        for (const char* name : {"map.ame", "map.cfg"}) {
            StepTransaction files({{(shared / name).string(), (shared / name).string() + ".bak"}}, {},
                                  (home / "settings").string());
            const StepFailure failure = files.Begin();
            if (files.FailureText(failure, false) != "Output File :\r<" + (shared / name).string() +
                                                         "> can't be written.\rA link of another user in a shared "
                                                         "folder\rNothing was changed.")
                return 1;
            if (files.Open(0).error != platform::ForeignLink) return 2;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(home / "secret.txt"), "secret");
    EXPECT_FALSE(fs::exists(home / "new"));
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), {}), 2);  // the two links, no backup
    StepTransaction files({}, {}, journals);
    EXPECT_EQ(files.FailureText({StepFault::Unreplaceable, "/tmp/map.cfg", {}, platform::ForeignLink}, true),
              "出力先のﾌｧｲﾙ：\r</tmp/map.cfg>\rに書き込めません．\r共有ﾌｫﾙﾀﾞにある他のﾕｰｻﾞのﾘﾝｸです．\r"
              "既存ﾌｧｲﾙはそのままです．");
}

}  // namespace
