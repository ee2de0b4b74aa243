#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include <filesystem>

#include "Launch.h"
#include "Library.h"
#include "MessageBoxRecorder.h"
#include "TestSupport.h"
#include "vorbel/Launch.h"

using testing_support::MessageBoxRecorder;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

void WriteScript(const std::filesystem::path& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

// Runs in `folder` as the caller's current folder.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

}  // namespace

TEST(Launch, WaitsForTheProgramAndIgnoresItsExitCode) {
    TempDir library, work;
    WriteScript(library.path() / "quillsen", "echo \"$# $1 $(pwd)\" > ran.txt\necho $$ > pid.txt\nexit 3\n");
    MessageBoxRecorder boxes;
    InFolder cwd(work.path());
    EXPECT_EQ(vorbel::RunSibling(library.path().string() + "/", "quillsen"), 1);
    EXPECT_EQ(ReadFile(work.path() / "ran.txt"), "1 -c " + std::filesystem::canonical(work.path()).string() + "\n");
    // Waited for and reaped: the process no longer exists, not even as a zombie.
    pid_t child = std::stoi(ReadFile(work.path() / "pid.txt"));
    EXPECT_EQ(kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST(Launch, MissingOrUnrunnableProgramShowsTheMessage) {
    TempDir library;
    WriteFile(library.path() / "quillsen", "#!/bin/sh\n");  // not executable
    MessageBoxRecorder boxes;
    EXPECT_EQ(vorbel::RunSibling(library.path().string() + "/", "morak"), 0);
    EXPECT_EQ(vorbel::RunSibling(library.path().string() + "/", "quillsen"), 0);
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(boxes.calls[0].text, "morakを起動できませんでした．");
    EXPECT_EQ(boxes.calls[0].caption, "Yondrel - Error");
    EXPECT_EQ(boxes.calls[0].flags, 0x10u);
    EXPECT_EQ(boxes.calls[1].text, "quillsenを起動できませんでした．");
}

// With no library folder a program of that name elsewhere (on PATH, in the
// current folder) is never started.
TEST(Launch, EmptyLibraryFolderIsAFailedStart) {
    TempDir bin, work;
    WriteScript(bin.path() / "morak", "touch found.txt\n");
    WriteScript(work.path() / "morak", "touch found.txt\n");
    ScopedEnv path("PATH", bin.path().string() + ":/usr/bin:/bin");
    MessageBoxRecorder boxes;
    InFolder cwd(work.path());
    EXPECT_EQ(vorbel::RunSibling("", "morak"), 0);
    EXPECT_FALSE(std::filesystem::exists(work.path() / "found.txt"));
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "morakを起動できませんでした．");
    EXPECT_EQ(boxes.calls[0].caption, "Yondrel - Error");
}

TEST(Launch, LongFoldersWorkUntilTheSystemRefusesThePath) {
    TempDir library, work;
    std::filesystem::path deep = library.path();
    while (deep.string().size() < 300) deep /= std::string(60, 'd');
    std::filesystem::create_directories(deep);
    WriteScript(deep / "quillsen", "touch ran.txt\n");
    MessageBoxRecorder boxes;
    InFolder cwd(work.path());
    EXPECT_EQ(vorbel::RunSibling(deep.string() + "/", "quillsen"), 1);
    EXPECT_TRUE(std::filesystem::exists(work.path() / "ran.txt"));
    EXPECT_TRUE(boxes.calls.empty());
    // Beyond what the system takes as a path it is a failed start, never a cut one.
    std::string tooLong = deep.string() + "/" + std::string(5000, 'x') + "/";
    EXPECT_EQ(vorbel::RunSibling(tooLong, "quillsen"), 0);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "quillsenを起動できませんでした．");
}

// Started by the next test from a copy of this program that has siblings
// beside it.
TEST(Launch, DISABLED_ExportsStartTheSiblingsBesideTheProgram) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(RunQuillsen(), 1);
    EXPECT_EQ(RunMorak(), 1);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST(Launch, ExportsUseTheLibraryFolder) {
    // The test program links the library statically, so the library folder
    // is the folder of the running program. A copy of it in a folder with
    // its own siblings starts those, not the ones of the current folder.
    TempDir install, work;
    const std::filesystem::path copy = install.path() / "launch_test";
    std::filesystem::copy_file(testing_support::SelfPath(), copy);
    for (const char* sibling : {"quillsen", "morak"}) {
        WriteScript(install.path() / sibling, std::string("echo \"") + sibling + " $1\" >> started.txt\n");
        WriteScript(work.path() / sibling, "echo current folder >> started.txt\n");
    }
    {
        InFolder cwd(work.path());
        const pid_t child = testing_support::StartProcess(
            copy.string(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=Launch.DISABLED_ExportsStartTheSiblingsBesideTheProgram"},
            {});
        EXPECT_EQ(testing_support::WaitForExit(child, 60), 0);
    }
    EXPECT_EQ(ReadFile(work.path() / "started.txt"), "quillsen -c\nmorak -c\n");

    // This program's own folder holds no siblings.
    EXPECT_EQ(std::string(vorbel::LibraryFolder()),
              std::filesystem::path(testing_support::SelfPath()).parent_path().string() + "/");
    MessageBoxRecorder boxes;
    EXPECT_EQ(RunMorak(), 0);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "morakを起動できませんでした．");
}

// Started by the next test with no display and no QT_QPA_PLATFORM: once the
// library has made its application object (offscreen, for the box of a
// failed start), a program it starts finds the environment as the caller
// left it, without the offscreen platform.
TEST(Launch, DISABLED_AfterTheLibrarysApplicationWithoutADisplay) {
    ASSERT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);
    ASSERT_EQ(std::getenv("DISPLAY"), nullptr);
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    TempDir library, work;
    WriteScript(library.path() / "quillsen", "echo \"${QT_QPA_PLATFORM-unset}\" > platform.txt\n");
    MessageBoxRecorder boxes;
    InFolder cwd(work.path());
    EXPECT_EQ(vorbel::RunSibling(library.path().string() + "/", "morak"), 0);
    ASSERT_EQ(boxes.calls.size(), 1u);
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(QGuiApplication::platformName(), "offscreen");
    EXPECT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);
    EXPECT_EQ(vorbel::RunSibling(library.path().string() + "/", "quillsen"), 1);
    EXPECT_EQ(ReadFile(work.path() / "platform.txt"), "unset\n");
}

TEST(Launch, ProgramsStartedAfterTheLibrarysApplicationInheritNoPlatform) {
    const pid_t child = testing_support::StartProcess(
        testing_support::SelfPath(),
        {"--gtest_also_run_disabled_tests",
         "--gtest_filter=Launch.DISABLED_AfterTheLibrarysApplicationWithoutADisplay"},
        {{"QT_QPA_PLATFORM", std::nullopt}, {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}});
    EXPECT_EQ(testing_support::WaitForExit(child, 60), 0);
}
