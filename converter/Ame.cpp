#include "Ame.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "StepSupport.h"
#include "core/AmeCore.h"
#include "core/Paths.h"
#include "platform/Cp932.h"

namespace {

QString StationName(const strova::AmeRecord& station) {
    return strova::Text(platform::Cp932ToUtf8(std::string(station.Name, strnlen(station.Name, sizeof station.Name))));
}

// Stations come from gm_info.dat when the program was started with "-f".
bool UseInfoFile() {
    const QStringList arguments = QCoreApplication::arguments();
    return arguments.size() >= 2 && arguments[1] == QStringLiteral("-f");
}

QLabel* Counter(QWidget* parent) {
    auto* counter = new QLabel(parent);
    counter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    counter->setStyleSheet("color: " + strova::Teal.name() + ";");
    counter->setMinimumWidth(40);
    return counter;
}

}  // namespace

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(strova::Teal);
    painter.drawEllipse(rect().adjusted(0, 0, -1, -1));
}

TAmeForm::TAmeForm(QWidget* owner, const std::string& ameFileName, const std::string& bmpFileName,
                   const std::string& datFileName, const std::string& tmpFileName, std::uint32_t grayCount,
                   const strova::MapConfig& mapConfig, QProgressBar* progressBar, QPlainTextEdit* logMemo,
                   bool isJapanese, strova::StepTransaction& files)
    : QDialog(owner), IsJapanese(isJapanese), ProgressBar(progressBar), LogMemo(logMemo), AmeFileName(ameFileName),
      BmpFileName(bmpFileName), DatFileName(datFileName), TmpFileName(tmpFileName), Files(files),
      GrayCount(grayCount), Map(mapConfig) {
    BuildLayout();
    FormCreate();
}

TAmeForm::~TAmeForm() { FormDestroy(); }

void TAmeForm::BuildLayout() {
    resize(770, 540);
    setMinimumSize(770, 240);
    setFont(platform::FontInPoints("MS Sans Serif", 8));

    TopPanel = new QFrame(this);
    TopPanel->setFixedHeight(73);
    TopPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    LabelTop = new QLabel(
        "Check off each surrounding station if you don't accept it as a refer point of the interpolation.", TopPanel);
    ObsLbl = new QLabel("Stations in this area: ", TopPanel);
    ObsTxt = Counter(TopPanel);
    AddLbl = new QLabel("Max. additoinal stations: ", TopPanel);
    AddTxt = Counter(TopPanel);
    for (QWidget* w : {static_cast<QWidget*>(ObsLbl), static_cast<QWidget*>(ObsTxt)})
        platform::SetHint(w, "|Total number of stations being selected now");
    for (QWidget* w : {static_cast<QWidget*>(AddLbl), static_cast<QWidget*>(AddTxt)})
        platform::SetHint(w, "|Total number of stations selected from the surrounding area");
    Bevel = new QFrame(TopPanel);
    Bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BBtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "&CANCEL", TopPanel);
    platform::SetHint(BBtnCancel, "|Discard the selection and close this window ");
    BBtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "&OK", TopPanel);
    BBtnOk->setDefault(true);
    connect(BBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BBtnOk, &QPushButton::clicked, this, &TAmeForm::OkBtnClick);

    strova::LabelledRows(Bevel, {{ObsLbl, ObsTxt}, {AddLbl, AddTxt}});
    auto* row = new QHBoxLayout;
    row->addWidget(Bevel);
    row->addStretch();
    row->addWidget(BBtnOk);
    row->addWidget(BBtnCancel);
    auto* top = new QVBoxLayout(TopPanel);
    top->setContentsMargins(6, 2, 6, 2);
    top->setSpacing(0);
    top->addWidget(LabelTop);
    top->addLayout(row);

    ScrollBox = new QScrollArea(this);
    platform::UseReadableScrollBars(ScrollBox);
    Image = new TMapImage;
    Image->OnReadFailure = [this] { ShowPictureError(); };
    ScrollBox->setWidget(Image);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(TopPanel);
    page->addWidget(ScrollBox, 1);
    page->addWidget(StatusBar);

    PopupMenu = new QMenu(this);
    PopupOk = PopupMenu->addAction("&OK (Close this window)");
    connect(PopupOk, &QAction::triggered, this, &TAmeForm::OkBtnClick);
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(TopPanel),
                       static_cast<QWidget*>(StatusBar), static_cast<QWidget*>(ScrollBox)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& at) { ShowPopupMenu(w, at); });
    }
}

