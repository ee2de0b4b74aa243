#include "Main.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

#include "About.h"
#include "Ame.h"
#include "Bmp.h"
#include "Cfg.h"
#include "Input.h"
#include "List.h"
#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "StepSupport.h"
#include "core/BoundsRules.h"
#include "core/Paths.h"
#include "core/StepTransaction.h"
#include "platform/ModuleNames.h"

using strova::App;
using strova::Text;

TMainForm::TMainForm(QWidget* owner) : QMainWindow(owner) {
    // The window from its layout.
    setWindowTitle("Strova");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(platform::FontInPixels("MS Sans Serif", 13));
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    silver.setColor(QPalette::Button, QColor(192, 192, 192));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        silver.setColor(QPalette::Disabled, role, QColor(128, 128, 128));
    setPalette(silver);
    setAutoFillBackground(true);
    BuildMenus();

    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    Bevel = new QFrame(client);
    Bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel->setFixedHeight(3);
    column->addWidget(Bevel);
    BuildButtonPanel();
    column->addWidget(BtnPanel);
    BuildStepPanel();
    column->addWidget(Panel);
    ProgBar = new QProgressBar(client);
    ProgBar->setRange(0, 100);
    ProgBar->setValue(0);
    ProgBar->setTextVisible(false);
    ProgBar->setFixedHeight(24);
    column->addWidget(ProgBar);
    client->setFixedSize(579, 158);
    setCentralWidget(client);

    StatBar = new QStatusBar(this);
    StatBar->setSizeGripEnabled(false);
    StatBar->setFixedHeight(22);
    setStatusBar(StatBar);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    OpenDialog = new QFileDialog(this);
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setNameFilters({"bitmap file (*.bmp)", "non specified file (*.*)"});

    // The constructor's own work, before the creation handler.
    TmpFile = strova::TempPixelFile;
    SplashFn = strova::Bind<decltype(&::Splash)>("Splash");
    JPMode = false;
    strova::Stations = strova::BindStationAccessors(strova::BindExport);
    ReadSettings();
    SplashFn();
    FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::BuildMenus() {
    FileMenu = menuBar()->addMenu("&File");
    FileOpenMenu = FileMenu->addAction("&Open...", QKeySequence(Qt::Key_F3), this, &TMainForm::FileOpenMenuClick);
    FileMenu->addSeparator();
    FileExitMenu =
        FileMenu->addAction("E&xit", QKeySequence(Qt::ALT | Qt::Key_X), this, &TMainForm::FileExitMenuClick);

    RunMenu = menuBar()->addAction("&Run (Ctrl+R)");
    RunMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    RunMenu->setEnabled(false);
    connect(RunMenu, &QAction::triggered, this, &TMainForm::RunMenuClick);

    OptionMenu = menuBar()->addMenu("&Option");
    OptionUSMenu = OptionMenu->addAction("Use &English");
    OptionJPMenu = OptionMenu->addAction("Use &Japanese");
    platform::SetTag(OptionJPMenu, 1);
    // A radio group that still lets a click take the mark off its item, so
    // that the handler can switch the language on every click.
    auto* radioGroup = new QActionGroup(this);
    radioGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* item : {OptionUSMenu, OptionJPMenu}) {
        radioGroup->addAction(item);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, item] { OptionMenuClick(item); });
    }
    OptionUSMenu->setChecked(true);

    HelpMenu = menuBar()->addMenu("&Help");
    HelpUsageMenu = HelpMenu->addAction("&Usage...", this, &TMainForm::HelpUsageMenuClick);
    HelpMenu->addSeparator();
    HelpAboutMenu = HelpMenu->addAction("&Version Info...", this, &TMainForm::HelpAboutMenuClick);
}

void TMainForm::BuildButtonPanel() {
    BtnPanel = new QFrame(this);
    BtnPanel->setFixedHeight(51);
    FileOpenBtn = strova::SpeedButton(BtnPanel, "open", 5, 9);
    RunBtn = strova::SpeedButton(BtnPanel, "run", 53, 9);
    RunBtn->setEnabled(false);
    HelpBtn = strova::SpeedButton(BtnPanel, "help", 159, 9);
    AboutBtn = strova::SpeedButton(BtnPanel, "about", 196, 9);
    connect(FileOpenBtn, &QToolButton::clicked, this, &TMainForm::FileOpenMenuClick);
    connect(RunBtn, &QToolButton::clicked, this, &TMainForm::RunMenuClick);
    connect(HelpBtn, &QToolButton::clicked, this, &TMainForm::HelpUsageMenuClick);
    connect(AboutBtn, &QToolButton::clicked, this, &TMainForm::HelpAboutMenuClick);

    ListBtn = new QPushButton("Show &Detail...", BtnPanel);
    ListBtn->setIcon(strova::Glyph("copy"));
    ListBtn->setGeometry(579 - 134 - 8, 10, 134, 31);
    ListBtn->setEnabled(false);
    connect(ListBtn, &QPushButton::clicked, this, &TMainForm::ListBtnClick);
}

