#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <ctime>
#include <filesystem>

#include "DialogSupport.h"
#include "FileListCore.h"
#include "Library.h"
#include "MessageBoxRecorder.h"
#include "Openuf1.h"
#include "platform/Cp932.h"
#include "vorbel/FileDialogs.h"
#include "vorbel/Stations.h"

using namespace testing_support;

namespace {

QString Utf(const char* text) { return QString::fromUtf8(text); }
QString Pron(int station) {
    char buffer[StationTextBufferSize];
    return QString::fromUtf8(GetAMeDASPron(station - 1, buffer));
}
QString Kanji(int station) {
    char buffer[StationTextBufferSize];
    return QString::fromStdString(platform::Cp932ToUtf8(GetAMeDASName(station - 1, buffer)));
}

// Sets a file's last change to noon of a local date.
void SetDate(const std::string& path, int year, int month, int day) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    std::time_t when = std::mktime(&local);
    timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

class OpenUF1Test : public DataFolderTest {
protected:
    // Runs the export; `act` does what the user does once the dialog shows.
    int Run(std::function<void(TOpenUF1*)> act, bool english = true, bool changeFolder = true) {
        platform::SetModalFormHook([this, act](QWidget* form) {
            if (auto* dialog = qobject_cast<TOpenUF1*>(form)) {
                EXPECT_EQ(_OpenUF1, dialog);
                act(dialog);
            } else if (auto* files = qobject_cast<QFileDialog*>(form); files && onFileDialog) {
                onFileDialog(files);
            }
        });
        int result = OpenUF1Dlg(english ? 1 : 0, changeFolder ? 1 : 0);
        EXPECT_EQ(_OpenUF1, nullptr);
        return result;
    }
    // Selects the row of `name` the way a click does, then presses OK.
    int ChooseAndOk(const QString& name, bool english = true) {
        return Run(
            [name](TOpenUF1* dialog) {
                auto rows = dialog->LvwFiles->findItems(name, Qt::MatchExactly, 0);
                ASSERT_EQ(rows.size(), 1);
                dialog->LvwFiles->setCurrentItem(rows[0]);
                dialog->BbtnOk->click();
            },
            english);
    }

    // What the user does in the folder-change dialog during Run.
    std::function<void(QFileDialog*)> onFileDialog;
};

}  // namespace

TEST_F(OpenUF1Test, TwoFilesInEnglish) {
    AddFiles({"0471999.uf1", "0010009.uf1"});
    TOpenUF1 dialog(nullptr, false, 1);
    ASSERT_EQ(dialog.LvwFiles->topLevelItemCount(), 2);
    EXPECT_EQ(RowCells(dialog.LvwFiles, 0).mid(0, 4), (QStringList{"0010009.uf1", "1", Pron(1), "9"}));
    EXPECT_EQ(RowCells(dialog.LvwFiles, 1).mid(0, 4), (QStringList{"0471999.uf1", "47", Pron(47), "1999"}));
    EXPECT_EQ(dialog.LvwFiles->topLevelItem(0)->text(5), "4");
    EXPECT_EQ(dialog.LblCount->text(), "Totally 2 UF1 file(s) in this folder.");
    EXPECT_EQ(dialog.EdtPath->text().toStdString(), Folder());
    EXPECT_EQ(dialog.LvwFiles->headerItem()->text(1), "Stn.No.");
    EXPECT_EQ(dialog.LvwFiles->headerItem()->text(5), "Size");
    EXPECT_EQ(dialog.BtnIncludedPath->text(), "Files &In");
    EXPECT_EQ(dialog.LblDesc->text(), "Selected File :");
    ExpectFolderListAndCount(dialog.EdtPath, dialog.LvwFiles, dialog.LblCount);
    ExpectShowField(dialog.EdtFile, QRect(152, 256, 105, 23), QColor(128, 0, 0));
    // The first row is chosen and focused, not highlighted.
    EXPECT_EQ(dialog.SelectedFile, "0010009.uf1");
    EXPECT_EQ(dialog.EdtFile->text(), "0010009.uf1");
    EXPECT_EQ(dialog.LvwFiles->currentItem(), dialog.LvwFiles->topLevelItem(0));
    EXPECT_TRUE(dialog.LvwFiles->selectedItems().isEmpty());

    EXPECT_EQ(Run([](TOpenUF1* shown) { shown->BbtnOk->click(); }), 10009);
    EXPECT_EQ(ChooseAndOk("0471999.uf1"), 471999);
}