void TAmeForm::ShowPopupMenu(QWidget* source, const QPoint& at) { PopupMenu->popup(source->mapToGlobal(at)); }

void TAmeForm::FormCreate() {
    formerHint_ = strova::App().OnHint;
    strova::App().OnHint = [this] { DisplayHint(); };
    strova::BarProgress(ProgressBar).SetToMinimum();
    setWindowTitle(strova::CaptionPrefix + "Window for Selecting AMeDAS Station");
    if (IsJapanese) ApplyJapanese();

    if (!LoadStations()) return;
    StepProgress(5);
    TotalCount = static_cast<int>(Stations.size());
    if (TotalCount == 0) {
        // Nothing to show or write: stop before any output file is touched.
        strova::ShowErrorBox(strova::Text(strova::NoStationInBoundsText(IsJapanese)));
        return;
    }
    if (!OpenStreams()) return;
    PlaceStations();
}

void TAmeForm::ApplyJapanese() {
    const QFont font = strova::JapaneseFont();
    LabelTop->setFont(font);
    StatusBar->setFont(font);
    LabelTop->setText("周辺のｱﾒﾀﾞｽ地点のうち，内挿に使わない地点はﾁｪｯｸを外してください．");
    platform::SetHint(AddLbl, "周辺観測点数|周辺から選択した観測点数");
    platform::SetHint(AddTxt, "周辺観測点数|周辺から選択した観測点数");
    platform::SetHint(ObsLbl, "観測点総数|選択中の観測点総数");
    platform::SetHint(ObsTxt, "観測点総数|選択中の観測点総数");
    platform::SetHint(BBtnCancel, "|選択を破棄して，このｳｨﾝﾄﾞｳを閉じます．");
}

bool TAmeForm::LoadStations() {
    if (!UseInfoFile()) {
        Stations = strova::LoadLibraryStations(strova::Stations, Map);
        return true;
    }
    auto stations = strova::LoadInfoFileStations("gm_info.dat", Map);
    if (!stations) {
        ShowInfoFileError();
        return false;
    }
    Stations = std::move(*stations);
    return true;
}

// *.ame and *_a.dat are written as bytes: the station list carries its own CR LF.
bool TAmeForm::OpenStreams() {
    strova::StepFailure failure = Files.Open(0);
    if (!failure.Failed()) failure = Files.Open(1);
    if (!failure.Failed()) {
        TmpStream = strova::OpenRegularStream(TmpFileName, failure.error);
        if (TmpStream) return true;
        failure.path = TmpFileName;
    }
    Ok = 0;
    ShowOutputOpenError(failure.path, failure.error);
    strova::BarProgress(ProgressBar).SetToMinimum();
    return false;
}

bool TAmeForm::PlaceStations() {
    Placed = false;
    strova::BarProgress progress(ProgressBar);
    auto placement = strova::PlaceStations(TmpStream.get(), GrayCount, Stations);
    if (!placement) {
        strova::ShowErrorBox(strova::Text(strova::PixelReadErrorText(TmpFileName, IsJapanese)));
        progress.SetToMinimum();
        return false;
    }
    TmpStream.reset();
    Selection = std::move(*placement);
    InternalCount = Selection.internalCount;
    AdditionalCount = Selection.additionalCount();
    StepProgress(5);
    progress.ProcessMessages();

    const int step = strova::StationProgressIncrement(progress.Maximum(), progress.Position(), TotalCount);
    for (int s = 0; s < TotalCount; ++s) progress.StepBy(step);
    progress.ProcessMessages();

    ShownTotal = TotalCount;
    ShownAdditional = AdditionalCount;
    ShowCounters();
    Stations.clear();
    Image->setFixedSize(std::max(Map.MapWidth, 0), std::max(Map.MapHeight, 0));
    if (!Image->Open(BmpFileName)) ShowPictureError();
    progress.ProcessMessages();
    AddCircles();
    progress.ProcessMessages();
    AddCheckBoxes();
    progress.ProcessMessages();
    Placed = true;
    return true;
}

