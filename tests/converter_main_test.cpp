// The main window driven as a user drives it, with the real library loaded
// and a private settings store.
#include "Main.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEnterEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <memory>

#include "About.h"
#include "List.h"
#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "TestSupport.h"
#include "platform/ModuleNames.h"
#include "platform/Registry.h"

using namespace platform;
using testing_support::BinDir;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;
namespace fs = std::filesystem;

namespace {

class MainFormTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv store{"VORBEL_REGISTRY", dir.file("registry.reg")};
    std::vector<MessageBoxCall> boxes;
    fs::path oldFolder;

    void SetUp() override {
        EnsureQApplication();
        strova::App();  // before the library's own, as the program's entry makes it
        strova::LibraryPath = BinDir() + "/" + LibraryFileName;
        strova::VorbelModule = LoadModule(strova::LibraryPath);
        ASSERT_NE(strova::VorbelModule, nullptr) << LastLoadError();
        SetMessageBoxHook([this](const MessageBoxCall& call) {
            boxes.push_back(call);
            return IDOK;
        });
        oldFolder = fs::current_path();
        fs::current_path(dir.path());
    }

    void TearDown() override {
        SetMessageBoxHook(nullptr);
        SetModalFormHook(nullptr);
        SetHelpViewerHook(nullptr);
        fs::current_path(oldFolder);
    }

    std::unique_ptr<TMainForm> Create(bool japaneseAvailable) {
        strova::JapaneseAvailable = japaneseAvailable;
        return std::make_unique<TMainForm>(nullptr);
    }

    void WriteStore(const std::string& body) {
        WriteFile(dir.file("registry.reg"), "Windows Registry Editor Version 5.00\n\n" + body);
    }

    static int StoredUseJP() {
        Registry registry;
        EXPECT_TRUE(registry.OpenKey("Software\\Vorbel\\Strova", false));
        return registry.ReadInteger("UseJP");
    }

    // Picks `name` (created in the test folder) in the open dialog.
    void Open(TMainForm& form, const std::string& name) {
        WriteFile(dir.file(name), "BM");
        std::string path = dir.file(name);
        SetModalFormHook([path](QWidget* shown) {
            auto* dialog = qobject_cast<QFileDialog*>(shown);
            ASSERT_NE(dialog, nullptr);
            // Picked from the list under "*.*", as a user clicks it: a typed
            // name without extension would get the default one.
            dialog->selectNameFilter("non specified file (*.*)");
            auto* model = dialog->findChild<QFileSystemModel*>();
            // The model lists the folder on a thread of its own. A listing
            // that is late (it can be, under a sanitizer on a busy machine)
            // leaves the name to be typed instead: the dialog must be
            // answered either way, or the run waits on it for ever.
            (void)QTest::qWaitFor([&] { return model->index(QString::fromStdString(path)).isValid(); }, 10000);
            // The name field keeps its focus between showings, and a focused
            // field is not overwritten by selectFile.
            if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
            dialog->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        form.FileOpenMenuClick();
        SetModalFormHook(nullptr);
    }

    const std::string tessadyn =
        "[HKEY_CURRENT_USER\\Software\\Vorbel\\Tessadyn]\n\"AmePath\"=\"/tess/ame/\"\n\"CfgPath\"=\"/tess/cfg/\"\n";
};

void Hover(QWidget* widget) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
}

TEST_F(MainFormTest, FirstStartWithoutJapaneseShowsEnglishAndStoresUseJPZero) {
    auto form = Create(false);
    EXPECT_FALSE(form->OptionMenu->menuAction()->isVisible());
    EXPECT_FALSE(form->JPMode);
    EXPECT_EQ(StoredUseJP(), 0);
    EXPECT_EQ(HintOf(form->FileOpenMenu), "|Reading a bitmap file colored gray.");
    EXPECT_EQ(HintOf(form->FileOpenBtn), "|Reading a bitmap file colored gray.");
    EXPECT_EQ(HintOf(form->RunBtn), "|Generating necessary files for Tessadyn.");
    EXPECT_EQ(HintOf(form->ProgBar), "Progress Indicator|Displaying progress status of a process.");
    EXPECT_EQ(form->StatBar->font().family(), "Liberation Sans");
    EXPECT_EQ(form->StatBar->font().pointSize(), 8);
    // No Tessadyn key: everything in the current folder.
    EXPECT_EQ(form->AmePath, "./");
    EXPECT_EQ(form->BmpPath, "./");
    EXPECT_EQ(form->CfgPath, "./");
    // The state after start.
    EXPECT_TRUE(form->FileOpenMenu->isEnabled());
    EXPECT_FALSE(form->RunMenu->isEnabled());
    EXPECT_FALSE(form->RunBtn->isEnabled());
    EXPECT_FALSE(form->ListBtn->isEnabled());
    EXPECT_FALSE(form->Signal1->isEnabled());
    EXPECT_TRUE(form->ProcessLog->toPlainText().isEmpty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormTest, FirstStartOnAJapaneseSystemOffersTheOptionMenuInEnglish) {
    auto form = Create(true);
    EXPECT_TRUE(form->OptionMenu->menuAction()->isVisible());
    EXPECT_TRUE(form->OptionUSMenu->isChecked());
    EXPECT_FALSE(form->OptionJPMenu->isChecked());
    EXPECT_EQ(HintOf(form->HelpAboutMenu), "|Displaying the version information dialog window.");
    EXPECT_EQ(StoredUseJP(), 0);
}

TEST_F(MainFormTest, StoredJapaneseWithoutJapaneseIsRewrittenAsEnglish) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n\"UseJP\"=dword:00000001\n");
    auto form = Create(false);
    EXPECT_FALSE(form->JPMode);
    EXPECT_EQ(StoredUseJP(), 0);
}