TEST_F(OpenUF1Test, JapaneseTexts) {
    AddFiles({"0471999.uf1", "0449999.uf1"});
    TOpenUF1 dialog(nullptr, true, 1);
    EXPECT_EQ(RowCells(dialog.LvwFiles, 0).mid(0, 4), (QStringList{"0449999.uf1", "44", Kanji(44), Utf("標準年")}));
    EXPECT_EQ(RowCells(dialog.LvwFiles, 1).mid(2, 1), QStringList{Kanji(47)});
    EXPECT_EQ(dialog.LblCount->text(), Utf("ﾌｫﾙﾀﾞ内に全部で2個のUF1ﾌｧｲﾙがあります．"));
    EXPECT_EQ(dialog.LvwFiles->headerItem()->text(0), Utf("ﾌｧｲﾙ名"));
    EXPECT_EQ(dialog.BtnIncludedPath->text(), Utf("ﾌｧｲﾙの場所(&I) :"));
    EXPECT_EQ(dialog.LblDesc->text(), Utf("選択されたﾌｧｲﾙ:"));
    EXPECT_EQ(dialog.windowTitle(), "Open a source file (*.uf1)");
}

TEST_F(OpenUF1Test, NamesThatDoNotConformOrLieOutsideTheTable) {
    AddFiles({"0449999.uf1", "9999999.uf1", "0471999.bak.uf1", ".uf1", "abc.uf1", "abcdefg.uf1", "-011999.uf1"});
    {
        TOpenUF1 dialog(nullptr, false, 1);
        auto cells = [&](const char* name) {
            return RowCells(dialog.LvwFiles,
                            dialog.LvwFiles->indexOfTopLevelItem(dialog.LvwFiles->findItems(name, Qt::MatchExactly)[0]))
                .mid(1, 3);
        };
        EXPECT_EQ(cells("9999999.uf1"), (QStringList{"999", "", "Standard Year"}));
        EXPECT_EQ(cells("0471999.bak.uf1"), (QStringList{"47", Pron(47), "1999"}));
        EXPECT_EQ(cells(".uf1"), (QStringList{"-1", "", "-1"}));
        EXPECT_EQ(cells("abcdefg.uf1"), (QStringList{"-1", "", "-1"}));
        EXPECT_EQ(cells("-011999.uf1"), (QStringList{"-1", "", "1999"}));
    }
    EXPECT_EQ(ChooseAndOk("0449999.uf1"), 449999);
    EXPECT_EQ(ChooseAndOk("9999999.uf1"), 9999999);  // the same value as a cancel
    EXPECT_EQ(ChooseAndOk("0471999.bak.uf1"), 471999);
    EXPECT_EQ(ChooseAndOk("abc.uf1"), -10001);
    EXPECT_EQ(ChooseAndOk(".uf1"), -10001);
    EXPECT_EQ(ChooseAndOk("-011999.uf1"), -1 * 10000 + 1999);
}

TEST_F(OpenUF1Test, CancelAndCloseBox) {
    AddFiles({"0471999.uf1"});
    EXPECT_EQ(Run([](TOpenUF1* dialog) { dialog->BbtnCancel->click(); }), 9999999);
    EXPECT_EQ(Run([](TOpenUF1* dialog) { dialog->close(); }), 9999999);

    TOpenUF1 dialog(nullptr, false, 1);
    dialog.BbtnCancelClick();
    EXPECT_EQ(dialog.result(), platform::mrCancel);
    EXPECT_EQ(dialog.SelectedFile, "");
    EXPECT_EQ(dialog.Station, -1);
    EXPECT_EQ(dialog.Year, -1);
}

// The list has the focus when the dialog opens, so the arrow keys choose at
// once; Tab runs to OK and CANCEL and back to the list.
TEST_F(OpenUF1Test, OpensWithTheListFocusedAndTabsToOkAndCancel) {
    AddFiles({"0010009.uf1", "0471999.uf1", "0449999.uf1"});
    int result = Run([](TOpenUF1* dialog) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        ASSERT_EQ(QApplication::focusWidget(), dialog->LvwFiles);
        QTest::keyClick(dialog->LvwFiles, Qt::Key_Down);
        EXPECT_EQ(dialog->EdtFile->text(), "0449999.uf1");
        QTest::keyClick(dialog->LvwFiles, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog->BbtnOk);
        QTest::keyClick(dialog->BbtnOk, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog->BbtnCancel);
        QTest::keyClick(dialog->BbtnCancel, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), dialog->LvwFiles);
        QTest::keyClick(dialog->LvwFiles, Qt::Key_Down);
        QTest::keyClick(dialog->LvwFiles, Qt::Key_Return);  // the default button
    });
    EXPECT_EQ(result, 471999);
}

// After a click on the folder button and a cancelled folder dialog, the list
// has the keyboard again and Enter presses OK, not the folder button.
TEST_F(OpenUF1Test, EnterAfterTheFolderButtonPressesOk) {
    AddFiles({"0471999.uf1"});
    int folderDialogs = 0;
    onFileDialog = [&](QFileDialog* files) {
        ++folderDialogs;
        files->reject();
    };
    int result = Run([](TOpenUF1* dialog) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::mouseClick(dialog->BtnIncludedPath, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == dialog->LvwFiles; }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (dialog->isVisible()) dialog->BbtnCancel->click();
    });
    EXPECT_EQ(folderDialogs, 1);
    EXPECT_EQ(result, 471999);
}

