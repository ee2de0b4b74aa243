// The station-selection map dialog: region and district lists, the district
// picture with one pin and one label button per station, the station list,
// and a memo that shows the long hint of whatever is under the mouse.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DistrictMap.h"
#include "platform/Module.h"
#include "vorbel/Districts.h"

class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class TAMeDAS;
class TPin;

namespace vorbel {
// File name of the resource library, appended to the library folder.
extern std::string ResourceLibraryName;
}  // namespace vorbel

class TFmPrefect : public QDialog {
    // Its meta-object lies in the library: the forms layer tells from it
    // that the dialog's hints belong to the library's application object.
    Q_OBJECT
public:
    TFmPrefect(QWidget* owner, std::int16_t district, bool english);
    ~TFmPrefect() override;

    // False when the map of the start district could not be built (the
    // user has been told why); the dialog is then not to be shown.
    bool MapReady() const { return mapReady_; }
    // The station handed to the caller: 0 until OK is clicked.
    int Result() const { return result_; }
    std::int16_t District() const { return district_; }
    TPin* PinOfSlot(int slot) const;
    QPushButton* ButtonOfSlot(int slot) const;
    int SlotCount() const { return static_cast<int>(pins_.size()); }

    QWidget* PanelTop;
    QLabel* LblDistrict;
    QComboBox* CmbDistrict;
    QLabel* LblPrefecture;
    QComboBox* CmbPrefecture;
    QLabel* LblLocation;
    QComboBox* CmbLocation;
    QFrame* Bevel;
    QLabel* StxtTitle;
    QLabel* StxtResult;
    QPushButton* BtnOk;
    QPushButton* BtnCan;
    QPlainTextEdit* Memo;
    QScrollArea* ScrollBox;
    QWidget* ScrollContent;
    QWidget* Panel;
    QLabel* ImgMap;

    void FormCreate();
    void FormDestroy();
    void FormResize();
    void CmbDistrictChange();
    void CmbPrefectureChange();
    void CmbLocationChange(QObject* sender);
    void BtnOkClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    void BuildLayout();
    void SetJapaneseHints();
    void SetEnglishHints();
    void FillDistricts();
    void FillPrefectures(std::int16_t district);
    void LoadMap(QObject* sender);
    bool BuildMap();
    void ShowNoMap();
    bool ReadMapInfo(int id);
    bool PlaceRanges();
    bool PlaceFurtherRanges(std::initializer_list<int> strings, int firstAfterOwn);
    bool ReplaceFirstTwo(int string);
    void AddPins(int first, int last, int offset);
    void AddPin(int id, vorbel::Pixel at, int slot);
    void ClearPins();
    void ListStationsInMemo();
    void ShowHintInMemo(QObject* sender);
    // Tells the user why the map can't be shown: "%1" is the map library,
    // "%2" the resource `id` when there is one.
    void Fail(const QString& english, const QString& japanese, std::optional<int> id = std::nullopt);
    void FailMapInfo(int id);
    std::string LibraryPath() const;
    QString Text(const char* cp932) const;

    bool english_;
    bool mapReady_ = false;
    int first_ = 0;
    int last_ = 0;
    int stationCount_ = 0;
    int result_ = 0;
    int selected_ = 0;
    platform::ModuleHandle resources_ = nullptr;
    std::int16_t region_;
    std::int16_t district_;
    std::function<void()> savedHintHandler_;
    std::unique_ptr<TPrefItems> prefItems_;
    vorbel::MapInfo map_;
    std::vector<TPin*> pins_;
    std::vector<QPushButton*> buttons_;
    TAMeDAS* amedas_ = nullptr;
};
