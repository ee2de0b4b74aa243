// Strova in a real window: the program runs on an X server of its own (Xvfb)
// and a screenshot of the screen is kept under the build folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "TestSupport.h"
#include "platform/forms/Application.h"

using testing_support::BinDir;
using testing_support::FindOnPath;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr const char* ChildVariable = "STROVA_XVFB_CHILD";

int SilverPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(192, 192, 192)) ++count;
    return count;
}

TEST(XvfbTest, StrovaComesUpInARealWindow) {
    if (std::getenv(ChildVariable)) GTEST_SKIP() << "this is the run inside the display";
    std::string xvfbRun = FindOnPath("xvfb-run");
    if (xvfbRun.empty()) GTEST_SKIP() << "xvfb-run is not installed";
    std::string self = fs::read_symlink("/proc/self/exe").string();
    pid_t pid = testing_support::StartProcess(
        xvfbRun, {"-a", "-s", "-screen 0 800x600x24", self, "--gtest_filter=XvfbTest.InsideTheDisplay"},
        {{ChildVariable, "1"}, {"QT_QPA_PLATFORM", std::nullopt}});
    EXPECT_EQ(testing_support::WaitForExit(pid, 120), 0);
    EXPECT_TRUE(fs::exists(fs::path(STROVA_TEST_TMP).parent_path() / "artifacts" / "strova_xvfb.png"));
}

TEST(XvfbTest, InsideTheDisplay) {
    if (!std::getenv(ChildVariable)) GTEST_SKIP() << "started by StrovaComesUpInARealWindow";
    platform::EnsureQApplication();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all);
    pid_t strova = testing_support::StartProcess(BinDir() + "/strova", {},
                                                 {{"VORBEL_REGISTRY", dir.file("registry.reg")},
                                                  {"XDG_RUNTIME_DIR", dir.path().string()},
                                                  {"TMPDIR", dir.path().string()},
                                                  {"VORBEL_MESSAGE_LOG", dir.file("boxes.log")}});
    // The main window is silver; the splash before it holds far less of it.
    QImage shot;
    bool appeared = false;
    // processEvents returns as soon as nothing is pending, so the wait is
    // paced by the clock: the splash alone stays up for 1.5 s.
    for (int i = 0; i < 300 && !appeared; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        appeared = SilverPixels(shot) > 60000;
        int status = 0;
        ASSERT_EQ(waitpid(strova, &status, WNOHANG), 0) << "strova ended before its window appeared";
    }
    fs::path artifacts = fs::path(STROVA_TEST_TMP).parent_path() / "artifacts";
    fs::create_directories(artifacts);
    shot.save(QString::fromStdString((artifacts / "strova_xvfb.png").string()));
    kill(strova, SIGTERM);
    waitpid(strova, nullptr, 0);
    EXPECT_TRUE(appeared);
    if (fs::exists(dir.file("boxes.log"))) ADD_FAILURE() << "boxes shown:\n" << testing_support::ReadFile(dir.file("boxes.log"));
}

}  // namespace