// The longest names, a standard year and eight-digit sizes, in the fonts of
// both languages.
TEST_F(OpenUF1Test, ColumnsFitTheListInBothLanguages) {
    AddFiles({"0049999.uf1", "0131999.uf1", "3071999.uf1", "3951999.uf1", "9999999.uf1", "abc.uf1"});
    for (int station = 100; station < 112; ++station) WriteFile(data.file("0" + std::to_string(station) + "2001.uf1"), "");
    std::filesystem::resize_file(data.file("3951999.uf1"), 12345678);
    for (bool japanese : {true, false}) {
        TOpenUF1 dialog(nullptr, japanese, 1);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        ExpectColumnsFitTheList(dialog.LvwFiles);
    }
}

TEST_F(OpenUF1Test, FolderWithoutFiles) {
    MessageBoxRecorder boxes;
    int result = Run([](TOpenUF1* dialog) {
        EXPECT_EQ(dialog->LblCount->text(), "Totally 0 UF1 file(s) in this folder.");
        EXPECT_EQ(dialog->EdtFile->text(), "Selected File");
        dialog->BbtnOk->click();
    });
    EXPECT_EQ(result, -10001);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "There is no uf1 file\r\nin this foler.");
    EXPECT_EQ(boxes.calls[0].caption, "Error - uf1 file selection dialog");
    EXPECT_EQ(boxes.calls[0].flags, 16u);

    // A folder that does not exist reads the same, in Japanese here.
    settings.SetRoot(std::nullopt, data.file("missing") + "/");
    TOpenUF1 japanese(nullptr, true, 1);
    EXPECT_EQ(japanese.LblCount->text(), Utf("ﾌｫﾙﾀﾞ内に全部で0個のUF1ﾌｧｲﾙがあります．"));
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(boxes.calls[1].text, "このﾌｫﾙﾀﾞには，uf1ﾌｧｲﾙが\r\n存在しません．");
}

TEST_F(OpenUF1Test, CancelledFolderChangeStillRescans) {
    AddFiles({"0471999.uf1", "0010009.uf1"});
    TOpenUF1 dialog(nullptr, false, 1);
    AddFiles({"0021999.uf1"});
    QString shownIn;
    platform::SetModalFormHook([&](QWidget* form) {
        auto* files = qobject_cast<QFileDialog*>(form);
        ASSERT_NE(files, nullptr);
        shownIn = files->directory().absolutePath();
        files->reject();
    });
    dialog.BtnIncludedPath->click();
    EXPECT_EQ(shownIn.toStdString() + "/", std::filesystem::canonical(data.path()).string() + "/");
    EXPECT_EQ(dialog.LblCount->text(), "Totally 3 uf1 file(s) in this folder.");
    ASSERT_EQ(dialog.LvwFiles->selectedItems().size(), 1);
    EXPECT_EQ(dialog.LvwFiles->selectedItems()[0], dialog.LvwFiles->topLevelItem(0));
    EXPECT_EQ(dialog.SelectedFile, "0010009.uf1");
    EXPECT_EQ(vorbel::ReadRootText("TmpPath"), Folder());
}

TEST_F(OpenUF1Test, ChangeToAFolderWithoutFilesKeepsTheChoice) {
    AddFiles({"0471999.uf1"});
    TempDir other;
    WriteFile(other.path() / "readme.txt", "");
    MessageBoxRecorder boxes;
    onFileDialog = [&](QFileDialog* files) {
        files->selectFile(QString::fromStdString(other.file("readme.txt")));
        QMetaObject::invokeMethod(files, "accept");
    };
    int result = Run([&](TOpenUF1* dialog) {
        dialog->BtnIncludedPath->click();
        EXPECT_EQ(dialog->EdtPath->text().toStdString(), other.path().string() + "/");
        EXPECT_EQ(dialog->EdtFile->text(), "0471999.uf1");
        dialog->BbtnOk->click();
    });
    EXPECT_EQ(result, 471999);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "There is no uf1 file\r\nin this foler.");
    // The picked folder is the data folder from now on.
    EXPECT_EQ(vorbel::ReadRootText("TmpPath"), other.path().string() + "/");
}

TEST_F(OpenUF1Test, WithoutFolderChange) {
    AddFiles({"0471999.uf1"});
    TOpenUF1 dialog(nullptr, false, 0);
    dialog.show();
    EXPECT_FALSE(dialog.BtnIncludedPath->isVisible());
    EXPECT_TRUE(dialog.Label->isVisible());
    EXPECT_EQ(dialog.Label->text(), "Files In :");
    bool asked = false;
    platform::SetModalFormHook([&](QWidget* form) {
        asked = true;
        qobject_cast<QDialog*>(form)->reject();
    });
    dialog.BtnIncludedPathClick();
    EXPECT_FALSE(asked);
}