TEST_F(MainFormTest, StoredJapaneseOnAJapaneseSystemShowsJapanese) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n\"UseJP\"=dword:00000001\n");
    auto form = Create(true);
    EXPECT_TRUE(form->JPMode);
    EXPECT_TRUE(form->OptionJPMenu->isChecked());
    EXPECT_FALSE(form->OptionUSMenu->isChecked());
    EXPECT_EQ(HintOf(form->FileOpenMenu), "ﾌｧｲﾙを開く|ｸﾞﾚｰに塗られたﾏｯﾌﾟﾌｧｲﾙを読み込みます．");
    EXPECT_EQ(HintOf(form->HelpBtn), "ﾍﾙﾌﾟﾌｧｲﾙを開く|使い方のﾍﾙﾌﾟｳｨﾝﾄﾞｳを表示します．");
    EXPECT_EQ(HintOf(form->Text2), "|AMeDAS地点に対応するﾋﾟｸｾﾙの座標を計算します...");
    EXPECT_EQ(HintOf(form->ListBtn), "Process log.|処理経過をﾘｽﾄ表示します．");
    EXPECT_EQ(form->StatBar->font().family(), "IPAPGothic");
    EXPECT_EQ(form->StatBar->font().pointSize(), 9);
    EXPECT_EQ(StoredUseJP(), 1);
}

TEST_F(MainFormTest, EveryOptionClickSwitchesTheLanguageAndStoresIt) {
    auto form = Create(true);
    ASSERT_NE(form->OptionUSMenu->actionGroup(), nullptr);  // shown as radio items
    EXPECT_TRUE(form->OptionUSMenu->actionGroup()->isExclusive());
    form->OptionUSMenu->trigger();  // already checked: still switches
    EXPECT_TRUE(form->JPMode);
    EXPECT_TRUE(form->OptionJPMenu->isChecked());
    EXPECT_FALSE(form->OptionUSMenu->isChecked());
    EXPECT_EQ(StoredUseJP(), 1);
    EXPECT_EQ(HintOf(form->RunBtn), "実行する|実行して必要なﾌｧｲﾙを生成します．");

    form->OptionJPMenu->trigger();
    EXPECT_FALSE(form->JPMode);
    EXPECT_TRUE(form->OptionUSMenu->isChecked());
    EXPECT_EQ(StoredUseJP(), 0);
    EXPECT_EQ(HintOf(form->Text1), "");
}

