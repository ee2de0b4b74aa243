// A step's journal as a start finds it: whatever a killed step had done, the
// start puts each earlier file back or finishes the step, removes the step's
// temporaries and no other file, reads a journal cut short, and never drops
// an earlier file it can't put back.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "TestSupport.h"
#include "core/StepJournal.h"
#include "platform/SafeFile.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

namespace fs = std::filesystem;

class StepJournalTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(journals); }

    // A step that replaces `name` by a file with `bytes`, journalled and cut
    // short after `renamed` (the new file in place) or before it; the earlier
    // file is kept aside by a second link, or by moving it (`moved`).
    std::unique_ptr<StepJournal> CutShort(const std::string& name, const std::string& bytes, bool renamed,
                                          bool moved = false) {
        int error = 0;
        auto journal = StepJournal::Create(journals, {dir.file(name)}, error);
        EXPECT_TRUE(journal) << error;
        const std::string target = dir.file(name), temp = dir.file("." + name + ".Ab3xY9.tmp");
        WriteFile(temp, bytes);
        struct stat made {};
        ::stat(temp.c_str(), &made);
        const std::string kept = fs::exists(target) ? platform::NewKeptName(target) : std::string();
        EXPECT_EQ(journal->Record({strova::ReplacementOf(target, kept, temp)}), 0);
        if (!kept.empty()) {
            EXPECT_EQ(moved ? ::rename(target.c_str(), kept.c_str()) : ::link(target.c_str(), kept.c_str()), 0);
        }
        if (renamed) {
            EXPECT_EQ(::rename(temp.c_str(), target.c_str()), 0);
        }
        return journal;
    }

    TempDir dir;
    std::string journals = dir.file("journals");
};

// Cut at each point of a replacement, over an earlier file or none, kept by
// a link or moved: the start puts back what was there, and nothing else stays.
TEST_F(StepJournalTest, AStepCutShortIsTakenBackWhereverItStopped) {
    struct Case {
        bool earlier, renamed, moved;
    };
    for (const Case c : {Case{true, false, false}, Case{true, true, false}, Case{true, false, true},
                         Case{true, true, true}, Case{false, false, false}, Case{false, true, false}}) {
        SCOPED_TRACE(testing::Message() << c.earlier << c.renamed << c.moved);
        if (c.earlier) WriteFile(dir.file("m.bak"), "older");
        WriteFile(dir.file("m.cfg"), "another file");
        WriteFile(dir.file(".m.cfg.Zz9Zz9.tmp"), "another file's temporary");
        CutShort("m.bak", "new", c.renamed, c.moved);
        EXPECT_TRUE(RecoverSteps(journals).empty());
        std::map<std::string, std::string> expected{{"m.cfg", "another file"},
                                                    {".m.cfg.Zz9Zz9.tmp", "another file's temporary"}};
        if (c.earlier) expected["m.bak"] = "older";
        EXPECT_EQ(testing_support::ContentsOf(dir.path()), expected);
        EXPECT_TRUE(fs::is_empty(journals));
        fs::remove(dir.file("m.bak"));
    }
}

// Marked committed, the step is finished: the new file stays and the
// earlier one kept aside goes. A record cut short by a power cut is not read.
TEST_F(StepJournalTest, AWholeStepIsFinishedAndACutRecordIsNotRead) {
    WriteFile(dir.file("m.bak"), "older");
    CutShort("m.bak", "new", true)->MarkCommitted();
    EXPECT_TRUE(RecoverSteps(journals).empty());
    EXPECT_EQ(testing_support::ContentsOf(dir.path()), (std::map<std::string, std::string>{{"m.bak", "new"}}));

    const std::string path = CutShort("n.bak", "newer", false)->Path();
    fs::resize_file(path, fs::file_size(path) - 3);  // into the last field of the record
    WriteFile(journals + "/strova.notes.journal", "the user's own notes");
    WriteFile(journals + "/strova.empty.journal", "");  // cut before its first line
    EXPECT_TRUE(RecoverSteps(journals).empty());
    EXPECT_EQ(testing_support::ContentsOf(dir.path()), (std::map<std::string, std::string>{{"m.bak", "new"}}));
    EXPECT_EQ(testing_support::ContentsOf(journals),
              (std::map<std::string, std::string>{{"strova.notes.journal", "the user's own notes"}}));
}