void TMainForm::BuildStepPanel() {
    Panel = new QFrame(this);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const char* captions[] = {"- Find and Save Gray Pixels' Data...",
                              "- Determine Locations of the AMeDAS Stations (Making *.ame File)...",
                              "- Calculate Adjacent AMeDAS Stations for All Gray Pixels (Making *.cfg File)..."};
    QToolButton** lamps[] = {&Signal1, &Signal2, &Signal3};
    QLabel** labels[] = {&Text1, &Text2, &Text3};
    for (int i = 0; i < 3; ++i) {
        int top = 11 + 20 * i;
        QToolButton* lamp = new QToolButton(Panel);
        lamp->setAutoRaise(true);
        lamp->setIcon(strova::Glyph("lamp"));
        lamp->setIconSize(QSize(13, 13));
        lamp->setGeometry(12, top, 13, 13);
        lamp->setEnabled(false);
        *lamps[i] = lamp;
        QLabel* label = new QLabel(captions[i], Panel);
        label->setGeometry(32, top - 2, 540, 17);
        *labels[i] = label;
    }
}

void TMainForm::FormCreate() {
    App().OnHint = [this] { ShowMainHint(); };
    if (!strova::JapaneseAvailable) OptionMenu->menuAction()->setVisible(false);
    ApplyLanguage();
    if (JPMode) {
        OptionJPMenu->setChecked(true);
        OptionUSMenu->setChecked(false);
    }
    ProcessLog = new QPlainTextEdit(this);
    ProcessLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    ProcessLog->hide();
}

