// The second step's window: the gray map with a circle on every station that
// lies on a gray pixel (always used) and a ticked box on every other station
// inside the bounds (the user may untick it). OK writes the station-location
// file (*.ame) and the station list (*_a.dat) through the step's transaction
// and logs the stations.
#pragma once

#include <QDialog>
#include <QList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "MapImage.h"
#include "core/FileIo.h"
#include "core/Stations.h"
#include "core/StepTransaction.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStatusBar;

// The filled circle on an internal station.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TAmeForm : public QDialog {
    Q_OBJECT
public:
    // `files`: the step's transaction, whose outputs 0 and 1 are the *.ame
    // and the *_a.dat file.
    TAmeForm(QWidget* owner, const std::string& ameFileName, const std::string& bmpFileName,
             const std::string& datFileName, const std::string& tmpFileName, std::uint32_t grayCount,
             const strova::MapConfig& mapConfig, QProgressBar* progressBar, QPlainTextEdit* logMemo, bool isJapanese,
             strova::StepTransaction& files);
    ~TAmeForm() override;

    QMenu* PopupMenu;
    QAction* PopupOk;
    QFrame* TopPanel;
    QLabel* LabelTop;
    QLabel* ObsLbl;
    QLabel* ObsTxt;
    QLabel* AddLbl;
    QLabel* AddTxt;
    QFrame* Bevel;
    QPushButton* BBtnCancel;
    QPushButton* BBtnOk;
    QStatusBar* StatusBar;
    QScrollArea* ScrollBox;
    TMapImage* Image;

    bool IsJapanese;
    QProgressBar* ProgressBar;
    QPlainTextEdit* LogMemo;
    QList<TShape*> Circles;
    QList<QCheckBox*> Boxes;
    const std::string& AmeFileName;
    const std::string& BmpFileName;
    const std::string& DatFileName;
    const std::string& TmpFileName;
    // *.ame and *_a.dat go to temporaries of the transaction that replace the
    // earlier files only once both are written whole.
    strova::StepTransaction& Files;
    strova::FilePtr TmpStream;
    // Internal stations first, then the additional ones.
    strova::Placement Selection;
    std::vector<strova::AmeRecord> Stations;
    int Ok = 1;
    int InternalCount = 0;
    int AdditionalCount = 0;
    int TotalCount = 0;
    int ShownTotal = 0;
    int ShownAdditional = 0;
    std::uint32_t GrayCount;
    strova::MapConfig Map;
    bool Placed = false;

    void FormCreate();
    void DisplayHint();
    void CheckBoxClick(QCheckBox* sender);
    void OkBtnClick();
    void FormDestroy();
    bool PlaceStations();
    void WriteStationFiles();
    void LogStationList();

private:
    void BuildLayout();
    void ApplyJapanese();
    bool LoadStations();
    bool OpenStreams();
    void ShowInfoFileError();
    void ShowOutputOpenError(const std::string& path, int error);
    void ShowPictureError();
    void ShowCounters();
    void AddCircles();
    void AddCheckBoxes();
    void StepProgress(int delta);
    void ShowPopupMenu(QWidget* source, const QPoint& at);

    std::function<void()> formerHint_;
};
