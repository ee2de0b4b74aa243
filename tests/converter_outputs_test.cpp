// The output files of steps 2 and 3 through the real windows, offscreen: the
// earlier files stay whole while a step works and when it fails, a step that
// can't write says so before it makes a backup, and a run killed anywhere
// leaves the earlier file or the complete new one under every name.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "Ame.h"
#include "Bitmaps.h"
#include "Input.h"
#include "Main.h"
#include "MainFormSuite.h"
#include "TestSupport.h"
#include "core/FileIo.h"
#include "core/StepJournal.h"
#include "platform/ModuleNames.h"
#include "platform/SafeFile.h"

namespace {

namespace fs = std::filesystem;
using platform::MessageBoxCall;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// The outputs of a run of m.bmp in the current folder.
const std::vector<std::string> kOutputs = {"m.ame", "m_a.dat", "m.cfg"};

const std::map<std::string, std::string> kBackupOf = {
    {"m.ame", "m.bak"}, {"m_a.dat", "m_a.bak"}, {"m.cfg", "m.cfg.bak"}};

// The end of a step-3 message in a "Strova - Error" box, and in a "CfgData
// Error" box.
const std::string kStepTwoWritten =
    "Step 3 was given up and changed nothing.\rThe files of Step 2 were written:\r<./m.ame>\r<./m_a.dat>";
const std::string kStepTwoKept =
    "Step 3 was given up and changed nothing.\r\nThe files of Step 2 were written:\r\n<./m.ame>\r\n<./m_a.dat>";

std::vector<std::string> Hidden() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("."))
        if (entry.path().filename().string().starts_with('.')) names.push_back(entry.path().filename().string());
    return names;
}

// The process that runs a step stops itself at the checkpoint with this
// number; 0 stops it once the station window is shown.
int stopAt = -1;
int checkpoints = 0;
void CountAndMaybeStop() {
    if (++checkpoints == stopAt) raise(SIGSTOP);
}

class OutputsTest : public testing_support::MainFormSuite {
protected:
    void SetUp() override {
        home = fs::current_path();
        fs::current_path(dir.path());
        // Land on most of a map of the Kanto area, so that it has stations of
        // both kinds and enough gray pixels for several writes of the *.cfg.
        WriteFile("m.bmp", testing_support::MakeGrayBitmap(200, 200, [](int x, int y) { return x + y > 60; }));
        platform::SetMessageBoxHook([this](const MessageBoxCall& call) {
            boxes.push_back(call);
            if (onBox) onBox(call);
            return platform::IDOK;
        });
        platform::SetModalFormHook([this](QWidget* form) {
            if (auto* bounds = qobject_cast<TInputDialog*>(form)) {
                if (onBounds) onBounds();
                bounds->LongitEd1->setText("138.4");
                bounds->LatitEd1->setText("34.8");
                bounds->LongitEd2->setText(QString::fromStdString(rightLongitude));
                bounds->LatitEd2->setText("37.2");
                bounds->BBtnOk->click();
            } else if (auto* stations = qobject_cast<TAmeForm*>(form)) {
                onStations(stations);
            }
        });
    }
    void TearDown() override {
        if (sizeLimited) {
            setrlimit(RLIMIT_FSIZE, &sizeLimit);
            std::signal(SIGXFSZ, SIG_DFL);
        }
        platform::SetMessageBoxHook(nullptr);
        platform::SetModalFormHook(nullptr);
        platform::SafeFileCheckpoint = nullptr;
        fs::current_path(home);
    }

