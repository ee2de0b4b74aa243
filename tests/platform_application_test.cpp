#include "platform/forms/Application.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QCursor>
#include <QDialog>
#include <QEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "ScreenProbes.h"
#include "TestSupport.h"
#include "platform/Exception.h"

using namespace platform;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureQApplication(); }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        SetModalFormHook(nullptr);
    }
};

TEST_F(ApplicationTest, MessageLogRecordsEachBoxAndAnswersWithItsDefaultButton) {
    TempDir dir;
    ScopedEnv log(MessageLogVariable, dir.file("boxes.log"));
    Application app;
    EXPECT_EQ(app.MessageBox("one\rtwo", "Strova - Error", MB_ICONERROR), IDOK);
    EXPECT_EQ(app.MessageBox("sure?", "Ask", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(app.MessageBox("again?", "Ask", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(ReadFile(dir.file("boxes.log")),
              "Strova - Error\t0x10\tone\rtwo\n"
              "Ask\t0x24\tsure?\n"
              "Ask\t0x103\tagain?\n");
}

TEST_F(ApplicationTest, WithoutAScreenABoxGoesToStandardErrorInsteadOfWaitingForever) {
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    Application app;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(app.MessageBox("one\rtwo", "Input Warning", MB_OK | MB_ICONWARNING), IDOK);
    EXPECT_EQ(app.MessageBox("sure?", "Ask", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Input Warning: one\ntwo\nAsk: sure?\n");
}

TEST_F(ApplicationTest, DefaultButtonFollowsTheStyle) {
    EXPECT_EQ(DefaultButtonOf(MB_OK), IDOK);
    EXPECT_EQ(DefaultButtonOf(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(DefaultButtonOf(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
    EXPECT_EQ(DefaultButtonOf(MB_YESNO | MB_DEFBUTTON3), IDYES);  // no third button: the first
}

TEST_F(ApplicationTest, ExceptionEscapingAHandlerGoesToTheProgramsErrorBox) {
    Application app;
    app.Title = "Strova";
    std::vector<MessageBoxCall> boxes;
    SetMessageBoxHook([&](const MessageBoxCall& call) {
        boxes.push_back(call);
        return IDOK;
    });
    QTimer::singleShot(0, [] { throw Exception("file.bmp can't be read."); });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "file.bmp can't be read.");
    EXPECT_EQ(boxes[0].caption, MainApplication()->Title.toStdString());
    EXPECT_EQ(boxes[0].flags, MB_OK | MB_ICONSTOP);
}

TEST_F(ApplicationTest, HintEventCarriesTheLongPartOfControlsAndMenuItems) {
    Application app;
    QStringList seen;
    app.OnHint = [&] { seen << app.Hint; };

    QMainWindow window;
    auto* button = new QPushButton(&window);
    SetHint(button, "File Save|Saving the displayed data as a file.");
    QMenu* menu = window.menuBar()->addMenu("&File");
    QAction* open = menu->addAction("&Open...");
    SetHint(open, "|Reading a bitmap file colored gray.");

    EXPECT_EQ(button->toolTip(), "File Save");
    EXPECT_EQ(HintOf(button), "File Save|Saving the displayed data as a file.");
    EXPECT_EQ(HintOf(open), "|Reading a bitmap file colored gray.");

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(button, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    menu->setActiveAction(open);

    EXPECT_EQ(seen, (QStringList{"Saving the displayed data as a file.", "", "Reading a bitmap file colored gray."}));
    EXPECT_EQ(app.Hint, "Reading a bitmap file colored gray.");
}

// A dialog closed while the pointer rested on one of its edits: the window
// that owns it shows the hint of what the pointer is on now.
TEST_F(ApplicationTest, ClosingAModalFormGivesItsOwnerItsHintBack) {
    Application app;
    QMainWindow main;
    auto* open = new QPushButton("Open", &main);
    open->setGeometry(10, 10, 80, 30);
    SetHint(open, "|Reading a bitmap file colored gray.");
    main.resize(300, 200);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QDialog dialog(&main);
    auto* latitude = new QLineEdit(&dialog);
    SetHint(latitude, "Range: [-90, 90]");
    SetModalFormHook([latitude, &app](QWidget* form) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(latitude, &enter);
        EXPECT_EQ(app.Hint.toStdString(), "Range: [-90, 90]");
        static_cast<QDialog*>(form)->accept();
    });
    for (QWidget* under : {static_cast<QWidget*>(&main), static_cast<QWidget*>(open)}) {
        QCursor::setPos(under->mapToGlobal(under == open ? QPoint(5, 5) : QPoint(200, 150)));
        EXPECT_EQ(ShowModal(&dialog), mrOk);
        QCoreApplication::processEvents();
        EXPECT_EQ(app.Hint.toStdString(), under == open ? "Reading a bitmap file colored gray." : "");
    }
}

// A file's path typed into a file dialog faster than the dialog lists its
// folder, and Enter: the listing that arrives after the dialog has closed
// opens no completion popup, in a dialog shown once or again.
TEST_F(ApplicationTest, AClosedFileDialogOpensNoCompletionPopup) {
    TempDir dir;
    for (const char* folder : {"one", "two"}) {
        std::filesystem::create_directory(dir.path() / folder);
        testing_support::WriteFile(dir.file(std::string(folder) + "/map.bmp"), "");
    }
    QFileDialog dialog(nullptr, "Select a Bitmap File to Read...", QString::fromStdString(dir.path().string()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    QStringList listed;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, [&listed](const QString& path) { listed << path; });
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    for (const char* folder : {"one", "two"}) {
        const QString typed = QString::fromStdString(dir.file(std::string(folder) + "/map.bmp"));
        SetModalFormHook([name, typed](QWidget* form) {
            if (!QTest::qWaitForWindowActive(form)) return static_cast<QDialog*>(form)->reject();
            name->setFocus();
            QTest::keyClicks(name, typed);  // no event runs in between: the folder is not listed yet
            QTest::keyClick(name, Qt::Key_Return);
        });
        EXPECT_EQ(ShowModal(&dialog), mrOk);
        const QString folderPath = QFileInfo(typed).absolutePath();
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed.contains(folderPath); }, 20000)) << folder;
        QCoreApplication::processEvents();
        EXPECT_FALSE(name->completer()->popup()->isVisible()) << folder;
    }
}

TEST_F(ApplicationTest, ReadableScrollBarsShowTheirHandleAgainstTheTrack) {
    QPlainTextEdit memo;
    memo.setPlainText(QString("line\n").repeated(200));
    memo.resize(300, 200);
    memo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
    const int usual = testing_support::HandleContrast(memo.verticalScrollBar());
    UseReadableScrollBars(&memo);
    EXPECT_GE(testing_support::HandleContrast(memo.verticalScrollBar()), testing_support::ReadableHandleContrast)
        << "the usual look differs by " << usual;
}

TEST_F(ApplicationTest, ShowModalGivesTheModalResults) {
    QDialog dialog;
    SetModalFormHook([](QWidget* form) { static_cast<QDialog*>(form)->done(mrAbort); });
    EXPECT_EQ(ShowModal(&dialog), mrAbort);
    SetModalFormHook([](QWidget* form) { static_cast<QDialog*>(form)->reject(); });
    EXPECT_EQ(ShowModal(&dialog), mrCancel);

    QWidget plain;
    SetModalFormHook([](QWidget* form) {
        form->setProperty("ModalResult", mrOk);
        form->hide();
    });
    EXPECT_EQ(ShowModal(&plain), mrOk);
    EXPECT_EQ(plain.windowModality(), Qt::NonModal);
    SetModalFormHook([](QWidget* form) { form->close(); });
    EXPECT_EQ(ShowModal(&plain), mrCancel);
}

TEST_F(ApplicationTest, FamilyFontsMapToInstalledEquivalents) {
    EXPECT_EQ(MapFontFamily("MS Sans Serif"), "Liberation Sans");
    EXPECT_EQ(MapFontFamily("Courier New"), "Liberation Mono");
    EXPECT_EQ(MapFontFamily("ＭＳ　Ｐゴシック"), "IPAPGothic");
    EXPECT_EQ(MapFontFamily("ＭＳ Ｐゴシック"), "IPAPGothic");
    QFont mono = FontInPixels("Courier New", 15);
    EXPECT_EQ(mono.pixelSize(), 15);
    EXPECT_EQ(FontInPoints("MS Sans Serif", 8).pointSize(), 8);
}

TEST_F(ApplicationTest, FixedPitchDesktopFontGivesWayToTheProportionalOneOfTheLanguage) {
    QFont desktop = FontInPoints("Courier New", 10);
    {
        testing_support::ScopedEnv lang("LC_ALL", "ja_JP.UTF-8");
        QFont japanese = ProportionalUiFont(desktop);
        EXPECT_EQ(japanese.family(), "IPAPGothic");
        EXPECT_EQ(japanese.pointSize(), 10);
    }
    {
        testing_support::ScopedEnv lang("LC_ALL", "C.UTF-8");
        EXPECT_EQ(ProportionalUiFont(desktop).family(), "Liberation Sans");
    }
    QFont proportional = FontInPoints("MS Sans Serif", 10);
    EXPECT_EQ(ProportionalUiFont(proportional), proportional);
}

// Message boxes on a real screen: an X server of the test's own (Xvfb).
constexpr const char* DisplayChild = "VORBEL_BOX_DISPLAY_CHILD";

TEST(OnAScreen, MessageBoxesAndHelpPages) {
    if (std::getenv(DisplayChild)) GTEST_SKIP() << "this is the run inside the display";
    ASSERT_FALSE(testing_support::FindOnPath("xvfb-run").empty())
        << "xvfb-run is missing; scripts/install-deps.sh installs it";
    EXPECT_EQ(testing_support::RunOnOwnDisplay("MessageBoxOnAScreen.InsideTheDisplay:HelpOnAScreen.InsideTheDisplay",
                                               DisplayChild, {{MessageLogVariable, std::nullopt}}),
              0);
}

// Shows a box over `front` once the event loop runs and checks where it
// stands before pressing its OK button: centred over `front`, or, for a
// window at the edge of the screen, whole on the screen.
void ExpectBoxOver(Application& app, QWidget* front, bool atEdge = false) {
    QTimer::singleShot(0, [&app, front, atEdge] {
        QTimer::singleShot(50, [front, atEdge] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
            EXPECT_EQ(box->parentWidget(), front);
            ASSERT_NE(box->windowHandle(), nullptr);
            EXPECT_EQ(box->windowHandle()->transientParent(), front->windowHandle());
            QPoint offset = box->frameGeometry().center() - front->frameGeometry().center();
            if (atEdge) EXPECT_TRUE(box->screen()->availableGeometry().contains(box->frameGeometry()));
            else EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        EXPECT_EQ(app.MessageBox("Far from the middle", "Caption", MB_OK | MB_ICONWARNING), IDOK);
        if (auto* dialog = qobject_cast<QDialog*>(front)) dialog->accept();
    });
}

TEST(MessageBoxOnAScreen, InsideTheDisplay) {
    if (!std::getenv(DisplayChild)) GTEST_SKIP() << "started by OnAScreen.MessageBoxesAndHelpPages";
    EnsureQApplication();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    Application app;

    QMainWindow main;
    main.setGeometry(600, 400, 380, 300);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QDialog dialog(&main);
    dialog.setGeometry(30, 40, 420, 320);
    ExpectBoxOver(app, &dialog);
    dialog.exec();  // a modal dialog in front of the active main window

    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    ExpectBoxOver(app, &main);  // the active window, when none is modal
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();

    QDialog corner(&main);
    corner.setGeometry(900, 650, 300, 200);  // reaches past the bottom right
    ExpectBoxOver(app, &corner, true);
    corner.exec();

    // A box raised while none of the program's windows is active (a long
    // run while the user works elsewhere) still belongs to the window the
    // user had in front last, not to the middle of the screen.
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QWidget other;
    other.setGeometry(40, 40, 200, 150);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    other.hide();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }));
    ExpectBoxOver(app, &main);
    QEventLoop after;
    QTimer::singleShot(500, &after, &QEventLoop::quit);
    after.exec();
}

// Help pages on a desktop: a page that is not there, a desktop without
// xdg-open and without a browser Qt knows, and xdg-open, found along the
// search path, that finds no program for the page (it says so by its exit
// status) or opens it.
TEST(HelpOnAScreen, InsideTheDisplay) {
    if (!std::getenv(DisplayChild)) GTEST_SKIP() << "started by OnAScreen.MessageBoxesAndHelpPages";
    EnsureQApplication();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    Application app;
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "bin");
    testing_support::WriteFile(dir.file("Strova.html"), "<html></html>");
    QObject context;
    std::vector<HelpFailure> failures;
    auto failed = [&failures](HelpFailure failure) { failures.push_back(failure); };
    app.HelpFile = QString::fromStdString(dir.file("missing.html"));
    app.ShowHelpContents(&context, failed);
    EXPECT_EQ(failures, std::vector{HelpFailure::Missing});

    app.HelpFile = QString::fromStdString(dir.file("Strova.html"));
    ScopedEnv path("PATH", dir.file("bin"));
    ScopedEnv browser("BROWSER", std::nullopt);
    app.ShowHelpContents(&context, failed);
    EXPECT_EQ(failures, (std::vector{HelpFailure::Missing, HelpFailure::NoViewer}));

    const std::string opener = dir.file("bin/xdg-open");
    const std::string opened = dir.file("opened");
    testing_support::WriteFile(opener, "#!/bin/sh\necho \"$1\" > '" + opened + ".new' && /bin/mv '" + opened +
                                           ".new' '" + opened + "'\nexit $(/bin/cat '" + dir.file("status") + "')\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    testing_support::WriteFile(dir.file("status"), "3");
    app.ShowHelpContents(&context, failed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures.size() == 3; }, 20000));
    EXPECT_EQ(failures.back(), HelpFailure::NoViewer);

    std::filesystem::remove(opened);
    testing_support::WriteFile(dir.file("status"), "0");
    app.ShowHelpContents(&context, failed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(opened); }, 20000));
    EXPECT_EQ(ReadFile(opened), QUrl::fromLocalFile(app.HelpFile).toString().toStdString() + "\n");
    EXPECT_EQ(failures.size(), 3u);
}

// The application object made for a caller: offscreen with no display, and
// the caller's environment left as it was, so that a program the caller
// starts afterwards does not inherit the offscreen platform. Each case runs in
// a process of its own, as a process makes its application object once.
TEST(ApplicationEnvironment, DISABLED_NoDisplayLeavesNoPlatformBehind) {
    ASSERT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);
    ASSERT_EQ(std::getenv("DISPLAY"), nullptr);
    ASSERT_EQ(std::getenv("WAYLAND_DISPLAY"), nullptr);
    ASSERT_TRUE(EnsureQApplication());
    EXPECT_EQ(QGuiApplication::platformName(), "offscreen");
    EXPECT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);
    // What a program started now finds.
    const pid_t child = testing_support::StartProcess(
        "/bin/sh", {"-c", "test \"${QT_QPA_PLATFORM-unset}\" = unset"}, {});
    EXPECT_EQ(testing_support::WaitForExit(child, 30), 0);
    EXPECT_FALSE(EnsureQApplication()) << "made once";
    EXPECT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);
}

TEST(ApplicationEnvironment, DISABLED_TheCallersPlatformStays) {
    ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "minimal");
    ASSERT_TRUE(EnsureQApplication());
    EXPECT_EQ(QGuiApplication::platformName(), "minimal");
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "minimal");
}

TEST(ApplicationEnvironment, LeftAsTheCallerHadIt) {
    const auto run = [](const std::string& test, const std::optional<std::string>& platform) {
        const pid_t child = testing_support::StartProcess(
            testing_support::SelfPath(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=ApplicationEnvironment.DISABLED_" + test},
            {{"QT_QPA_PLATFORM", platform}, {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}});
        return testing_support::WaitForExit(child, 60);
    };
    EXPECT_EQ(run("NoDisplayLeavesNoPlatformBehind", std::nullopt), 0);
    EXPECT_EQ(run("TheCallersPlatformStays", "minimal"), 0);
}

}  // namespace
