#include "List.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include "MessageBoxRecorder.h"
#include "ScreenProbes.h"
#include "TestSupport.h"
#include "core/LogPrint.h"
#include "platform/Exception.h"
#include "platform/SafeFile.h"

using namespace platform;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

class ListFormTest : public ::testing::Test {
protected:
    TempDir dir;
    QPlainTextEdit* log = nullptr;

    void SetUp() override {
        EnsureQApplication();
        log = new QPlainTextEdit;
    }
    void TearDown() override {
        SetModalFormHook(nullptr);
        delete log;
    }
    void Fill(int count) {
        for (int i = 1; i <= count; ++i) log->appendPlainText(QString("Line %1: (%2,%3)").arg(i).arg(i * 10).arg(i * 7));
    }
    void SaveThroughTheDialog(TListForm& form, const std::string& path) {
        SetModalFormHook([path](QWidget* shown) {
            auto* dialog = qobject_cast<QFileDialog*>(shown);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Assign a Filename to Save the Log...");
            dialog->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        form.SaveBtn->click();
        SetModalFormHook(nullptr);
    }
};

TEST_F(ListFormTest, SavedLogEndsEveryLineWithCrLf) {
    Fill(3);
    TListForm form(nullptr, log, false);
    SaveThroughTheDialog(form, dir.file("log.txt"));
    EXPECT_EQ(ReadFile(dir.file("log.txt")), "Line 1: (10,7)\r\nLine 2: (20,14)\r\nLine 3: (30,21)\r\n");

    TListForm empty(nullptr, new QPlainTextEdit(&form), false);
    empty.SaveTo(QString::fromStdString(dir.file("empty.txt")));
    EXPECT_EQ(ReadFile(dir.file("empty.txt")), "");
}

TEST_F(ListFormTest, CancelledSaveWritesNothingAndAnUnwritableFileIsReported) {
    Fill(1);
    TListForm form(nullptr, log, false);
    SetModalFormHook([](QWidget* shown) { static_cast<QDialog*>(shown)->reject(); });
    form.SaveBtn->click();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    std::string bad = dir.file("missing/log.txt");
    try {
        form.SaveTo(QString::fromStdString(bad));
        ADD_FAILURE() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()), "ファイル " + bad + " を作成できません\rNo such file or directory");
    }
    // A full disk: the earlier file stays, and the reason is named.
    const std::string earlier = dir.file("earlier.txt");
    testing_support::WriteFile(earlier, "earlier");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = old;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    std::string what;
    try {
        form.SaveTo(QString::fromStdString(earlier));
    } catch (const Exception& error) {
        what = error.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(what, "ファイル " + earlier + " を作成できません\rFile too large");
    EXPECT_EQ(ReadFile(earlier), "earlier");
}

// The saved log replaces an earlier file whole (through a link, to its
// target), and a save that stops leaves the earlier file.
std::string* savedLog = nullptr;
std::set<std::string>* savedStates = nullptr;
void RecordSavedLog() { savedStates->insert(ReadFile(*savedLog)); }

TEST_F(ListFormTest, ASavedLogReplacesTheEarlierFileWhole) {
    Fill(2000);
    TListForm form(nullptr, log, false);
    testing_support::WriteFile(dir.file("earlier.txt"), "earlier");
    std::filesystem::create_symlink("earlier.txt", dir.file("log.txt"));
    std::string target = dir.file("earlier.txt");
    std::set<std::string> states;
    savedLog = &target;
    savedStates = &states;
    SafeFileCheckpoint = RecordSavedLog;
    form.SaveTo(QString::fromStdString(dir.file("log.txt")));
    SafeFileCheckpoint = nullptr;
    const std::string saved = ReadFile(target);
    EXPECT_EQ(saved.substr(0, 16), "Line 1: (10,7)\r\n");
    EXPECT_EQ(states, (std::set<std::string>{"earlier", saved}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("log.txt")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

// Started as the ordinary user by the next test, on the folder it names.
TEST_F(ListFormTest, DISABLED_SavesInAClosedFolderAsOrdinaryUser) {
    Fill(1);
    TListForm form(nullptr, log, false);
    const std::string closed = std::getenv("CLOSED_FOLDER");
    form.SaveTo(QString::fromStdString(closed + "/log.txt"));
    EXPECT_EQ(ReadFile(closed + "/log.txt"), "Line 1: (10,7)\r\n");
    EXPECT_THROW(form.SaveTo(QString::fromStdString(closed + "/new.txt")), Exception);
}

TEST_F(ListFormTest, AWritableLogInAClosedFolderIsOverwrittenInPlace) {
    TempDir scratch;
    testing_support::OpenToOrdinaryUser(scratch.path());
    const std::string closed = dir.file("closed");
    std::filesystem::create_directory(closed);
    testing_support::WriteFile(closed + "/log.txt", "earlier");
    std::filesystem::permissions(closed + "/log.txt", std::filesystem::perms::all);
    std::filesystem::permissions(closed, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                             std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const pid_t child = testing_support::StartAsOrdinaryUser(
        testing_support::SelfPath(),
        {"--gtest_also_run_disabled_tests", "--gtest_filter=ListFormTest.DISABLED_SavesInAClosedFolderAsOrdinaryUser"},
        {{"STROVA_SCRATCH", scratch.path().string()}, {"CLOSED_FOLDER", closed}});
    EXPECT_EQ(testing_support::WaitForExit(child, 60), 0);
    std::filesystem::permissions(closed, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(closed + "/log.txt"), "Line 1: (10,7)\r\n");
}

TEST_F(ListFormTest, CopyTakesTheSelectionOnly) {
    Fill(2);
    TListForm form(nullptr, log, false);
    QApplication::clipboard()->setText("before");
    form.CopyBtn->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "before");

    QTextCursor cursor = form.Memo->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    form.Memo->setTextCursor(cursor);
    form.CopyBtn->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "Line 1");
}

TEST_F(ListFormTest, CaptionHintsAndStatusBarFollowTheLanguage) {
    TListForm english(nullptr, log, false);
    EXPECT_EQ(english.windowTitle(), "Strova - Process Log Viewer");
    EXPECT_EQ(HintOf(english.CopyBtn), "Clipboard Copy|Copying the displayed data to the clipboard.");
    EXPECT_EQ(HintOf(english.PrintBtn), "Print|Printing the displayed data.");
    EXPECT_EQ(english.Memo->font().family(), "Liberation Mono");
    EXPECT_TRUE(english.Memo->isReadOnly());

    TListForm japanese(nullptr, log, true);
    EXPECT_EQ(HintOf(japanese.SaveBtn), "File Save|ﾛｸﾞの内容をﾌｧｲﾙとして保存します．");
    EXPECT_EQ(HintOf(japanese.CopyBtn), "Clipboard Copy|ﾛｸﾞの内容をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰします．");
    EXPECT_EQ(japanese.StatusBar->font().family(), "IPAPGothic");
    EXPECT_EQ(japanese.StatusBar->font().pointSize(), 9);
}

TEST_F(ListFormTest, ItsScrollBarsAreReadable) {
    Fill(100);
    TListForm form(nullptr, log, false);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_GE(testing_support::HandleContrast(form.Memo->verticalScrollBar()), testing_support::ReadableHandleContrast);
}

TEST_F(ListFormTest, SaveDialogShowsTheFileTypesAsWritten) {
    TListForm form(nullptr, log, false);
    SetModalFormHook([](QWidget* shown) {
        auto* types = shown->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        ASSERT_EQ(types->count(), 2);
        EXPECT_EQ(types->itemText(0).toStdString(), "*.txt (text file)");
        EXPECT_EQ(types->itemText(1).toStdString(), "*.* (non specified file)");
        static_cast<QDialog*>(shown)->reject();
    });
    form.SaveBtn->click();
}

int PdfPages(const std::string& pdf) {
    std::regex page("/Type\\s*/Page[^s]");
    return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

// Prints `lines` lines to a PDF at `dpi` and counts its pages.
int PrintedPages(TListForm& form, int dpi, const std::string& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(dpi);
    printer.setOutputFileName(QString::fromStdString(path));
    form.PrintTo(printer);
    EXPECT_EQ(form.ActivePrinter, nullptr);
    return PdfPages(ReadFile(path));
}

TEST_F(ListFormTest, PrintedPagesBreakAfterTheRowsOfAPage) {
    for (int dpi : {300, 600}) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(dpi);
        strova::PrintGeometry g = strova::ComputePrintGeometry(dpi, LogPrintPoints, printer.height());
        ASSERT_GT(g.rowsPerPage, 5);

        TListForm none(nullptr, log, false);
        EXPECT_EQ(PrintedPages(none, dpi, dir.file("none.pdf")), 1) << dpi;

        Fill(g.rowsPerPage - 4);  // rows 5 to N of page 1
        TListForm full(nullptr, log, false);
        EXPECT_EQ(PrintedPages(full, dpi, dir.file("full.pdf")), 1) << dpi;

        Fill(1);
        TListForm over(nullptr, log, false);
        EXPECT_EQ(PrintedPages(over, dpi, dir.file("over.pdf")), 2) << dpi;
        log->clear();
    }
}

TEST_F(ListFormTest, PrinterThatCannotStartIsReported) {
    Fill(3);
    TListForm form(nullptr, log, false);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("no/such/folder/log.pdf")));
    try {
        form.PrintTo(printer);
        ADD_FAILURE() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()), "The log can't be printed on " + dir.file("no/such/folder/log.pdf") + ".");
    }
    EXPECT_EQ(form.ActivePrinter, nullptr);
}