    // Runs m.bmp; true when all three steps succeeded.
    bool Run() {
        main->OpenBitmap(dir.file("m.bmp"));
        if (!main->RunBtn->isEnabled()) return false;
        main->RunBtn->click();
        return main->Signal3->isEnabled();
    }
    void WriteEarlierFiles() {
        for (const std::string& name : kOutputs) WriteFile(name, "earlier " + name);
    }
    // The disk fills up: no file may grow beyond 4096 bytes from the first
    // box whose text holds `marker` on (from the start for an empty one).
    void FillDiskFrom(const std::string& marker) {
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &sizeLimit), 0);
        sizeLimited = true;
        std::signal(SIGXFSZ, SIG_IGN);
        const auto fill = [this] {
            rlimit small = sizeLimit;
            small.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &small);
        };
        if (marker.empty()) return fill();
        onBox = [=](const MessageBoxCall& call) {
            if (call.text.find(marker) != std::string::npos) fill();
        };
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const MessageBoxCall& box : boxes) texts.push_back(box.text);
        return texts;
    }

    fs::path home;
    TempDir dir;
    std::vector<MessageBoxCall> boxes;
    std::function<void(const MessageBoxCall&)> onBox;
    std::function<void()> onBounds;
    std::function<void(TAmeForm*)> onStations = [](TAmeForm* form) { form->BBtnOk->click(); };
    std::string rightLongitude = "141.0";
    rlimit sizeLimit{};
    bool sizeLimited = false;
};

TEST_F(OutputsTest, TheStationWindowLeavesTheEarlierFilesAloneUntilOk) {
    WriteEarlierFiles();
    const strova::FileIdentity ame = strova::IdentityOf("m.ame"), dat = strova::IdentityOf("m_a.dat");
    int shown = 0;
    onStations = [&](TAmeForm* form) {
        ++shown;
        EXPECT_EQ(ReadFile("m.ame"), "earlier m.ame");
        EXPECT_EQ(ReadFile("m_a.dat"), "earlier m_a.dat");
        form->BBtnCancel->click();
    };
    EXPECT_FALSE(Run());
    EXPECT_EQ(shown, 1);
    // Untouched, not rewritten: the same files with the same times.
    EXPECT_TRUE(strova::IdentityOf("m.ame") == ame);
    EXPECT_TRUE(strova::IdentityOf("m_a.dat") == dat);
    EXPECT_FALSE(fs::exists("m.bak"));
    EXPECT_FALSE(fs::exists("m_a.bak"));
    EXPECT_TRUE(Hidden().empty());
}

TEST_F(OutputsTest, AFailedCfgWriteKeepsTheEarlierFileAndDropsItsBackup) {
    WriteEarlierFiles();
    const strova::FileIdentity cfg = strova::IdentityOf("m.cfg");
    FillDiskFrom("<./m_a.bak>");  // once step 2 is done
    EXPECT_FALSE(Run());
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "File :./m.cfg\r\ncan't be written.\r\nFile too large\r\n" + kStepTwoKept);
    EXPECT_EQ(boxes.back().caption, "CfgData Error");
    for (const MessageBoxCall& box : boxes) EXPECT_EQ(box.text.find("<./m.cfg.bak>"), std::string::npos);
    EXPECT_TRUE(strova::IdentityOf("m.cfg") == cfg);
    EXPECT_FALSE(fs::exists("m.cfg.bak"));
    // Step 2's files stay as written, with their backups.
    EXPECT_EQ(ReadFile("m.ame").size() % 44, 0u);
    EXPECT_EQ(ReadFile("m.bak"), "earlier m.ame");
    EXPECT_EQ(ReadFile("m_a.bak"), "earlier m_a.dat");
    EXPECT_TRUE(Hidden().empty());
}

