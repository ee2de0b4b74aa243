#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DialogSupport.h"
#include "Library.h"
#include "Lsthasma.h"
#include "MessageBoxRecorder.h"
#include "vorbel/FileDialogs.h"

using namespace testing_support;

namespace {

QString Utf(const char* text) { return QString::fromUtf8(text); }

class LstHASMATest : public DataFolderTest {};

}  // namespace

TEST_F(LstHASMATest, ListsTheFilesOfThePattern) {
    AddFiles({"0471999.SMA", "0019999.sma", "0471999.HAS"});
    TLstHASMA dialog(nullptr, "*.sma", false);
    EXPECT_EQ(dialog.windowTitle(), "List of Files (*.sma)");
    EXPECT_EQ(dialog.Extension, "SMA");
    EXPECT_EQ(dialog.LblCount->text(), "Totally 2 SMA file(s) in this folder.");
    EXPECT_EQ(dialog.Label->text(), "Files In :");
    EXPECT_EQ(dialog.EdtPath->text().toStdString(), Folder());
    ExpectFolderListAndCount(dialog.EdtPath, dialog.LvwFiles, dialog.LblCount);
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 0), (QStringList{"0019999.sma", "0471999.SMA"}));
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 3), (QStringList{"Standard Year", "1999"}));
    EXPECT_EQ(dialog.LvwFiles->currentItem(), dialog.LvwFiles->topLevelItem(0));
    EXPECT_TRUE(dialog.LvwFiles->selectedItems().isEmpty());

    emit dialog.LvwFiles->header()->sectionClicked(1);  // descending by station
    EXPECT_EQ(ColumnCells(dialog.LvwFiles, 1), (QStringList{"47", "1"}));
}

TEST_F(LstHASMATest, JapaneseTexts) {
    AddFiles({"0471999.has"});
    TLstHASMA dialog(nullptr, "*.has", true);
    EXPECT_EQ(dialog.LblCount->text(), Utf("ﾌｫﾙﾀﾞ内に全部で1個のHASﾌｧｲﾙがあります．"));
    EXPECT_EQ(dialog.Label->text(), Utf("ﾌｧｲﾙの場所 :"));
    EXPECT_EQ(dialog.LvwFiles->headerItem()->text(4), Utf("更新日"));
}

TEST_F(LstHASMATest, NoFileMessages) {
    MessageBoxRecorder boxes;
    {
        TLstHASMA english(nullptr, "*.sma", false);
        EXPECT_EQ(english.LblCount->text(), "Totally 0 SMA file(s) in this folder.");
        TLstHASMA japanese(nullptr, "x", true);
        EXPECT_EQ(japanese.Extension, "X");
    }
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(boxes.calls[0].text, "There is no SMA file\rin this foler.");
    EXPECT_EQ(boxes.calls[0].caption, "Info. - HAS/SMA list dialog");
    EXPECT_EQ(boxes.calls[0].flags, 64u);
    EXPECT_EQ(boxes.calls[1].text, "このﾌｫﾙﾀﾞには，X\rﾌｧｲﾙがありません．");
}

TEST_F(LstHASMATest, ExportShowsTheListUntilOk) {
    AddFiles({"0471999.sma"});
    bool shown = false;
    platform::SetModalFormHook([&](QWidget* form) {
        auto* dialog = qobject_cast<TLstHASMA*>(form);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(_LstHASMA, dialog);
        EXPECT_EQ(dialog->windowTitle(), "List of Files (*.SMA)");
        shown = true;
        dialog->BbtnOk->click();
    });
    OpenHASMAListDlg("*.SMA", 1);
    EXPECT_TRUE(shown);
    EXPECT_EQ(_LstHASMA, nullptr);
}

// Without a cancel button Esc closes nothing; OK, Enter and the close box do.
TEST_F(LstHASMATest, EscDoesNotCloseTheList) {
    AddFiles({"0471999.sma"});
    for (int way = 0; way < 3; ++way) {
        bool closed = false;
        platform::SetModalFormHook([&, way](QWidget* form) {
            ASSERT_TRUE(QTest::qWaitForWindowActive(form));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QTest::keyClick(form, Qt::Key_Escape);
            ASSERT_TRUE(form->isVisible());
            closed = true;
            auto* dialog = static_cast<TLstHASMA*>(form);
            if (way == 0) QTest::mouseClick(dialog->BbtnOk, Qt::LeftButton);
            if (way == 1) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            if (way == 2) dialog->close();
        });
        OpenHASMAListDlg("*.sma", 1);
        EXPECT_TRUE(closed) << way;
    }
}

TEST_F(LstHASMATest, NeverWritesTheDataFolder) {
    settings.SetRoot("/opt/wx/bin/", "");
    std::string before = ReadFile(settings.StoreFile());
    MessageBoxRecorder boxes;
    {
        TLstHASMA dialog(nullptr, "*.sma", false);
        EXPECT_EQ(dialog.Folder, "/opt/wx/Tmp/");
    }
    EXPECT_EQ(ReadFile(settings.StoreFile()), before);
}