// A store the user made read-only takes no language choice: the click
// switches the window's language and passes over the store without a word.
TEST_F(MainFormTest, OptionClickOnAReadOnlyStoreSwitchesAndStoresNothing) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n\"UseJP\"=dword:00000000\n");
    auto form = Create(true);
    fs::permissions(dir.file("registry.reg"), fs::perms::owner_read | fs::perms::group_read);
    std::string before = testing_support::ReadFile(dir.file("registry.reg"));
    form->OptionJPMenu->trigger();
    EXPECT_TRUE(form->JPMode);
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    EXPECT_EQ(testing_support::ReadFile(dir.file("registry.reg")), before);
}

TEST_F(MainFormTest, TessadynValuesMissingUnderAnExistingKeyAreEmptyPrefixes) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel\\Tessadyn]\n\"BmpPath\"=\"/maps/\"\n");
    auto form = Create(false);
    EXPECT_EQ(form->AmePath, "");
    EXPECT_EQ(form->BmpPath, "/maps/");
    EXPECT_EQ(form->CfgPath, "");
}

TEST_F(MainFormTest, UseJPOfTheWrongTypeOrMissingEndsTheCreation) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n\"UseJP\"=\"1\"\n");
    try {
        Create(false);
        ADD_FAILURE() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_NE(std::string(error.what()).find("UseJP"), std::string::npos);
    }
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n\"Other\"=dword:00000001\n");
    EXPECT_THROW(Create(false), RegistryError);
}

TEST_F(MainFormTest, ReservedNamesAreRefusedInAnyCaseWithTheirFiles) {
    WriteStore(tessadyn);
    auto form = Create(true);
    Open(*form, "Kanto.bmp");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Strova - Warning");
    EXPECT_EQ(boxes[0].flags, MB_ICONWARNING);
    EXPECT_EQ(boxes[0].text, "<Kanto.*>\rThis main filename is reserved as default.\r"
                             "User can't remake/edit the following files:\r"
                             "</tess/ame/Kanto.ame>\r<" + dir.file("Kanto.bmp") + ">\r</tess/cfg/Kanto.cfg>");
    EXPECT_TRUE(form->FileOpenMenu->isEnabled());
    EXPECT_TRUE(form->FileOpenBtn->isEnabled());
    EXPECT_FALSE(form->RunMenu->isEnabled());

    form->OptionUSMenu->trigger();  // Japanese
    Open(*form, "HOKKAIDO.bmp");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "<HOKKAIDO.*>\r上のﾒｲﾝﾌｧｲﾙ名はﾃﾞﾌｫﾙﾄとして予約済みです．\r"
                             "ﾕｰｻﾞは次の既存ﾌｧｲﾙを再作成・編集できません．\r"
                             "</tess/ame/HOKKAIDO.ame>\r<" + dir.file("HOKKAIDO.bmp") + ">\r</tess/cfg/HOKKAIDO.cfg>");
}

TEST_F(MainFormTest, AcceptedNamesDeriveTheOutputFiles) {
    WriteStore(tessadyn);
    auto form = Create(false);
    struct Case {
        const char* file;
        const char* base;
    };
    for (Case c : {Case{"kanto2.bmp", "kanto2"}, Case{"kanto.old.bmp", "kanto.old"}, Case{"north", ""},
                   Case{".bmp", ""}}) {
        Open(*form, c.file);
        EXPECT_EQ(form->BaseName, c.base) << c.file;
        EXPECT_EQ(form->BmpFile, dir.file(c.file));
        EXPECT_EQ(form->AmeFile, std::string("/tess/ame/") + c.base + ".ame");
        EXPECT_EQ(form->CfgFile, std::string("/tess/cfg/") + c.base + ".cfg");
        EXPECT_EQ(form->DatFile, std::string("./") + c.base + "_a.dat");
        EXPECT_EQ(form->AmeBak, std::string("/tess/ame/") + c.base + ".bak");
        EXPECT_EQ(form->CfgBak, std::string("/tess/cfg/") + c.base + ".bak");
        EXPECT_EQ(form->DatBak, std::string("./") + c.base + "_a.bak");
        EXPECT_TRUE(form->RunMenu->isEnabled());
        EXPECT_TRUE(form->RunBtn->isEnabled());
        EXPECT_FALSE(form->FileOpenMenu->isEnabled());
        EXPECT_FALSE(form->FileOpenBtn->isEnabled());
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormTest, RefusedNameAfterAFailedRunDisablesRun) {
    auto form = Create(false);
    Open(*form, "north.bmp");
    // A failed step gives File > Open back and leaves Run enabled.
    form->FileOpenMenu->setEnabled(true);
    form->FileOpenBtn->setEnabled(true);
    Open(*form, "kyushu.BMP");
    EXPECT_FALSE(form->RunMenu->isEnabled());
    EXPECT_FALSE(form->RunBtn->isEnabled());
    EXPECT_TRUE(form->FileOpenMenu->isEnabled());
}

// Whether the bitmap is accepted or refused, the last run's log and lamps go.
TEST_F(MainFormTest, OpeningABitmapClearsTheLastRun) {
    auto form = Create(false);
    for (const char* name : {"north.bmp", "Japan.bmp"}) {
        form->ProcessLog->appendPlainText("--- Step 1: Normally processed.");
        form->MarkStepDone(1);
        form->MarkStepRunning(2);
        form->FileOpenMenu->setEnabled(true);
        Open(*form, name);
        EXPECT_TRUE(form->ProcessLog->toPlainText().isEmpty()) << name;
        EXPECT_FALSE(form->Signal1->isEnabled()) << name;
        for (QLabel* label : {form->Text1, form->Text2})
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black)) << name;
    }
}