// A full disk at each step: the user is told which file and why, and the
// earlier files stay as they were, without a backup or a temporary.
TEST_F(OutputsTest, AFullDiskIsNamedWithTheSystemsReason) {
    WriteEarlierFiles();
    const std::vector<std::string> earlier{ReadFile("m.ame"), ReadFile("m_a.dat"), ReadFile("m.cfg")};
    const auto expectEarlierFilesAlone = [&](const std::string& when) {
        EXPECT_EQ((std::vector<std::string>{ReadFile("m.ame"), ReadFile("m_a.dat"), ReadFile("m.cfg")}), earlier) << when;
        EXPECT_FALSE(fs::exists("m.bak") || fs::exists("m_a.bak") || fs::exists("m.cfg.bak")) << when;
        EXPECT_TRUE(Hidden().empty()) << when;
    };
    const auto lastBox = [&] {
        EXPECT_EQ(boxes.back().caption, "Strova - Error");
        return boxes.back().text;
    };
    // Step 1: the pixel file of the 200 x 200 map is larger than the disk.
    FillDiskFrom("");
    EXPECT_FALSE(Run());
    EXPECT_EQ(lastBox(), "Temporary file <./tmp_$$$.loc>\rcan't be written.\rFile too large");
    expectEarlierFilesAlone("step 1");
    TearDown();
    SetUp();

    // Step 2, writing the *.ame once both backups are copied.
    WriteEarlierFiles();
    FillDiskFrom("138.400000");  // the bounds confirmed
    EXPECT_FALSE(Run());
    EXPECT_EQ(lastBox(), "Output File :\r<./m.ame> can't be written.\rFile too large\rNothing was changed.");
    expectEarlierFilesAlone("step 2");
    TearDown();
    SetUp();

    // Step 2, copying an earlier *.ame larger than what is left to its backup.
    WriteEarlierFiles();
    WriteFile("m.ame", std::string(8192, 'a'));
    FillDiskFrom("138.400000");  // the bounds confirmed
    main->JPMode = true;
    EXPECT_FALSE(Run());
    main->JPMode = false;
    EXPECT_EQ(lastBox(), "既存ﾌｧｲﾙのｺﾋﾟｰを作成できません．\r既存ﾌｧｲﾙ <./m.ame>\rﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <./m.bak>\r"
                         "File too large\r既存ﾌｧｲﾙはそのままです．");
    EXPECT_EQ(ReadFile("m.ame"), std::string(8192, 'a'));
    EXPECT_FALSE(fs::exists("m.bak"));
    EXPECT_TRUE(Hidden().empty());
}

// A backup that can't be made leaves every backup of the step as it was,
// an older one included, and no notice claims a backup was made.
TEST_F(OutputsTest, AFailedBackupLeavesTheOlderBackupsAlone) {
    WriteEarlierFiles();
    WriteFile("m.bak", "older backup");
    fs::create_directory("m_a.bak");
    EXPECT_FALSE(Run());
    ASSERT_EQ(boxes.size(), 2u);  // the confirmation of the bounds, then this
    EXPECT_EQ(boxes[1].text, "The old file can't be copied to its backup.\rOld File : <./m_a.dat>\r"
                             "Backup File : <./m_a.bak>\rIs a directory\rNothing was changed.");
    EXPECT_EQ(ReadFile("m.bak"), "older backup");
    EXPECT_EQ(ReadFile("m.ame"), "earlier m.ame");
    EXPECT_TRUE(Hidden().empty());
}

// Every file of the folder but the bitmap and the pixel file, with its bytes.
std::map<std::string, std::string> FilesBesideThePixels() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name != "m.bmp" && name != "tmp_$$$.loc") files[name] = ReadFile(name);
    }
    return files;
}