TEST_F(OpenUF1Test, SortingByColumnClicks) {
    AddFiles({"0471999.uf1", "abc.uf1", "9999999.uf1"});
    SetDate(data.file("0471999.uf1"), 1980, 1, 1);
    SetDate(data.file("abc.uf1"), 1979, 12, 31);
    SetDate(data.file("9999999.uf1"), 1999, 6, 30);
    TOpenUF1 dialog(nullptr, false, 1);
    QHeaderView* header = dialog.LvwFiles->header();
    const QStringList byName = {"0471999.uf1", "9999999.uf1", "abc.uf1"};
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 0), byName);

    emit header->sectionClicked(5);  // Size: no order, no direction turned
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 0), byName);
    EXPECT_EQ(dialog.SortColumn, 5);

    emit header->sectionClicked(1);
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 1), (QStringList{"999", "47", "-1"}));

    emit header->sectionClicked(4);
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 4), (QStringList{"80/01/01", "99/06/30", "79/12/31"}));
    emit header->sectionClicked(4);
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 4), (QStringList{"79/12/31", "99/06/30", "80/01/01"}));

    emit header->sectionClicked(0);  // first click on the name: descending
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 0), (QStringList{"abc.uf1", "9999999.uf1", "0471999.uf1"}));
}

TEST_F(OpenUF1Test, SelectionChoosesTheLastSelectedRow) {
    AddFiles({"0471999.uf1", "0010009.uf1"});
    TOpenUF1 dialog(nullptr, false, 1);
    dialog.LvwFiles->setCurrentItem(dialog.LvwFiles->topLevelItem(1));
    EXPECT_EQ(dialog.SelectedFile, "0471999.uf1");
    dialog.LvwFiles->clearSelection();  // only deselects: the same row stays chosen
    EXPECT_EQ(dialog.SelectedFile, "0471999.uf1");
    EXPECT_EQ(dialog.EdtFile->text(), "0471999.uf1");
}

TEST_F(OpenUF1Test, OnlyPlainFilesAndFoldersAreListed) {
    AddFiles({"0471999.uf1"});
    mkfifo(data.file("0449999.uf1").c_str(), 0600);
    std::filesystem::create_symlink(data.path() / "gone", data.path() / "0010009.uf1");
    TOpenUF1 dialog(nullptr, false, 1);
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 0), QStringList{"0471999.uf1"});
}

TEST_F(OpenUF1Test, SizesOfTwoGigabytesAndMore) {
    WriteFile(data.path() / "0471999.uf1", "");
    std::filesystem::resize_file(data.path() / "0471999.uf1", 3'000'000'000ull);  // sparse
    TOpenUF1 dialog(nullptr, false, 1);
    EXPECT_EQ(dialog.LvwFiles->topLevelItem(0)->text(5), "3,000,000,000");
}

TEST_F(OpenUF1Test, DataFolderFromTheSettings) {
    // An empty TmpPath gives the default folder beside DllPath, and stores it.
    settings.SetRoot("/opt/wx/bin/", "");
    {
        MessageBoxRecorder boxes;
        TOpenUF1 dialog(nullptr, false, 1);
        EXPECT_EQ(dialog.Folder, "/opt/wx/Tmp/");
        EXPECT_EQ(dialog.EdtPath->text(), "/opt/wx/Tmp/");
    }
    EXPECT_EQ(vorbel::ReadRootText("TmpPath"), "/opt/wx/Tmp/");

    settings.SetRoot("/", "");
    {
        MessageBoxRecorder boxes;
        TOpenUF1 dialog(nullptr, false, 1);
    }
    EXPECT_EQ(vorbel::ReadRootText("TmpPath"), "/Tmp/");

    // A stored folder is used as it is and not written again.
    settings.SetRoot(std::nullopt, Folder());
    std::string before = ReadFile(settings.StoreFile());
    {
        MessageBoxRecorder boxes;
        TOpenUF1 dialog(nullptr, false, 1);
        EXPECT_EQ(dialog.Folder, Folder());
    }
    EXPECT_EQ(ReadFile(settings.StoreFile()), before);
}

TEST(OpenUF1Settings, MissingRootKeyIsNeitherCreatedNorWritten) {
    vorbel::App();
    DialogSettings settings;
    MessageBoxRecorder boxes;
    TOpenUF1 dialog(nullptr, false, 1);
    EXPECT_EQ(dialog.Folder, "/Tmp/");
    EXPECT_FALSE(std::filesystem::exists(settings.StoreFile()));
}
