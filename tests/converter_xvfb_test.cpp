// Strova in real windows on an X server of their own (Xvfb): the program
// comes up (a screenshot of the screen is kept under the build folder), and
// its windows answer real keys on a desktop with a window manager.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Ame.h"
#include "Desktop.h"
#include "Input.h"
#include "LibraryBinding.h"
#include "Main.h"
#include "TestSupport.h"
#include "WindowHelpers.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"
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
    if (FindOnPath("xvfb-run").empty()) GTEST_SKIP() << "xvfb-run is not installed";
    EXPECT_EQ(testing_support::RunOnOwnDisplay("XvfbTest.InsideTheDisplay", ChildVariable), 0);
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

// The user's check on a desktop, with real keys: a bitmap's path typed into
// File > Open, Enter, then Ctrl+R brings up the bounds dialog. There the
// group accelerators go to the longitudes, wherever the focus was; once the
// dialog has closed, the main window's status bar no longer shows the hint
// of the edit the pointer rested on. The mouse wheel scrolls the station
// window's map.
constexpr const char* DesktopChild = "STROVA_DESKTOP_CHILD";

TEST(KeyboardOnADesktop, OpenEnterRunAndTheBoundsDialog) {
    if (std::getenv(DesktopChild)) GTEST_SKIP() << "this is the run inside the display";
    ASSERT_FALSE(FindOnPath("xvfb-run").empty()) << "xvfb-run is missing; scripts/install-deps.sh installs it";
    EXPECT_EQ(testing_support::RunOnOwnDisplay("KeyboardOnADesktop.InsideTheDisplay", DesktopChild), 0);
}

TEST(KeyboardOnADesktop, InsideTheDisplay) {
    if (!std::getenv(DesktopChild)) GTEST_SKIP() << "started by OpenEnterRunAndTheBoundsDialog";
    for (const char* tool : {"openbox", "xdotool"})
        ASSERT_FALSE(FindOnPath(tool).empty()) << tool << " is missing; scripts/install-deps.sh installs it";
    platform::EnsureQApplication();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    TempDir dir;
    testing_support::ScopedEnv store("VORBEL_REGISTRY", dir.file("registry.reg"));
    fs::copy_file(testing_support::SourceDir() + "/resources/maps/kanto_sample.bmp", dir.file("map.bmp"));
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());  // where the run writes its pixel file
    strova::App();
    strova::LibraryPath = BinDir() + "/" + platform::LibraryFileName;
    strova::VorbelModule = platform::LoadModule(strova::LibraryPath);
    ASSERT_NE(strova::VorbelModule, nullptr) << platform::LastLoadError();
    testing_support::WindowManager manager;
    TMainForm main(nullptr);
    ASSERT_TRUE(testing_support::WindowManager::Front(main));

    QStringList shown, bounds;
    QString hintOnLatitude;
    int mapScrolledTo = 0;
    platform::SetModalFormHook([&](QWidget* form) {
        shown << form->metaObject()->className();
        if (auto* stations = qobject_cast<TAmeForm*>(form))
            QObject::connect(stations->ScrollBox->verticalScrollBar(), &QScrollBar::valueChanged,
                             [&mapScrolledTo](int value) { mapScrolledTo = value; });
        auto* input = qobject_cast<TInputDialog*>(form);
        if (!input) return;
        QCursor::setPos(input->LatitEd1->mapToGlobal(input->LatitEd1->rect().center()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !main.StatBar->currentMessage().isEmpty(); }));
        hintOnLatitude = main.StatBar->currentMessage();
        QObject::connect(input, &QDialog::finished, [&bounds, input] {
            bounds = {input->LongitEd1->text(), input->LatitEd1->text(), input->LongitEd2->text(),
                      input->LatitEd2->text()};
        });
    });
    // Each window is waited for and has the keyboard before keys go to it;
    // the main window gets it back by itself once the file dialog has closed.
    const std::string script =
        "set -e; x() { xdotool \"$@\"; }\n"
        "front() { timeout 20 xdotool search --sync --onlyvisible --name \"$1\" windowactivate --sync; }\n"
        "active() { timeout 20 sh -c \"until xdotool getactivewindow getwindowname | grep -qx '$1'; do :; done\"; }\n"
        "x key F3; front '^Select a Bitmap File'; x type --delay 40 '" + dir.file("map.bmp") + "'; x key Return\n"
        "active Strova; x key ctrl+r; front 'Input Dialog for Gray Map'\n"
        "x key Tab Tab Tab alt+b; x type 138.4; x key Tab; x type 34.8; x key alt+t; x type 141; x key Tab\n"
        "x type 37.2; x key Return; front 'Confirmation'; x key Return\n"
        "front 'Selecting AMeDAS Station'; x mousemove --window \"$(xdotool getactivewindow)\" 385 300\n"
        "x click 5 click 5; x key Escape\n";
    EXPECT_EQ(testing_support::RunUserScript(script, 120), 0);
    platform::SetModalFormHook(nullptr);
    QCoreApplication::processEvents();

    EXPECT_EQ(shown.join(" ").toStdString(), "QFileDialog TInputDialog TAmeForm");
    EXPECT_EQ(bounds.join(" ").toStdString(), "138.4 34.8 141 37.2");
    EXPECT_GT(mapScrolledTo, 0);
    EXPECT_EQ(hintOnLatitude.toStdString(), "Range: [-90, 90] ");
    QWidget* under = QApplication::widgetAt(QCursor::pos());
    const QString mainHint = under && under->window() == &main ? under->statusTip() : QString();
    EXPECT_EQ(main.StatBar->currentMessage().toStdString(), mainHint.toStdString());
    fs::current_path(before);
}

}  // namespace