// The pixel file changed after step 1, even in place with its modification
// time set back: the next step stops before it changes any file, as it would
// otherwise place the stations or write the *.cfg for other pixels.
TEST_F(OutputsTest, APixelFileChangedAfterStepOneStopsTheNextStep) {
    const std::string tmp = "tmp_$$$.loc";
    // The bytes of the pixel file with its records remade by `remake`.
    const auto remade = [&](auto&& remake) {
        const std::string bytes = ReadFile(tmp);
        std::vector<strova::PixelRecord> pixels(bytes.size() / sizeof(strova::PixelRecord));
        std::memcpy(pixels.data(), bytes.data(), bytes.size());
        remake(pixels);
        return std::string(reinterpret_cast<const char*>(pixels.data()), bytes.size());
    };
    const auto inPlace = [&](const std::string& bytes) {
        std::fstream(tmp, std::ios::in | std::ios::out | std::ios::binary).write(bytes.data(), bytes.size());
    };
    struct Change {
        std::string name;
        std::function<void()> make;
    };
    const std::vector<Change> changes{
        {"swapped for one of other pixels",
         [&] {
             WriteFile("other.loc", remade([](auto& pixels) {
                           for (strova::PixelRecord& pixel : pixels) pixel.x = 199 - pixel.x;
                       }));
             fs::rename("other.loc", tmp);
         }},
        {"reversed", [&] { inPlace(remade([](auto& pixels) { std::reverse(pixels.begin(), pixels.end()); })); }},
        {"garbled", [&] { inPlace(std::string(ReadFile(tmp).size() / 3, '\xA5')); }},
        {"cut", [&] { fs::resize_file(tmp, fs::file_size(tmp) / 2); }},
    };
    for (const Change& change : changes)
        for (const int step : {2, 3}) {
            SCOPED_TRACE(change.name + " before step " + std::to_string(step));
            WriteEarlierFiles();
            for (const auto& [output, backup] : kBackupOf) WriteFile(backup, "older " + backup);
            std::map<std::string, std::string> before;
            const auto changeNow = [&] {
                before = FilesBesideThePixels();
                const fs::file_time_type modified = fs::last_write_time(tmp);
                change.make();
                fs::last_write_time(tmp, modified);
            };
            onBounds = [&] { if (step == 2) changeNow(); };
            onStations = [&](TAmeForm* form) {
                form->BBtnOk->click();
                if (step == 3) changeNow();
            };
            boxes.clear();
            EXPECT_FALSE(Run());
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back().text,
                      "Input File :\r<./tmp_$$$.loc> has changed since it was read.\rRun the conversion again.\r" +
                          (step == 2 ? "Nothing was changed." : kStepTwoWritten));
            EXPECT_EQ(boxes.back().caption, "Strova - Error");
            EXPECT_EQ(FilesBesideThePixels(), before);
        }
}

// Another map written over the bitmap while the bounds dialog was open: the
// marks would be placed for the old picture, so step 2 changes no file.
TEST_F(OutputsTest, ABitmapChangedAfterStepOneStopsStepTwo) {
    WriteEarlierFiles();
    onBounds = [] { WriteFile("m.bmp", testing_support::MakeGrayBitmap(201, 200, [](int x, int) { return x > 9; })); };
    EXPECT_FALSE(Run());
    ASSERT_EQ(boxes.size(), 2u);  // the confirmation of the bounds, then this
    EXPECT_EQ(boxes[1].text, "Input File :\r<" + dir.file("m.bmp") +
                                 "> has changed since it was read.\rRun the conversion again.\rNothing was changed.");
    for (const std::string& name : kOutputs) EXPECT_EQ(ReadFile(name), "earlier " + name);
    EXPECT_FALSE(fs::exists("m.bak") || fs::exists("m_a.bak"));
    EXPECT_TRUE(Hidden().empty());
}

// A pipe where a file of the run belongs never stops the program: step 1
// makes its pixel file anew, and a pipe in place of an earlier output or of
// the bitmap is refused with a message.
TEST_F(OutputsTest, PipesNeverHangTheRun) {
    const testing_support::HangGuard guard(120);
    ASSERT_EQ(mkfifo("tmp_$$$.loc", 0600), 0);
    EXPECT_TRUE(Run());
    EXPECT_TRUE(fs::is_regular_file("tmp_$$$.loc"));
    const auto refused = [&](const std::string& name, const std::string& backup, const std::string& outcome) {
        fs::remove(name);
        ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
        boxes.clear();
        EXPECT_FALSE(Run());
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, "The old file can't be copied to its backup.\rOld File : <./" + name +
                                         ">\rBackup File : <./" + backup + ">\rNot a regular file\r" + outcome);
        EXPECT_TRUE(fs::is_fifo(name));
        fs::remove(name);
    };
    refused("m.ame", "m.bak", "Nothing was changed.");
    refused("m.cfg", "m.cfg.bak",
            "Step 3 was given up and changed nothing.\rThe files of Step 2 were written:\r<./m.ame>\r<./m_a.dat>");
    onBounds = [] {
        fs::remove("m.bmp");
        mkfifo("m.bmp", 0600);
    };
    boxes.clear();
    EXPECT_FALSE(Run());
    EXPECT_EQ(boxes.back().text, "Input File :\r<" + dir.file("m.bmp") +
                                     "> has changed since it was read.\rRun the conversion again.\rNothing was changed.");
}