// The dialog's printer is pointed at a PDF file, then the dialog is either
// cancelled or confirmed as it stands: only the confirmed one may print.
TEST_F(ListFormTest, CancelledPrintDialogPrintsNothing) {
    Fill(3);
    TListForm form(nullptr, log, false);
    testing_support::MessageBoxRecorder recorder;
    auto answerWith = [&](const std::string& pdf, bool confirm) {
        bool shown = false;
        SetModalFormHook([&shown, pdf, confirm](QWidget* dialog) {
            auto* print = qobject_cast<QPrintDialog*>(dialog);
            shown = print != nullptr;
            if (!print) return;
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(QString::fromStdString(pdf));
            if (confirm)
                print->QDialog::accept();  // keeps the file chosen above
            else
                print->reject();
        });
        form.PrintBtn->click();
        SetModalFormHook(nullptr);
        EXPECT_TRUE(shown);
        EXPECT_EQ(form.ActivePrinter, nullptr);
    };
    answerWith(dir.file("cancelled.pdf"), false);
    EXPECT_FALSE(std::filesystem::exists(dir.file("cancelled.pdf")));
    answerWith(dir.file("confirmed.pdf"), true);
    EXPECT_EQ(PdfPages(ReadFile(dir.file("confirmed.pdf"))), 1);
    EXPECT_TRUE(recorder.calls.empty());
}

}  // namespace