// Another file took the name after the step replaced it: the earlier file
// is not dropped but named where it is kept, and the journal stays, so that
// a later start puts it back once the name is free.
TEST_F(StepJournalTest, AnEarlierFileThatCantGoBackIsKeptForALaterStart) {
    WriteFile(dir.file("m.bak"), "older");
    CutShort("m.bak", "new", true);
    fs::remove(dir.file("m.bak"));
    fs::create_directories(dir.file("m.bak/inside"));
    const std::vector<KeptFile> kept = RecoverSteps(journals);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].path, dir.file("m.bak"));
    EXPECT_EQ(ReadFile(kept[0].keptAs), "older");
    EXPECT_EQ(KeptFileText(kept[0], false), "<" + dir.file("m.bak") + "> can't be put back.\rFile exists\r"
                                            "Its earlier file is kept as <" + kept[0].keptAs + ">.");
    EXPECT_FALSE(fs::is_empty(journals));
    fs::remove_all(dir.file("m.bak"));
    EXPECT_TRUE(RecoverSteps(journals).empty());
    EXPECT_EQ(testing_support::ContentsOf(dir.path()), (std::map<std::string, std::string>{{"m.bak", "older"}}));
}

// A start follows no journal but the user's own that no live step holds: a
// step of root's or of another start runs on, and a journal another user
// planted beside shared settings removes nothing of the user's.
TEST_F(StepJournalTest, AStartLeavesLiveAndForeignJournalsAlone) {
    for (const bool planted : {false, true}) {
        if (planted && geteuid() != 0) GTEST_SKIP() << "only root can make a file another user's";
        WriteFile(dir.file("m.bak"), "older");
        std::unique_ptr<StepJournal> live = CutShort("m.bak", "new", true);
        live->MarkCommitted();
        const std::string path = live->Path();
        if (planted) {
            live.reset();
            ASSERT_EQ(::chown(path.c_str(), 4242, 4242), 0);
        }
        const auto before = testing_support::ContentsOf(dir.path());
        EXPECT_TRUE(RecoverSteps(journals).empty());
        EXPECT_EQ(testing_support::ContentsOf(dir.path()), before) << planted;
        EXPECT_TRUE(fs::exists(path)) << planted;
        fs::remove_all(dir.path());
        fs::create_directories(journals);
    }
}

// A file another program put under the name since is not the step's, even
// where it has the inode number of the step's file (a number the system gave
// again): a start leaves it alone.
TEST_F(StepJournalTest, AnotherProgramsFileUnderTheNameStays) {
    CutShort("n.bak", "new", true);
    WriteFile(dir.file("n.bak"), "another program's");  // the same inode, other bytes and times
    EXPECT_TRUE(RecoverSteps(journals).empty());
    EXPECT_EQ(ReadFile(dir.file("n.bak")), "another program's");
}

// A step that root runs with a user's settings leaves its journal the
// user's, so that the user's next start can settle it.
TEST_F(StepJournalTest, AJournalBesideAUsersSettingsIsTheUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make a file another user's";
    testing_support::GiveToOrdinaryUser(journals);
    int error = 0;
    const auto journal = StepJournal::Create(journals, {dir.file("m.bak")}, error);
    ASSERT_TRUE(journal) << error;
    struct stat made {};
    ASSERT_EQ(::stat(journal->Path().c_str(), &made), 0);
    EXPECT_EQ(made.st_uid, testing_support::OrdinaryUserId());
}

}  // namespace