// Started as the ordinary user by the next test.
TEST_F(OutputsTest, DISABLED_StepsThatCantWriteAsOrdinaryUser) {
    WriteEarlierFiles();
    fs::permissions("m.ame", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(Run());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                              "Left Bottom : (138.400000, 34.800000)\r  Right Top : (141.000000, 37.200000)\r"
                              "Is this setting Ok?",
                              "Output File :\r<./m.ame> can't be written.\rPermission denied\rNothing was changed."}));
    EXPECT_EQ(boxes.back().caption, "Strova - Error");
    EXPECT_EQ(boxes.back().flags, 0x10u);
    EXPECT_FALSE(fs::exists("m.bak"));
    EXPECT_FALSE(fs::exists("m_a.bak"));
    EXPECT_EQ(ReadFile("m.ame"), "earlier m.ame");
    EXPECT_EQ(ReadFile("m_a.dat"), "earlier m_a.dat");
    EXPECT_TRUE(main->RunBtn->isEnabled());
    EXPECT_TRUE(main->FileOpenBtn->isEnabled());

    // In Japanese, and for the *.cfg of step 3: the files of step 2 stay.
    fs::permissions("m.ame", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions("m.cfg", fs::perms::owner_read);
    boxes.clear();
    main->JPMode = true;
    EXPECT_FALSE(Run());
    main->JPMode = false;
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "出力先のﾌｧｲﾙ：\r<./m.cfg>\rに書き込めません．\rPermission denied\r"
                                 "ｽﾃｯﾌﾟ3は何も変更せずに中止しました．\rｽﾃｯﾌﾟ2のﾌｧｲﾙは作成済みです：\r<./m.ame>\r<./m_a.dat>");
    EXPECT_FALSE(fs::exists("m.cfg.bak"));
    EXPECT_EQ(ReadFile("m.cfg"), "earlier m.cfg");
    EXPECT_EQ(ReadFile("m.bak"), "earlier m.ame");
    EXPECT_EQ(ReadFile("m.ame").size() % 44, 0u);
    EXPECT_TRUE(Hidden().empty());

    // A folder the user may not look into: its files can't even be checked.
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms::none);
    fs::remove("m_a.bak");
    boxes.clear();
    main->AmePath = "./locked/";
    EXPECT_FALSE(Run());
    main->AmePath = "./";
    fs::permissions("locked", fs::perms::owner_all);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "Output File :\r<./locked/m.ame> can't be written.\rPermission denied\rNothing was changed.");
    EXPECT_FALSE(fs::exists("m_a.bak"));
    EXPECT_TRUE(fs::is_empty("locked"));

    // The folder turned read-only while the station window is open: the step
    // can put nothing in place, says so truly, and no file changes.
    const std::vector<std::string> names{"m.ame", "m_a.dat", "m.bak", "m.cfg"};
    const auto contents = [&] {
        std::vector<std::string> all;
        for (const std::string& name : names) all.push_back(ReadFile(name));
        return all;
    };
    const std::vector<std::string> before = contents();
    onStations = [](TAmeForm* form) {
        fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
        form->BBtnOk->click();
    };
    boxes.clear();
    EXPECT_FALSE(Run());
    fs::permissions(".", fs::perms::owner_all);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "The old file can't be copied to its backup.\rOld File : <./m.ame>\rBackup File : "
                                 "<./m.bak>\rPermission denied\rNothing was changed.");
    EXPECT_EQ(contents(), before);
    EXPECT_FALSE(fs::exists("m_a.bak"));
}

TEST_F(OutputsTest, StepsThatCantWriteSayWhyBeforeAnyBackup) {
    TempDir scratch;
    testing_support::OpenToOrdinaryUser(scratch.path());
    const pid_t child = testing_support::StartAsOrdinaryUser(
        testing_support::SelfPath(),
        {"--gtest_also_run_disabled_tests", "--gtest_filter=OutputsTest.DISABLED_StepsThatCantWriteAsOrdinaryUser"},
        {{"STROVA_SCRATCH", scratch.path().string()}, {"VORBEL_REGISTRY", scratch.file("registry.reg")}});
    EXPECT_EQ(testing_support::WaitForExit(child, 120), 0);
}