// The library goes last: every bound function dies with it.
void TMainForm::FormDestroy() {
    App().OnHint = nullptr;
    delete ProcessLog;
    ProcessLog = nullptr;
    platform::UnloadModule(strova::VorbelModule);
    strova::VorbelModule = nullptr;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (Running) {  // the steps still use the files FormClose would delete
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormClose() {
    std::error_code ignored;
    std::filesystem::remove(TmpFile, ignored);
    strova::ExitCode = 0;
}

void TMainForm::SetFileOpenEnabled(bool enabled) {
    FileOpenBtn->setEnabled(enabled);
    FileOpenMenu->setEnabled(enabled);
}

void TMainForm::SetRunEnabled(bool enabled) {
    RunBtn->setEnabled(enabled);
    RunMenu->setEnabled(enabled);
}

void TMainForm::FileOpenMenuClick() {
    // No default suffix: Qt would append it even to a file picked from the
    // list, and a bitmap whose name has no dot could not be opened.
    OpenDialog->setDirectory(Text(BmpPath));
    OpenDialog->selectNameFilter(OpenDialog->nameFilters().first());
    OpenDialog->setWindowTitle("Select a Bitmap File to Read...");
    if (platform::ShowModal(OpenDialog) != platform::mrOk || OpenDialog->selectedFiles().isEmpty()) return;
    OpenBitmap(OpenDialog->selectedFiles().first().toLocal8Bit().toStdString());
}

void TMainForm::OpenBitmap(const std::string& path) {
    ProcessLog->clear();
    SetFileOpenEnabled(false);
    ResetStepLamps();

    BmpFile = path;
    BaseName = strova::BaseNameOf(BmpFile);
    strova::OutputPaths paths = strova::DeriveOutputPaths(AmePath, CfgPath, BaseName);
    AmeFile = paths.ame;
    CfgFile = paths.cfg;
    DatFile = paths.dat;
    AmeBak = paths.ameBackup;
    CfgBak = paths.cfgBackup;
    DatBak = paths.datBackup;

    if (strova::IsReservedBaseName(BaseName)) {
        ShowReservedNameWarning();
        SetFileOpenEnabled(true);
        SetRunEnabled(false);
        return;
    }
    SetRunEnabled(true);
}

void TMainForm::ShowReservedNameWarning() {
    QString text = "<" + Text(BaseName) + ".*>\r";
    if (JPMode)
        text += "上のﾒｲﾝﾌｧｲﾙ名はﾃﾞﾌｫﾙﾄとして予約済みです．\r"
                "ﾕｰｻﾞは次の既存ﾌｧｲﾙを再作成・編集できません．\r";
    else
        text += "This main filename is reserved as default.\r"
                "User can't remake/edit the following files:\r";
    text += "<" + Text(AmeFile) + ">\r<" + Text(BmpFile) + ">\r<" + Text(CfgFile) + ">";
    App().MessageBox(text, strova::WarningCaption, platform::MB_OK | platform::MB_ICONWARNING);
}

void TMainForm::RunMenuClick() {
    if (Running) return;  // a click that came in while a step let messages through
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(Running);
    if (RunStep1() && RunStep2() && RunStep3()) {
        ListBtn->setEnabled(true);
        SetFileOpenEnabled(true);
        SetRunEnabled(false);
        return;
    }
    ProcessLog->clear();
}

bool TMainForm::RunStep1() {
    MarkStepRunning(1);
    {
        TBmpData data(this, BmpFile, JPMode);
        if (data.Ok != 1) return GiveUp();
        data.ScanGrayPixels(TmpFile, ProgBar);
        if (data.Ok != 1) return GiveUp();
        GrayCount = data.GrayCount;
        BmpIdentity = data.Identity;
        PixelIdentity = data.PixelIdentity;
        BmpWidth = data.Rows.width;
        BmpHeight = data.Rows.height;
        data.LogBitmapInfo(ProcessLog);
    }
    int result = platform::mrCancel;
    {
        TInputDialog dialog(this, BmpWidth, BmpHeight, JPMode);
        result = platform::ShowModal(&dialog);
        if (result == platform::mrOk) {
            LeftLon = dialog.LeftLon;
            BottomLat = dialog.BottomLat;
            RightLon = dialog.RightLon;
            TopLat = dialog.TopLat;
        }
    }
    if (result != platform::mrOk) return GiveUp();
    MsgText = strova::BoundsLogLine(LeftLon, BottomLat, RightLon, TopLat);
    return StepDone(1, {MsgText, "--- Step 1: Normally processed.", " "});
}

bool TMainForm::RunStep2() {
    MarkStepRunning(2);
    const strova::MapConfig map{LeftLon, BottomLat, RightLon, TopLat, BmpWidth, BmpHeight};
    strova::StepTransaction files({{AmeFile, AmeBak}, {DatFile, DatBak}});
    files.ExpectUnchanged(BmpFile, BmpIdentity);  // the marks are placed for the picture step 1 read
    files.ExpectUnchanged(TmpFile, PixelIdentity);  // and on the gray pixels it found
    if (!BeginStep(files)) return GiveUpStep(files);
    int result = platform::mrCancel;
    {
        TAmeForm form(this, AmeFile, BmpFile, DatFile, TmpFile, GrayCount, map, ProgBar, ProcessLog, JPMode, files);
        if (form.Placed) {
            result = platform::ShowModal(&form);
            TotalCount = form.TotalCount;
        }
    }
    App().OnHint = [this] { ShowMainHint(); };
    if (result != platform::mrOk) return GiveUpStep(files);
    ShowBackupNotices(files);
    return StepDone(2, {"--- Step 2: Normally processed.", " "});
}

bool TMainForm::RunStep3() {
    MarkStepRunning(3);
    strova::StepTransaction files({{CfgFile, CfgBak}}, {AmeFile, DatFile});
    files.ExpectUnchanged(TmpFile, PixelIdentity);  // a record for each gray pixel step 1 found
    if (!BeginStep(files)) return GiveUpStep(files);
    bool ok = false;
    {
        TCfgData data(this, AmeFile, CfgFile, TmpFile, TotalCount, ProgBar, GrayCount, files);
        if (data.Ok == 1) data.FindAdjacentStations();
        ok = data.Ok == 1;
    }
    if (!ok) return GiveUpStep(files);
    ShowBackupNotices(files);
    return StepDone(3, {"File: " + CfgFile + " created.", "--- Step 3: Normally processed.", " "});
}

// The step's inputs and earlier files are checked and copied for their
// backups; or the user is told why not.
bool TMainForm::BeginStep(strova::StepTransaction& files) {
    const strova::StepFailure failure = files.Begin();
    if (failure.Failed()) strova::ShowErrorBox(Text(files.FailureText(failure, JPMode)));
    return !failure.Failed();
}

// The user is told of each backup once the step has put it in place.
void TMainForm::ShowBackupNotices(const strova::StepTransaction& files) {
    for (const strova::StepOutput& output : files.BackedUp()) ShowBackupNotice(output.path, output.backup);
}

// After the step's worker is freed (its files closed), the step's
// temporaries go; the user's files are as they were.
bool TMainForm::GiveUpStep(strova::StepTransaction& files) {
    GiveUp();
    files.Abandon();
    return false;
}

bool TMainForm::GiveUp() {
    ResetStepLamps();
    SetFileOpenEnabled(true);
    ProgBar->setValue(ProgBar->minimum());
    return false;
}

bool TMainForm::StepDone(int step, const std::vector<std::string>& lines) {
    MarkStepDone(step);
    strova::AppendLines(ProcessLog, lines);
    ProgBar->setValue(ProgBar->minimum());
    repaint();
    return true;
}

void TMainForm::ShowBackupNotice(const std::string& newPath, const std::string& backupPath) {
    QString text;
    if (JPMode)
        text = "作成されるﾌｧｲﾙと同名のﾌｧｲﾙが既に存在するため，\r"
               "既存ﾌｧｲﾙのコピーを作成しました．\r"
               "新規作成ﾌｧｲﾙ <" + Text(newPath) + ">\r"
               "ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ <" + Text(backupPath) + ">";
    else
        text = "An old file having the same name\ras the file to be created found.\r"
               "The old one was renamed as a backup.\r"
               "Created File : <" + Text(newPath) + ">\r"
               " Backup File : <" + Text(backupPath) + ">";
    App().MessageBox(text, strova::WarningCaption, platform::MB_OK | platform::MB_ICONINFORMATION);
}

QLabel* TMainForm::StepLabel(int step) const {
    QLabel* labels[] = {Text1, Text2, Text3};
    return labels[step - 1];
}

namespace {
void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}
}  // namespace

void TMainForm::MarkStepRunning(int step) {
    SetTextColour(StepLabel(step), strova::Teal);
    App().ProcessMessages();
}

void TMainForm::ResetStepLamps() {
    for (QToolButton* lamp : {Signal1, Signal2, Signal3}) lamp->setEnabled(false);
    for (int step = 1; step <= 3; ++step) SetTextColour(StepLabel(step), Qt::black);
    App().ProcessMessages();
}

void TMainForm::MarkStepDone(int step) {
    QToolButton* lamps[] = {Signal1, Signal2, Signal3};
    lamps[step - 1]->setEnabled(true);
    SetTextColour(StepLabel(step), QColor(128, 0, 0));
    App().ProcessMessages();
}

void TMainForm::ListBtnClick() {
    TListForm form(this, ProcessLog, JPMode);
    platform::ShowModal(&form);
    App().OnHint = [this] { ShowMainHint(); };
}

void TMainForm::FileExitMenuClick() { close(); }

// The page of the current language in the current folder, else the one
// installed beside the program.
void TMainForm::HelpUsageMenuClick() {
    std::string name = JPMode ? platform::HelpFileJapanese : platform::HelpFileEnglish;
    std::string page = strova::CurrentFolderPrefix + name;
    App().HelpFile = Text(page);
    std::error_code unseen;
    if (!std::filesystem::exists(page, unseen)) {
        std::string beside = strova::ProgramFolder() + name;
        if (std::filesystem::exists(beside, unseen)) App().HelpFile = Text(beside);
    }
    // The box, shown when the help can't be, names the page and the reason.
    const QString named = "<" + App().HelpFile + ">\r";
    const bool japanese = JPMode;
    App().ShowHelpContents(this, [named, japanese](platform::HelpFailure failure) {
        if (failure == platform::HelpFailure::Missing)
            return strova::ShowErrorBox(named + "The help file can't be opened.");
        strova::ShowErrorBox(named + (japanese ? "このﾍﾙﾌﾟﾍﾟｰｼﾞを開くﾌﾟﾛｸﾞﾗﾑが見つかりません．"
                                               : "No program was found to open this help page."));
    });
}

void TMainForm::HelpAboutMenuClick() {
    TVerInfo form(this, JPMode);
    platform::ShowModal(&form);
}