void TAmeForm::AddCircles() {
    for (int s = 0; s < InternalCount; ++s) {
        const strova::AmeRecord& station = Selection.selected[s];
        const strova::MarkPosition at = strova::CirclePosition(station, Map.MapHeight);
        auto* circle = new TShape(Image);
        circle->setGeometry(at.left, at.top, 10, 10);
        platform::SetHint(circle, StationName(station) + "|");
        circle->show();
        Circles.append(circle);
    }
}

void TAmeForm::AddCheckBoxes() {
    for (int s = InternalCount; s < TotalCount; ++s) {
        const strova::AmeRecord& station = Selection.selected[s];
        const strova::MarkPosition at = strova::CheckBoxPosition(station, Map.MapWidth, Map.MapHeight);
        auto* box = new QCheckBox(Image);
        box->setChecked(true);
        box->setAutoFillBackground(true);
        box->setStyleSheet("background-color: #ffffff;");
        box->setGeometry(at.left, at.top, 16, 16);
        platform::SetHint(box, StationName(station) + "|");
        connect(box, &QCheckBox::clicked, this, [this, box] { CheckBoxClick(box); });
        box->show();
        Boxes.append(box);
    }
}

void TAmeForm::ShowCounters() {
    ObsTxt->setText(" " + QString::number(ShownTotal));
    AddTxt->setText(" " + QString::number(ShownAdditional));
}

void TAmeForm::DisplayHint() { StatusBar->showMessage(strova::App().Hint); }

void TAmeForm::CheckBoxClick(QCheckBox* sender) {
    const int change = sender->isChecked() ? 1 : -1;
    ShownTotal += change;
    ShownAdditional += change;
    ShowCounters();
}

void TAmeForm::OkBtnClick() {
    if (!Files.Stream(0)) return;  // written already (a second click before the window closed)
    std::vector<bool> ticked;
    for (QCheckBox* box : Boxes) ticked.push_back(box->isChecked());
    strova::KeepTicked(Selection, ticked);
    AdditionalCount = Selection.additionalCount();
    TotalCount = InternalCount + AdditionalCount;
    WriteStationFiles();
    LogStationList();
    done(Ok == 1 ? platform::mrOk : platform::mrAbort);
}

void TAmeForm::WriteStationFiles() {
    Ok = 0;
    const std::vector<std::string> lines = strova::StationListLines(strova::BaseNameOf(BmpFileName), Selection.selected);
    if (const strova::StepFailure failure = strova::WriteStationFiles(Files, Selection.selected, lines); failure.Failed())
        return strova::ShowErrorBox(strova::Text(Files.FailureText(failure, IsJapanese)));
    if (lines.size() > 2) platform::SetHint(this, strova::Text("|" + lines.back()));
    StepProgress(5);
    Ok = 1;
    strova::App().ProcessMessages();
}

void TAmeForm::LogStationList() {
    strova::AppendLines(LogMemo, strova::StationLogLines(Selection, AmeFileName, DatFileName));
    strova::BarProgress progress(ProgressBar);
    progress.SetToMaximum();
    progress.ProcessMessages();
}

void TAmeForm::FormDestroy() {
    qDeleteAll(Circles);
    qDeleteAll(Boxes);
    Circles.clear();
    Boxes.clear();
    TmpStream.reset();
    strova::App().OnHint = formerHint_;
}

void TAmeForm::ShowInfoFileError() {
    Ok = 0;
    strova::ShowErrorBox(strova::Text(strova::InfoFileErrorText(IsJapanese)));
}

void TAmeForm::ShowOutputOpenError(const std::string& path, int error) {
    strova::ShowErrorBox(strova::Text(strova::OutputOpenErrorText(path, IsJapanese, error)));
}

// The window still works without its picture: the marks show where the
// stations lie and OK writes the files.
void TAmeForm::ShowPictureError() {
    const strova::MapPicture& picture = Image->Picture();
    strova::ShowErrorBox(
        strova::Text(strova::PictureErrorText(BmpFileName, picture.Error(), picture.Errno(), IsJapanese)));
}

void TAmeForm::StepProgress(int delta) { strova::BarProgress(ProgressBar).StepBy(delta); }