// Waits until `pid` stops or ends: true when it stopped.
bool StoppedOrEnded(pid_t pid, int& status) {
    for (int i = 0; i < 30000; ++i) {
        if (waitpid(pid, &status, WUNTRACED | WNOHANG) == pid) return WIFSTOPPED(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "the run neither stopped nor ended";
    return false;
}

// The outputs and backups of one step, as they stand.
using Generation = std::map<std::string, std::string>;
Generation FilesOf(const std::vector<std::string>& names) {
    Generation files;
    for (const std::string& name : names) files[name] = fs::exists(name) ? ReadFile(name) : "<none>";
    return files;
}
const std::vector<std::string> kStepTwoFiles = {"m.ame", "m_a.dat", "m.bak", "m_a.bak"};
const std::vector<std::string> kStepThreeFiles = {"m.cfg", "m.cfg.bak"};

// A run killed at any moment of steps 2 and 3, at every file call and while
// the station window is open, and then a start: each step's outputs and
// backups are all as before it or all as after it, nothing of the user's is
// lost, and nothing hidden stays. Three runs with three bounds make three
// generations of every file, so that each of them is told apart.
TEST_F(OutputsTest, AKilledRunIsTakenBackOrFinishedByTheNextStart) {
    const testing_support::ScopedEnv store("VORBEL_REGISTRY", dir.file("store/registry.reg"));
    fs::create_directory(dir.file("store"));
    const auto runWith = [this](const char* longitude) {
        rightLongitude = longitude;
        return Run();
    };
    ASSERT_TRUE(runWith("140.6"));
    ASSERT_TRUE(runWith("140.8"));
    const auto savedFirst = [&] {
        std::map<std::string, std::string> all;
        for (const auto& entry : fs::directory_iterator("."))
            if (entry.is_regular_file()) all[entry.path().filename().string()] = ReadFile(entry.path());
        return all;
    }();
    const Generation before2 = FilesOf(kStepTwoFiles), before3 = FilesOf(kStepThreeFiles);
    platform::SafeFileCheckpoint = CountAndMaybeStop;
    ASSERT_TRUE(runWith("141.0"));
    platform::SafeFileCheckpoint = nullptr;
    const int points = checkpoints;
    const Generation after2 = FilesOf(kStepTwoFiles), after3 = FilesOf(kStepThreeFiles);
    ASSERT_NE(before2, after2);
    ASSERT_NE(before3, after3);

    int rolledBack = 0, finished = 0;
    for (int n = 0; n <= points; ++n) {
        for (const auto& [name, bytes] : savedFirst) WriteFile(name, bytes);
        onStations = [](TAmeForm* form) {
            if (stopAt == 0) raise(SIGSTOP);
            form->BBtnOk->click();
        };
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            stopAt = n;
            checkpoints = 0;
            platform::SafeFileCheckpoint = CountAndMaybeStop;
            _exit(runWith("141.0") ? 0 : 1);
        }
        int status = 0;
        ASSERT_TRUE(StoppedOrEnded(pid, status)) << "point " << n;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        // The next start, from another folder.
        fs::current_path(home);
        EXPECT_TRUE(strova::RecoverSteps(strova::StepJournalFolder()).empty()) << "point " << n;
        fs::current_path(dir.path());
        const Generation now2 = FilesOf(kStepTwoFiles), now3 = FilesOf(kStepThreeFiles);
        EXPECT_TRUE(now2 == before2 || now2 == after2) << "step 2 mixed at point " << n;
        EXPECT_TRUE(now3 == before3 || (now3 == after3 && now2 == after2)) << "step 3 mixed at point " << n;
        rolledBack += now3 == before3;
        finished += now3 == after3;
        EXPECT_TRUE(Hidden().empty()) << "hidden files stay at point " << n;
        EXPECT_TRUE(fs::is_empty(dir.file("store"))) << "a journal stays at point " << n;
    }
    EXPECT_GT(rolledBack, 0);
    EXPECT_GT(finished, 0);
}

}  // namespace
