// The station-selection map dialog and its five exports.
#include "Prefect.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "Ameinfo.h"
#include "Library.h"
#include "platform/Cp932.h"
#include "platform/ModuleNames.h"
#include "platform/Resources.h"
#include "platform/forms/Application.h"
#include "vorbel/MapDialog.h"
#include "vorbel/Pin.h"

namespace vorbel {
std::string ResourceLibraryName = platform::ResourceLibraryFileName;
}  // namespace vorbel

extern "C" {
TFmPrefect* _FmPrefect = nullptr;
TAMeDAS* _AMeDAS = nullptr;
}

using vorbel::MapInfo;
using vorbel::Pixel;

namespace {

constexpr int LocationTag = 999;
constexpr int LabelButtonHeight = 25;
const char* const Caption = "Select one of the AMeDAS Stations";

// The labels' and bit buttons' own font, in both languages.
QFont OwnFont() { return platform::FontInPixels("MS Sans Serif", 15); }

QLabel* MakeLabel(const QString& text, QWidget* parent, QRect at, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setFont(OwnFont());
    return label;
}

QComboBox* MakeCombo(QWidget* parent, int left, int width, int tag) {
    auto* combo = new QComboBox(parent);
    combo->setGeometry(left, 10, width, combo->sizeHint().height());
    platform::SetTag(combo, tag);
    return combo;
}

QPushButton* MakeBitButton(const QString& text, QStyle::StandardPixmap glyph, QWidget* parent, int left) {
    auto* button = new QPushButton(parent->style()->standardIcon(glyph), text, parent);
    button->setGeometry(left, 43, 95, 31);
    button->setFont(OwnFont());
    return button;
}

// The window icon: a map pin, drawn by the pin control itself.
QIcon PinIcon() {
    TPin pin(nullptr);
    pin.PinStyle()->SetDir(dt10Key3);
    QPixmap icon(pin.size());
    icon.fill(Qt::transparent);
    QPainter canvas(&icon);
    pin.Paint(canvas);
    return QIcon(icon);
}

// The long part of a hint: the text after the first "|", or all of it.
QString LongHint(const QString& hint) {
    int bar = hint.indexOf('|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

}  // namespace

TFmPrefect::TFmPrefect(QWidget* owner, std::int16_t district, bool english)
    : QDialog(owner),
      english_(english),
      // A code that names no district would find no map: start at the default.
      region_(RegionOfDistrict(IsDistrictCode(district) ? district : DefaultDistrict)),
      district_(IsDistrictCode(district) ? district : DefaultDistrict) {
    BuildLayout();
    if (english_) {
        setFont(platform::FontInPoints("MS Sans Serif", 8));
    }
    FormCreate();
}

TFmPrefect::~TFmPrefect() { FormDestroy(); }

void TFmPrefect::BuildLayout() {
    setObjectName("FmPrefect");
    setWindowTitle(Caption);
    setWindowIcon(PinIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(platform::FontInPixels("ＭＳ Ｐゴシック", 15));
    platform::SetTag(this, 0);

    PanelTop = new QWidget(this);
    PanelTop->setFixedHeight(81);
    LblDistrict = MakeLabel("&District", PanelTop, {10, 10, 61, 25}, Qt::AlignRight);
    CmbDistrict = MakeCombo(PanelTop, 80, 161, 0);
    CmbDistrict->setMaxVisibleItems(7);
    LblPrefecture = MakeLabel("&Prefecture", PanelTop, {240, 10, 81, 25});
    CmbPrefecture = MakeCombo(PanelTop, 330, 121, 0);
    LblLocation = MakeLabel("&Location", PanelTop, {450, 10, 71, 25});
    CmbLocation = MakeCombo(PanelTop, 530, 143, LocationTag);
    LblDistrict->setBuddy(CmbDistrict);
    LblPrefecture->setBuddy(CmbPrefecture);
    LblLocation->setBuddy(CmbLocation);
    Bevel = new QFrame(PanelTop);
    Bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel->setGeometry(80, 43, 371, 31);
    StxtTitle = MakeLabel("Selected :", PanelTop, {0, 50, 71, 26}, Qt::AlignRight);
    StxtResult = new QLabel(PanelTop);
    StxtResult->setGeometry(90, 50, 351, 20);
    BtnOk = MakeBitButton("&OK", QStyle::SP_DialogOkButton, PanelTop, 466);
    BtnOk->setEnabled(false);
    BtnCan = MakeBitButton("&CANCEL", QStyle::SP_DialogCancelButton, PanelTop, 576);
    // Enter presses CANCEL, or the button that has the focus.
    BtnCan->setDefault(true);

    ScrollBox = new QScrollArea(this);
    platform::UseReadableScrollBars(ScrollBox);
    ScrollContent = new QWidget;
    ScrollBox->setWidget(ScrollContent);
    Panel = new QWidget(ScrollContent);
    ImgMap = new QLabel(Panel);

    Memo = new QPlainTextEdit(this);
    Memo->setFixedHeight(82);
    Memo->setReadOnly(true);
    Memo->setFocusPolicy(Qt::NoFocus);
    QPalette palette = Memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    Memo->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelTop);
    layout->addWidget(ScrollBox, 1);
    layout->addWidget(Memo);
    setMinimumSize(700, 583);
    resize(700, 583);
    layout->activate();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    SetJapaneseHints();
    connect(CmbDistrict, &QComboBox::activated, this, [this] { CmbDistrictChange(); });
    connect(CmbPrefecture, &QComboBox::activated, this, [this] { CmbPrefectureChange(); });
    connect(CmbLocation, &QComboBox::activated, this, [this] { CmbLocationChange(CmbLocation); });
    connect(BtnOk, &QPushButton::clicked, this, [this] {
        BtnOkClick();
        done(platform::mrOk);
    });
    connect(BtnCan, &QPushButton::clicked, this, &TFmPrefect::reject);
}

void TFmPrefect::SetJapaneseHints() {
    const QString list = "右のｺﾝﾎﾞﾎﾞｯｸｽのﾘｽﾄから選択してください.";
    platform::SetHint(LblDistrict, "地域の名前|" + list);
    platform::SetHint(LblPrefecture, "都府県(支庁)の名前|" + list + "選択後，下にﾏｯﾌﾟが現れます.");
    platform::SetHint(LblLocation, "AMeDAS観測地点名|" + list + "下のﾏｯﾌﾟでﾏｰｸ/ﾎﾞﾀﾝをｸﾘｯｸする方法もあります.");
    platform::SetHint(StxtTitle, "選択地点|");
    platform::SetHint(StxtResult, "選択されたAMeDAS観測点|この観測点でよいなら，OKﾎﾞﾀﾝをｸﾘｯｸしてください.");
    platform::SetHint(BtnOk, "|左の地点でよければ，ここをｸﾘｯｸ.\r\nｸﾘｯｸすると，このﾀﾞｲｱﾛｸﾞが閉じます.");
    platform::SetHint(BtnCan, "ｷｬﾝｾﾙ|選択結果を破棄して，このﾀﾞｲｱﾛｸﾞを閉じます.");
}

void TFmPrefect::SetEnglishHints() {
    const QString list = "Select a list item in the combo-box on the right side.";
    platform::SetHint(LblDistrict, "Name of District|" + list);
    platform::SetHint(LblPrefecture, "Name of Pref. or Subpref.|" + list +
                                         "\r\nAfter the selection, the map for the selected prefecture/subprefecture "
                                         "of Hokkaido Prefecture will be drawn below.");
    platform::SetHint(LblLocation, "Name of the AMeDAS Station|" + list +
                                       "\r\nInstead of using the combo-box, clicking on the mark/button on the map "
                                       "is available.");
    platform::SetHint(StxtTitle, "Selected AMeDAS Station|");
    platform::SetHint(StxtResult, "Selected AMeDAS Station|If the station is correct, click OK Button.");
    platform::SetHint(BtnOk, "|If the station on the left is correct, click here.\r\nThis dialog will close after clicking.");
    platform::SetHint(BtnCan, "|Ignore the edit result and close this dialog.");
}

void TFmPrefect::FormCreate() {
    amedas_ = new TAMeDAS(this);
    _AMeDAS = amedas_;
    resources_ = *vorbel::LibraryFolder() ? platform::LoadModule(LibraryPath()) : nullptr;
    if (english_) SetEnglishHints();
    FillDistricts();
    prefItems_ = std::make_unique<TPrefItems>(region_, english_);
    FillPrefectures(district_);
    LoadMap(this);
    platform::Application& app = vorbel::App();
    savedHintHandler_ = app.OnHint;
    app.OnHint = [this] { ShowHintInMemo(this); };
}

void TFmPrefect::FormDestroy() {
    ClearPins();
    vorbel::App().OnHint = savedHintHandler_;
    platform::UnloadModule(resources_);
    resources_ = nullptr;
}

std::string TFmPrefect::LibraryPath() const { return vorbel::LibraryFolder() + vorbel::ResourceLibraryName; }

QString TFmPrefect::Text(const char* cp932) const {
    return QString::fromStdString(platform::Cp932ToUtf8(cp932 ? cp932 : ""));
}

void TFmPrefect::FillDistricts() {
    CmbDistrict->clear();
    for (int item = 0; item < RegionCount; ++item) CmbDistrict->addItem(QString::fromUtf8(RegionName(item, english_)));
    CmbDistrict->setCurrentIndex(region_ / 1000 - 1);
}

void TFmPrefect::FillPrefectures(std::int16_t district) {
    CmbPrefecture->clear();
    for (int k = 0; k < prefItems_->Count(); ++k) CmbPrefecture->addItem(QString::fromStdString((*prefItems_)[k]));
    CmbPrefecture->setCurrentIndex(district == 0 ? 0 : district - region_ - 1);
}

// The memo follows the new map: the pointer may rest on the picture, a pin
// or a label button of it without having moved.
void TFmPrefect::LoadMap(QObject* sender) {
    mapReady_ = BuildMap();
    platform::RenewHint(this);
    if (!mapReady_) ShowNoMap();
    CmbLocation->clear();
    for (int id = first_; mapReady_ && id <= last_; ++id)
        CmbLocation->addItem(Text(english_ ? amedas_->GetPron(id - 1) : amedas_->GetName(id - 1)));
    if (CmbLocation->count() == 0) return;
    CmbLocation->setCurrentIndex(0);
    CmbLocationChange(sender);
}

bool TFmPrefect::BuildMap() {
    ClearPins();
    if (!resources_) {
        Fail("The map library <%1> can't be loaded.", "地図ライブラリ <%1> を読み込めません。");
        return false;
    }
    if (!ReadMapInfo(district_)) return false;
    first_ = map_.First;
    last_ = map_.Last;
    stationCount_ = last_ - first_ + 1;
    ListStationsInMemo();

    // A picture larger than the box scrolls over its size + 4; a smaller one
    // is centred, and the box scrolls only as far as it reaches past the part
    // that the other scroll bar leaves visible.
    const QSize box = ScrollBox->maximumViewportSize();
    const int left = box.width() > map_.Width ? box.width() / 2 - map_.Width / 2 : 0;
    const int top = box.height() > map_.Height ? box.height() / 2 - map_.Height / 2 : 0;
    ScrollContent->resize(map_.Width > box.width() ? map_.Width + 4 : left + map_.Width,
                          map_.Height > box.height() ? map_.Height + 4 : top + map_.Height);
    ScrollBox->horizontalScrollBar()->setValue(0);
    ScrollBox->verticalScrollBar()->setValue(0);
    Panel->setGeometry(left, top, map_.Width, map_.Height);

    QPixmap picture;
    auto png = platform::LoadResourcePicture(resources_, "IDB_" + std::to_string(district_));
    if (png.empty() || !picture.loadFromData(png.data(), static_cast<uint>(png.size()), "PNG")) {
        Fail("The map library <%1> has no picture IDB_%2.", "地図ライブラリ <%1> に地図 IDB_%2 がありません。", district_);
        return false;
    }
    ImgMap->setPixmap(picture);
    ImgMap->setGeometry(0, 0, map_.Width, map_.Height);

    pins_.assign(stationCount_, nullptr);
    buttons_.assign(stationCount_, nullptr);
    if (!PlaceRanges()) return false;
    // Pins are drawn on the map itself: every label button lies above every
    // pin, also above the pins of an inset placed after it.
    for (QPushButton* button : buttons_)
        if (button) button->raise();
    stationCount_ = last_ - first_ + 1;
    return true;
}

bool TFmPrefect::ReadMapInfo(int id) {
    char buffer[vorbel::MapInfoBufferSize];
    platform::LoadResourceString(resources_, id, buffer, sizeof buffer);
    MapInfo info = map_;
    if (vorbel::ParseMapInfo(buffer, info) == 8 && vorbel::IsUsable(info)) {
        map_ = info;
        return true;
    }
    FailMapInfo(id);
    return false;
}

// Most districts place all their stations on their own bounds. Three show
// their far islands in insets, one string per island group; two show their
// first two stations again, enlarged, in an inset.
bool TFmPrefect::PlaceRanges() {
    const int F = map_.First;
    switch (district_) {
        case 3005: AddPins(F, 364, 0); return PlaceFurtherRanges({3051, 3052, 3053}, 365);
        case 7007: AddPins(F, 816, 0); return PlaceFurtherRanges({7071, 7072}, 817);
        case 7008: AddPins(F, 832, 0); return PlaceFurtherRanges({7081, 7082, 7083, 7084}, 833);
        case 6004: AddPins(F, map_.Last, 0); return ReplaceFirstTwo(6041);
        case 7003: AddPins(F, map_.Last, 0); return ReplaceFirstTwo(7031);
        default: AddPins(F, map_.Last, 0); return true;
    }
}

// The strings must tile the district's stations from `firstAfterOwn` on.
bool TFmPrefect::PlaceFurtherRanges(std::initializer_list<int> strings, int firstAfterOwn) {
    const int F = map_.First, districtLast = map_.Last;
    int next = firstAfterOwn;
    for (int id : strings) {
        if (!ReadMapInfo(id)) return false;
        if (map_.First != next || map_.Last > districtLast) {
            FailMapInfo(id);
            return false;
        }
        AddPins(map_.First, map_.Last, map_.First - F);
        next = map_.Last + 1;
    }
    if (next != districtLast + 1) {
        FailMapInfo(*(strings.end() - 1));
        return false;
    }
    first_ = F;
    last_ = map_.Last;
    return true;
}

// The string must hold exactly the district's first two stations.
bool TFmPrefect::ReplaceFirstTwo(int string) {
    const int F = map_.First, districtLast = map_.Last;
    for (int slot = 0; slot < std::min(2, SlotCount()); ++slot) {
        delete pins_[slot];
        delete buttons_[slot];
        pins_[slot] = nullptr;
        buttons_[slot] = nullptr;
    }
    if (!ReadMapInfo(string)) return false;
    if (map_.First != F || map_.Last != F + 1 || districtLast < F + 1) {
        FailMapInfo(string);
        return false;
    }
    AddPins(map_.First, map_.Last, 0);
    first_ = map_.First;
    last_ = districtLast;
    return true;
}

// A station that falls off the picture, or outside the slots, gets no pin;
// the rest of the range is still placed.
void TFmPrefect::AddPins(int first, int last, int offset) {
    for (int id = first; id <= last; ++id) {
        int slot = id - first + offset;
        Pixel at = vorbel::PixelOf(map_, amedas_->GetLongitude(id - 1), amedas_->GetLatitude(id - 1));
        if (slot < 0 || slot >= SlotCount() || pins_[slot] || !vorbel::IsOnPicture(map_, at)) continue;
        AddPin(id, at, slot);
    }
}

void TFmPrefect::AddPin(int id, Pixel at, int slot) {
    auto* pin = new TPin(Panel, at.X, at.Y);
    pin->PinStyle()->SetDir(vorbel::PinDirectionOf(id));
    if (vorbel::StickLengthOf(id) != TPinAttrib::MinLength) pin->PinStyle()->SetLength(vorbel::StickLengthOf(id));
    platform::SetTag(pin, id);
    auto* button = new QPushButton(Panel);
    platform::SetTag(button, id);

    QFontMetrics metrics(ImgMap->font());
    QString prefix, caption;
    int textWidth;
    if (english_) {
        prefix = QString::number(id);
        caption = Text(amedas_->GetPron(id - 1));
        textWidth = metrics.horizontalAdvance(caption + "pp");
    } else {
        prefix = Text(amedas_->GetPron(id - 1));
        caption = Text(amedas_->GetName(id - 1));
        textWidth = metrics.horizontalAdvance(caption + "\u3000");
    }
    button->setText(caption);
    const QString mapHint = prefix + "|" + LongHint(ImgMap->statusTip());
    platform::SetHint(pin, mapHint);
    platform::SetHint(button, mapHint);

    int width = std::max(textWidth, TPinAttrib::MinBtnWidth);
    pin->PinStyle()->SetBtnWh(width);
    button->setGeometry(at.X + pin->ButtonLeft(), at.Y + pin->ButtonTop(), width, LabelButtonHeight);
    pin->OnClick = [this](QObject* sender) { CmbLocationChange(sender); };
    connect(button, &QPushButton::clicked, this, [this, button] { CmbLocationChange(button); });
    pin->show();
    button->show();
    pins_[slot] = pin;
    buttons_[slot] = button;
}

void TFmPrefect::ClearPins() {
    for (TPin* pin : pins_) delete pin;
    for (QPushButton* button : buttons_) delete button;
    pins_.clear();
    buttons_.clear();
}

TPin* TFmPrefect::PinOfSlot(int slot) const { return slot >= 0 && slot < SlotCount() ? pins_[slot] : nullptr; }

QPushButton* TFmPrefect::ButtonOfSlot(int slot) const {
    return slot >= 0 && slot < SlotCount() ? buttons_[slot] : nullptr;
}

void TFmPrefect::ListStationsInMemo() {
    QStringList names;
    for (int id = first_; id <= last_; ++id)
        names << Text(english_ ? amedas_->GetPron(id - 1) : amedas_->GetName(id - 1));
    QString count = QString::number(stationCount_);
    QString list = english_ ? "There are " + count + " stations as follows:\r\n" + names.join(", ") + "."
                            : "以下の " + count + " 地点があります:\r\n" + names.join("，") + "．";
    platform::SetHint(ImgMap, "|" + list);
}

void TFmPrefect::ShowHintInMemo(QObject*) {
    QString text = LongHint(vorbel::App().Hint);
    text.replace("\r\n", "\n");
    Memo->setPlainText(text);
}

void TFmPrefect::CmbLocationChange(QObject* sender) {
    int tag = sender ? platform::Tag(sender) : 0;
    if (tag == 0) return;
    int id = tag;
    if (tag == LocationTag) {
        int item = CmbLocation->currentIndex();
        if (item < 0) return;
        id = PinOfSlot(item) ? platform::Tag(PinOfSlot(item)) : first_ + item;
    } else {
        for (int slot = 0; slot < CmbLocation->count(); ++slot) {
            if (PinOfSlot(slot) && platform::Tag(PinOfSlot(slot)) == id) {
                CmbLocation->setCurrentIndex(slot);
                break;
            }
        }
    }
    QString number = QString::number(id);
    StxtResult->setText(english_ ? "No." + number + " (" + Text(amedas_->GetPron(id - 1)) + ")"
                                 : "No." + number + " (" + Text(amedas_->GetName(id - 1)) + ", " +
                                       Text(amedas_->GetYomi(id - 1)) + ")");
    BtnOk->setEnabled(true);
    selected_ = id;
}

void TFmPrefect::BtnOkClick() { result_ = selected_; }

void TFmPrefect::CmbDistrictChange() {
    region_ = static_cast<std::int16_t>(CmbDistrict->currentIndex() * 1000 + 1000);
    prefItems_ = std::make_unique<TPrefItems>(region_, english_);
    district_ = static_cast<std::int16_t>(region_ + 1);
    FillPrefectures(district_);
    LoadMap(CmbDistrict);
    BtnOk->setEnabled(false);
    StxtResult->clear();
}

void TFmPrefect::CmbPrefectureChange() {
    district_ = static_cast<std::int16_t>(CmbPrefecture->currentIndex() + region_ + 1);
    FillPrefectures(district_);
    LoadMap(CmbPrefecture);
    BtnOk->setEnabled(false);
    StxtResult->clear();
}

void TFmPrefect::FormResize() {
    if (!mapReady_) return;
    mapReady_ = BuildMap();
    if (!mapReady_) {
        ShowNoMap();
        CmbLocation->clear();
    }
}

// After a map that could not be built: no picture, no pins, no stations.
void TFmPrefect::ShowNoMap() {
    ClearPins();
    ImgMap->clear();
    platform::SetHint(ImgMap, "");
    Panel->resize(0, 0);
    first_ = last_ = stationCount_ = 0;
    BtnOk->setEnabled(false);
    StxtResult->clear();
}

// The map is built before the window first shows; only later changes of
// its size rebuild it.
void TFmPrefect::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (isVisible()) FormResize();
}

void TFmPrefect::reject() { done(platform::mrCancel); }

void TFmPrefect::FailMapInfo(int id) {
    Fail("The map library <%1> has no valid map information %2.", "地図ライブラリ <%1> の地図情報 %2 が正しくありません。", id);
}

void TFmPrefect::Fail(const QString& english, const QString& japanese, std::optional<int> id) {
    // Both at once: a "%1" in the folder's name stays as it is.
    const QString& message = english_ ? english : japanese;
    const QString path = QString::fromStdString(LibraryPath());
    QString text = id ? message.arg(path, QString::number(*id)) : message.arg(path);
    vorbel::App().MessageBox(text, Caption, platform::MB_OK | platform::MB_ICONSTOP);
}

// --- exports ------------------------------------------------------------------

namespace {

int RunMapDialog(std::int16_t district, bool english, bool keepInSlot, int cancelled) {
    vorbel::App();
    TFmPrefect form(nullptr, district, english);
    if (keepInSlot) _FmPrefect = &form;
    int result = cancelled;
    if (form.MapReady() && platform::ShowModal(&form) == platform::mrOk) result = form.Result();
    if (keepInSlot) _FmPrefect = nullptr;
    return result;
}

constexpr int Cancelled = 999;

}  // namespace

extern "C" {

int ExecMapDialog(std::int16_t district, bool english) { return RunMapDialog(district, english, false, 0); }
int SelectDlg(bool english) { return RunMapDialog(DefaultDistrict, english, true, Cancelled); }
int SelectDlg2(std::int16_t district, bool english) { return RunMapDialog(district, english, true, Cancelled); }
int MapDlg() { return RunMapDialog(DefaultDistrict, false, true, Cancelled); }
int MapDlg2() { return RunMapDialog(DefaultDistrict, true, true, Cancelled); }

}  // extern "C"