TEST_F(MainFormTest, CancelledOpenChangesNothing) {
    auto form = Create(false);
    Open(*form, "north.bmp");
    form->ProcessLog->appendPlainText("kept");
    form->MarkStepDone(1);
    SetModalFormHook([](QWidget* shown) { static_cast<QDialog*>(shown)->reject(); });
    form->FileOpenMenuClick();
    EXPECT_EQ(form->ProcessLog->toPlainText(), "kept");
    EXPECT_TRUE(form->Signal1->isEnabled());
    EXPECT_TRUE(form->RunMenu->isEnabled());
    EXPECT_FALSE(form->FileOpenMenu->isEnabled());
    EXPECT_EQ(form->BmpFile, dir.file("north.bmp"));
}

TEST_F(MainFormTest, LampsAndLabelsFollowTheSteps) {
    auto form = Create(false);
    auto colour = [](QLabel* label) { return label->palette().color(QPalette::WindowText); };
    form->MarkStepRunning(2);
    EXPECT_EQ(colour(form->Text2), QColor(0, 128, 128));
    EXPECT_FALSE(form->Signal2->isEnabled());
    form->MarkStepDone(2);
    EXPECT_EQ(colour(form->Text2), QColor(128, 0, 0));
    EXPECT_TRUE(form->Signal2->isEnabled());
    EXPECT_FALSE(form->Signal1->isEnabled());
    form->ResetStepLamps();
    for (QToolButton* lamp : {form->Signal1, form->Signal2, form->Signal3}) EXPECT_FALSE(lamp->isEnabled());
    for (QLabel* label : {form->Text1, form->Text2, form->Text3}) EXPECT_EQ(colour(label), QColor(Qt::black));
}

TEST_F(MainFormTest, BackupNoticeInBothLanguages) {
    auto form = Create(true);
    form->ShowBackupNotice("/a/north.ame", "/a/north.bak");
    form->OptionUSMenu->trigger();
    form->ShowBackupNotice("./north_a.dat", "./north_a.bak");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Strova - Warning");
    EXPECT_EQ(boxes[0].flags, MB_ICONINFORMATION);
    EXPECT_EQ(boxes[0].text, "An old file having the same name\ras the file to be created found.\r"
                             "The old one was renamed as a backup.\r"
                             "Created File : </a/north.ame>\r"
                             " Backup File : </a/north.bak>");
    EXPECT_EQ(boxes[1].text, "作成されるﾌｧｲﾙと同名のﾌｧｲﾙが既に存在するため，\r"
                             "既存ﾌｧｲﾙのコピーを作成しました．\r"
                             "新規作成ﾌｧｲﾙ <./north_a.dat>\r"
                             "ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <./north_a.bak>");
}

