// The converter's main window: it picks the bitmap, derives the output files,
// runs the three steps and shows their progress.
#pragma once

#include <QMainWindow>

#include <cstdint>
#include <string>
#include <vector>

#include "core/FileIo.h"
#include "vorbel/Splash.h"

class QAction;
class QFileDialog;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace strova {
class StepTransaction;
}

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* owner);
    ~TMainForm() override;

    // Components.
    QFrame* Bevel;
    QFrame* BtnPanel;
    QToolButton* FileOpenBtn;
    QToolButton* RunBtn;
    QToolButton* HelpBtn;
    QToolButton* AboutBtn;
    QPushButton* ListBtn;
    QFrame* Panel;
    QToolButton* Signal1;
    QToolButton* Signal2;
    QToolButton* Signal3;
    QLabel* Text1;
    QLabel* Text2;
    QLabel* Text3;
    QProgressBar* ProgBar;
    QStatusBar* StatBar;
    QMenu* FileMenu;
    QAction* FileOpenMenu;
    QAction* FileExitMenu;
    QAction* RunMenu;
    QMenu* OptionMenu;
    QAction* OptionUSMenu;
    QAction* OptionJPMenu;
    QMenu* HelpMenu;
    QAction* HelpUsageMenu;
    QAction* HelpAboutMenu;
    QFileDialog* OpenDialog;

    // Event handlers.
    void FormCreate();
    void FormDestroy();
    void FormClose();
    void FileOpenMenuClick();
    // What File > Open does with the bitmap the user chose.
    void OpenBitmap(const std::string& path);
    void RunMenuClick();
    void ListBtnClick();
    void FileExitMenuClick();
    void HelpUsageMenuClick();
    void HelpAboutMenuClick();
    void OptionMenuClick(QAction* sender);

    // Settings and display language.
    void ReadSettings();
    void WriteUseJP(bool value);
    void ApplyLanguage();
    void ShowMainHint();

    // The steps of a run, each true on success.
    bool RunStep1();
    bool RunStep2();
    bool RunStep3();

    void ShowBackupNotice(const std::string& newPath, const std::string& backupPath);
    void MarkStepRunning(int step);
    void ResetStepLamps();
    void MarkStepDone(int step);

    // Fields.
    bool JPMode = false;                 // true: Japanese texts
    QPlainTextEdit* ProcessLog = nullptr;  // hidden; its lines are the process log
    std::string MsgText;
    std::string AmePath, BmpPath, CfgPath;  // folder prefixes from the settings
    std::string AmeFile, BmpFile, CfgFile, DatFile;
    std::string TmpFile;
    std::string AmeBak, CfgBak, DatBak;
    std::string BaseName;
    int TotalCount = 0;
    int BmpWidth = 0, BmpHeight = 0;
    std::uint32_t GrayCount = 0;
    strova::FileIdentity BmpIdentity;    // the bitmap as step 1 read it
    strova::FileIdentity PixelIdentity;  // the pixel file as step 1 wrote it
    double LeftLon = 0, BottomLat = 0, RightLon = 0, TopLat = 0;
    decltype(&::Splash) SplashFn = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool BeginStep(strova::StepTransaction& files);
    void ShowBackupNotices(const strova::StepTransaction& files);
    bool GiveUpStep(strova::StepTransaction& files);
    bool GiveUp();
    bool StepDone(int step, const std::vector<std::string>& lines);

    bool Running = false;  // a run is in progress (its steps let queued clicks through)

    void BuildMenus();
    void BuildButtonPanel();
    void BuildStepPanel();
    void SetFileOpenEnabled(bool enabled);
    void SetRunEnabled(bool enabled);
    void ShowReservedNameWarning();
    QLabel* StepLabel(int step) const;
};