TEST_F(MainFormTest, ClosingDeletesThePixelFileAndSetsTheExitCode) {
    auto form = Create(false);
    WriteFile(dir.file("tmp_$$$.loc"), "12345678");
    strova::ExitCode = 1;
    form->show();
    form->FileExitMenu->trigger();
    EXPECT_FALSE(fs::exists(dir.file("tmp_$$$.loc")));
    EXPECT_EQ(strova::ExitCode, 0);
    form.reset();  // unloads the library
    EXPECT_EQ(strova::VorbelModule, nullptr);
}

TEST_F(MainFormTest, HelpOpensThePageOfTheLanguage) {
    auto form = Create(true);
    std::vector<QString> shown;
    SetHelpViewerHook([&](const QString& path) {
        shown.push_back(path);
        return true;
    });
    form->HelpUsageMenuClick();  // no page in the current folder: the one beside the program
    WriteFile(dir.file("StrovaJ.html"), "<html></html>");
    form->OptionUSMenu->trigger();
    form->HelpBtn->click();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], QString::fromStdString(strova::ProgramFolder() + "Strova.html"));
    EXPECT_TRUE(fs::exists(shown[0].toStdString()));
    EXPECT_EQ(shown[1], QString::fromStdString(dir.file("StrovaJ.html")));
    EXPECT_EQ(strova::App().HelpFile, "./StrovaJ.html");
    EXPECT_TRUE(boxes.empty());
}

// A page that is there but that no program of the desktop opens.
TEST_F(MainFormTest, HelpThatNoProgramOpensSaysSoInTheLanguage) {
    auto form = Create(true);
    SetHelpViewerHook([](const QString&) { return false; });
    form->HelpUsageMenuClick();
    form->OptionUSMenu->trigger();  // Japanese
    form->HelpUsageMenuClick();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "<" + strova::ProgramFolder() + "Strova.html>\rNo program was found to open this help page.");
    EXPECT_EQ(boxes[0].caption, "Strova - Error");
    EXPECT_EQ(boxes[0].flags, MB_ICONERROR);
    EXPECT_EQ(boxes[1].text, "<" + strova::ProgramFolder() + "StrovaJ.html>\rこのﾍﾙﾌﾟﾍﾟｰｼﾞを開くﾌﾟﾛｸﾞﾗﾑが見つかりません．");
}

TEST_F(MainFormTest, VersionWindowClosesOnAClickOnItsPicture) {
    auto form = Create(false);
    bool shown = false;
    SetModalFormHook([&](QWidget* window) {
        auto* about = qobject_cast<TVerInfo*>(window);
        ASSERT_NE(about, nullptr);
        shown = true;
        EXPECT_EQ(about->windowTitle(), "Strova - Version Information");
        EXPECT_EQ(HintOf(about->OkBtn), "Close|");
        EXPECT_EQ(about->Image->pixmap().size(), QSize(320, 240));
        QMouseEvent click(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(about->Image, &click);
    });
    form->AboutBtn->click();
    EXPECT_TRUE(shown);
}

TEST_F(MainFormTest, LogWindowShowsTheLogAndGivesTheHintsBack) {
    auto form = Create(false);
    form->ProcessLog->appendPlainText("first line");
    form->ProcessLog->appendPlainText("--- Step 1: Normally processed.");
    form->ListBtn->setEnabled(true);
    QString seen;
    SetModalFormHook([&](QWidget* window) {
        auto* list = qobject_cast<TListForm*>(window);
        ASSERT_NE(list, nullptr);
        seen = list->Memo->toPlainText();
        Hover(list->SaveBtn);
        EXPECT_EQ(list->StatusBar->currentMessage(), "Saving the displayed data as a file.");
        list->BBtnClose->click();
    });
    form->ListBtn->click();
    EXPECT_EQ(seen, "first line\n--- Step 1: Normally processed.");
    Hover(form->FileOpenBtn);
    EXPECT_EQ(form->StatBar->currentMessage(), "Reading a bitmap file colored gray.");
}

TEST_F(MainFormTest, MenuItemHintsReachTheStatusBarThoughTheLibraryHasItsOwnApplication) {
    auto form = Create(false);
    form->HelpMenu->setActiveAction(form->HelpAboutMenu);
    EXPECT_EQ(form->StatBar->currentMessage(), "Displaying the version information dialog window.");
}

}  // namespace
