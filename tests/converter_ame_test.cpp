// The station window: where its marks go, what its counters and status bar
// show, the files and log lines that OK writes, and how it fails.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <list>
#include <vector>

#include "Ame.h"
#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "Bitmaps.h"
#include "ScreenProbes.h"
#include "TestSupport.h"
#include "core/BmpCore.h"

namespace {

using platform::MessageBoxCall;
using strova::AmeRecord;
using strova::PixelRecord;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// A pixel of the window's picture (from its top left corner) and its colour.
struct Spot {
    int x, y;
    QRgb rgb;
};

// A black map but for the spots, written as a sparse file so that a map of
// any size is made at once.
void WriteSparseMap(const std::string& path, int width, int height, bool topDown, const std::vector<Spot>& spots) {
    WriteFile(path, testing_support::BitmapHeaders(width, topDown ? -height : height));
    const std::size_t stride = testing_support::BitmapStride(width);
    std::filesystem::resize_file(path, 54 + stride * height);
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    for (const Spot& spot : spots) {
        const std::size_t row = topDown ? spot.y : height - 1 - spot.y;
        const unsigned char bgr[] = {static_cast<unsigned char>(qBlue(spot.rgb)),
                                     static_cast<unsigned char>(qGreen(spot.rgb)),
                                     static_cast<unsigned char>(qRed(spot.rgb))};
        std::fseek(file, static_cast<long>(54 + row * stride + 3 * spot.x), SEEK_SET);
        std::fwrite(bgr, 1, 3, file);
    }
    std::fclose(file);
}

// The corners, the centre and a few places between, each in a colour of its
// own with distinct red, green and blue.
std::vector<Spot> SampleSpots(int width, int height) {
    const QPoint places[] = {{0, 0},          {width - 1, 0},          {0, height - 1},       {width - 1, height - 1},
                             {width / 2, height / 2}, {width / 3, height - 2}, {width - 3, height / 5}, {7, 2 * height / 3}};
    std::vector<Spot> spots;
    for (const QPoint& at : places) {
        const int i = static_cast<int>(spots.size());
        spots.push_back({at.x(), at.y(), qRgb(20 + 29 * i, 230 - 23 * i, 3 + 17 * i)});
    }
    return spots;
}

// The program's command line as QCoreApplication::arguments() reads it; the
// second entry is switched on for the tests of "-f".
int argumentCount = 1;
char programName[] = "converter_ame_test";
char infoFileOption[] = "-f";
char* arguments[] = {programName, infoFileOption, nullptr};

// A station table of eight entries on a 200 x 200 map of 130..140 E, 30..40 N
// (20 pixels a degree); every other index lies outside the map.
struct FakeStation {
    int x, y, volume;
    const char* pron;
    const char* belong;
};
const FakeStation kTable[] = {
    {10, 10, 1, "INSIDE-A", "Tokyo Metropolis"},
    {2, 50, 2, "LEFT-EDGE", "Chiba"},
    {100, 3, 3, "BOTTOM-EDGE", "Kanagawa Prefecture"},
    {60, 60, 4, "INSIDE-B-WITH-A-NAME-TOO-LONG", "Saitama Prefecture"},
    {199, 199, 1, "TOP-RIGHT", "Gunma Prefecture"},
    {150, 100, 2, "EAST", "Tochigi Prefecture"},
    {200, 200, 3, "ON-THE-BOUND", "Ibaraki Prefecture"},
    {220, 100, 4, "OUTSIDE", "Chiba Prefecture"},
};
constexpr int kTableSize = 8;

double Longitude(int i) { return i < kTableSize ? 130.0 + kTable[i].x / 20.0 : 0.0; }
double Latitude(int i) { return i < kTableSize ? 30.0 + kTable[i].y / 20.0 : 0.0; }
int Volume(int i) { return i < kTableSize ? kTable[i].volume : 0; }
char* Pron(int i, char* buffer) { return std::strcpy(buffer, i < kTableSize ? kTable[i].pron : ""); }
char* BelongPron(int i, char* buffer) { return std::strcpy(buffer, i < kTableSize ? kTable[i].belong : ""); }

AmeRecord Record(int index, const char* name, const char* belong) {
    AmeRecord r;
    std::memset(&r, 0, sizeof r);
    r.X = kTable[index].x;
    r.Y = kTable[index].y;
    r.CD = static_cast<std::int16_t>(kTable[index].volume);
    r.Id = static_cast<std::int16_t>(index + 1);
    std::memcpy(r.Name, name, std::min(std::strlen(name), sizeof r.Name - 1));
    std::memcpy(r.Belong, belong, std::min(std::strlen(belong), sizeof r.Belong - 1));
    return r;
}

class AmeFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::EnsureQApplication(argumentCount, arguments);
        strova::Stations = {Longitude, Latitude, Volume, Pron, BelongPron};
    }
    void SetUp() override {
        platform::SetMessageBoxHook([this](const MessageBoxCall& call) {
            boxes.push_back(call);
            return platform::IDOK;
        });
        bar.setRange(0, 100);
        const std::vector<PixelRecord> gray = {{0, 0}, {10, 10}, {60, 60}, {61, 60}};
        WriteFile(tmp, std::string(reinterpret_cast<const char*>(gray.data()), gray.size() * 8));
        WriteFile(bmp, testing_support::MakeGrayBitmap(200, 200, [](int x, int y) {
                      return (x == 0 && y == 0) || (x == 10 && y == 10) || (y == 60 && (x == 60 || x == 61));
                  }));
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        platform::SetModalFormHook(nullptr);
    }

    std::unique_ptr<TAmeForm> Open(std::uint32_t grayCount = 4, strova::MapConfig map = {130, 30, 140, 40, 200, 200},
                                   bool japanese = false) {
        return std::make_unique<TAmeForm>(nullptr, ame, bmp, dat, tmp, grayCount, map, &bar, &log, japanese, Files());
    }
    // The transaction of a window, begun as step 2 begins it; it outlives the window.
    strova::StepTransaction& Files() {
        strova::StepTransaction& files = transactions.emplace_back(std::vector<strova::StepOutput>{{ame, ""}, {dat, ""}});
        files.Begin();
        return files;
    }

    TempDir dir;
    std::string ame = dir.file("kant.ame"), bmp = dir.file("kant.bmp"), dat = dir.file("kant_a.dat"),
                tmp = dir.file("tmp.loc");
    std::list<strova::StepTransaction> transactions;
    QProgressBar bar;
    QPlainTextEdit log;
    std::vector<MessageBoxCall> boxes;
};

TEST_F(AmeFormTest, MarksSitOnTheirStationsAndBoxesStayOnTheMap) {
    auto form = Open();
    ASSERT_TRUE(form->Placed);
    EXPECT_EQ(form->windowTitle(), "Strova - Window for Selecting AMeDAS Station");
    EXPECT_EQ(form->InternalCount, 2);
    EXPECT_EQ(form->AdditionalCount, 5);
    EXPECT_EQ(form->TotalCount, 7);
    EXPECT_EQ(form->ObsTxt->text(), " 7");
    EXPECT_EQ(form->AddTxt->text(), " 5");
    ASSERT_EQ(form->Circles.size(), 2);
    EXPECT_EQ(form->Circles[0]->geometry(), QRect(5, 185, 10, 10));
    EXPECT_EQ(form->Circles[1]->geometry(), QRect(55, 135, 10, 10));
    EXPECT_EQ(form->Circles[1]->toolTip(), "INSIDE-B-WITH-A-NAM");
    ASSERT_EQ(form->Boxes.size(), 5);
    const QRect expected[] = {{1, 142, 16, 16}, {92, 183, 16, 16}, {183, 1, 16, 16}, {142, 92, 16, 16}, {183, 1, 16, 16}};
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(form->Boxes[b]->geometry(), expected[b]) << b;
        EXPECT_TRUE(form->Boxes[b]->isChecked());
        EXPECT_TRUE(form->Boxes[b]->text().isEmpty());
    }
    EXPECT_EQ(form->Boxes[1]->toolTip(), "BOTTOM-EDGE");
    EXPECT_EQ(form->Image->size(), QSize(200, 200));
    EXPECT_EQ(form->Image->Picture().Error(), strova::PictureError::None);
    // +5 after loading, +5 after the match, (100 - 10) / 7 + 0.5 = 13 for each of 7 stations.
    EXPECT_EQ(bar.value(), 100);
    EXPECT_TRUE(boxes.empty());
}

// Maps above what a decoded copy of the whole picture could hold, in both
// row orders: scrolled to each sample, the window shows its colour there, and
// black around it.
TEST_F(AmeFormTest, TheWindowShowsEveryMapPixelForPixelWhereverItIsScrolled) {
    for (const auto& [width, height, topDown] : {std::tuple{6007, 6000, false}, std::tuple{3001, 2000, true}}) {
        const std::vector<Spot> spots = SampleSpots(width, height);
        WriteSparseMap(bmp, width, height, topDown, spots);
        auto form = Open(4, {130, 30, 132.9, 32.9, width, height});
        ASSERT_TRUE(form->Placed);
        form->show();
        QApplication::processEvents();
        ASSERT_EQ(form->Image->size(), QSize(width, height));
        EXPECT_GE(testing_support::HandleContrast(form->ScrollBox->verticalScrollBar()),
                  testing_support::ReadableHandleContrast);
        const QSize view = form->ScrollBox->viewport()->size();
        for (const Spot& spot : spots) {
            // Bring the spot to the middle of the view, as far as the scroll bars go.
            form->ScrollBox->horizontalScrollBar()->setValue(spot.x - view.width() / 2);
            form->ScrollBox->verticalScrollBar()->setValue(spot.y - view.height() / 2);
            QApplication::processEvents();
            const QImage shown = form->ScrollBox->viewport()->grab().toImage();
            const QPoint at = form->Image->mapFrom(form->ScrollBox->viewport(), QPoint(0, 0));
            const QPoint inView(spot.x - at.x(), spot.y - at.y());
            ASSERT_TRUE(shown.rect().contains(inView)) << spot.x << "," << spot.y;
            for (QWidget* mark : form->Image->findChildren<QWidget*>())
                ASSERT_FALSE(mark->geometry().adjusted(-1, -1, 1, 1).contains(spot.x, spot.y)) << "a mark hides the spot";
            EXPECT_EQ(shown.pixel(inView), spot.rgb) << spot.x << "," << spot.y << (topDown ? " top-down" : "");
            const QPoint beside = inView + QPoint(inView.x() > 0 ? -1 : 1, inView.y() > 0 ? -1 : 1);
            EXPECT_EQ(shown.pixel(beside), qRgb(0, 0, 0)) << spot.x << "," << spot.y;
        }
    }
    EXPECT_TRUE(boxes.empty());
}

// Records what the map is asked to paint.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

TEST_F(AmeFormTest, ScrollingPaintsOnlyWhatComesIntoView) {
    WriteSparseMap(bmp, 6007, 6000, false, {});
    auto form = Open(4, {130, 30, 132.9, 32.9, 6007, 6000});
    form->show();
    QApplication::processEvents();
    PaintRecorder recorder;
    form->Image->installEventFilter(&recorder);
    QScrollBar* across = form->ScrollBox->horizontalScrollBar();
    QScrollBar* down = form->ScrollBox->verticalScrollBar();
    across->setValue(3000);
    down->setValue(3000);
    QApplication::processEvents();
    const QSize view = form->ScrollBox->viewport()->size();
    EXPECT_EQ(recorder.painted, QRegion(QRect(QPoint(3000, 3000), view)));
    for (const int step : {60, -20}) {
        recorder.painted = QRegion();
        across->setValue(across->value() + step);
        down->setValue(down->value() + step);
        QApplication::processEvents();
        const QRect now(QPoint(across->value(), down->value()), view);
        const QRegion before = now.translated(-step, -step);
        EXPECT_EQ(recorder.painted, QRegion(now) - before) << step;
    }
}

TEST_F(AmeFormTest, APictureThatCantBeShownIsReportedAndTheWindowStillWorks) {
    bmp = dir.file("gone.bmp");
    auto form = Open();
    ASSERT_TRUE(form->Placed);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Bitmap File :\r<" + bmp + "> can't be shown.\rNo such file or directory");
    EXPECT_EQ(boxes[0].caption, "Strova - Error");
    EXPECT_EQ(boxes[0].flags, platform::MB_ICONERROR);
    EXPECT_EQ(form->Boxes.size(), 5);
    form->BBtnOk->click();
    EXPECT_EQ(form->result(), platform::mrOk);

    // A bitmap cut short after the window opened is reported once, when it
    // is next painted.
    boxes.clear();
    bmp = dir.file("kant.bmp");
    auto cut = Open();
    ASSERT_TRUE(boxes.empty());
    std::filesystem::resize_file(bmp, 100);
    cut->show();
    for (int paint = 0; paint < 2; ++paint) {
        cut->ScrollBox->viewport()->grab();
        QApplication::processEvents();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Bitmap File :\r<" + bmp + "> can't be shown.\rThe file ends before its last pixel row");
}

TEST_F(AmeFormTest, OkWritesTheTickedStationsAndLogsThem) {
    auto form = Open();
    ASSERT_TRUE(form->Placed);
    form->Boxes[1]->click();
    form->Boxes[3]->click();
    EXPECT_EQ(form->ObsTxt->text(), " 5");
    EXPECT_EQ(form->AddTxt->text(), " 3");
    form->Boxes[3]->click();
    form->Boxes[3]->click();
    log.appendPlainText("before");
    form->BBtnOk->click();
    EXPECT_EQ(form->result(), platform::mrOk);
    EXPECT_EQ(form->TotalCount, 5);
    EXPECT_EQ(form->AdditionalCount, 3);

    const std::vector<AmeRecord> written = {Record(0, "INSIDE-A", "Tokyo"), Record(3, "INSIDE-B-WITH-A-NAME", "Saitama"),
                                           Record(1, "LEFT-EDGE", ""), Record(4, "TOP-RIGHT", "Gunma"),
                                           Record(6, "ON-THE-BOUND", "Ibaraki")};
    EXPECT_EQ(ReadFile(ame), std::string(reinterpret_cast<const char*>(written.data()), written.size() * 44));
    EXPECT_EQ(ReadFile(dat),
              "kant\r\n  5\r\n"
              "0.0        1   1 INSIDE-A          \r\n"
              "0.0        4   4 INSIDE-B-WITH-A-NAM\r\n"
              "0.0        2   2 LEFT-EDGE         \r\n"
              "0.0        1   5 TOP-RIGHT         \r\n"
              "0.0        3   7 ON-THE-BOUND      \r\n");
    const QStringList expectedLog = {
        "before",
        "AMeDAS stations for this map",
        "     Total number: 5  ",
        "  Internal number: 2  ",
        "Additional number: 3  ",
        "CD Id Name                    ( X-pixel,  Y-pixel)",
        "1   1 INSIDE-A                (      10,       10)",
        "4   4 INSIDE-B-WITH-A-NAM     (      60,       60)",
        "2   2 LEFT-EDGE               (       2,       50)",
        "1   5 TOP-RIGHT               (     199,      199)",
        "3   7 ON-THE-BOUND            (     200,      200)",
        QString::fromStdString("These data were saved in: " + ame + " as a binary file"),
        QString::fromStdString(std::string(26, ' ') + dat + " as a text file"),
        "The former is important to run Tessadyn!",
        "The Later is useful to prepare potential data by yourself.",
    };
    EXPECT_EQ(log.toPlainText().split('\n'), expectedLog);
    EXPECT_EQ(bar.value(), 100);
}

TEST_F(AmeFormTest, CancelAndTheFrameCloseWithTheCancelResult) {
    auto form = Open();
    platform::SetModalFormHook([](QWidget* shown) { static_cast<TAmeForm*>(shown)->BBtnCancel->click(); });
    EXPECT_EQ(platform::ShowModal(form.get()), platform::mrCancel);
    platform::SetModalFormHook([](QWidget* shown) { shown->close(); });
    EXPECT_EQ(platform::ShowModal(form.get()), platform::mrCancel);
    EXPECT_FALSE(std::filesystem::exists(ame));  // nothing is written before OK
}

TEST_F(AmeFormTest, AFailedWriteClosesWithAbort) {
    WriteFile(ame, "earlier");
    auto form = Open();
    ASSERT_TRUE(form->Placed);
    {
        const testing_support::FileSizeLimit diskFull(16);
        form->PopupOk->trigger();
    }
    EXPECT_EQ(form->result(), platform::mrAbort);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Output File :\r<" + ame + "> can't be written.\rFile too large\rNothing was changed.");
    EXPECT_EQ(boxes[0].caption, "Strova - Error");
    EXPECT_EQ(ReadFile(ame), "earlier");
    EXPECT_FALSE(std::filesystem::exists(dat));
}

TEST_F(AmeFormTest, TheStatusBarShowsTheLongHintWhileTheWindowLives) {
    bool mainHintCalled = false;
    strova::App().OnHint = [&] { mainHintCalled = true; };
    {
        auto form = Open();
        QStatusTipEvent tip("Total number of stations being selected now");
        QApplication::sendEvent(form->ObsTxt, &tip);
        EXPECT_EQ(form->StatusBar->currentMessage(), "Total number of stations being selected now");
        EXPECT_FALSE(mainHintCalled);
        EXPECT_EQ(form->ObsLbl->statusTip(), "Total number of stations being selected now");
    }
    QWidget other;
    QStatusTipEvent tip("x");
    QApplication::sendEvent(&other, &tip);
    EXPECT_TRUE(mainHintCalled);
    strova::App().OnHint = nullptr;
}

TEST_F(AmeFormTest, JapaneseTextsAndMessages) {
    dat = dir.file("none/kant_a.dat");
    auto form = Open(4, {130, 30, 140, 40, 200, 200}, true);
    EXPECT_FALSE(form->Placed);
    EXPECT_EQ(form->LabelTop->text(), "周辺のｱﾒﾀﾞｽ地点のうち，内挿に使わない地点はﾁｪｯｸを外してください．");
    EXPECT_EQ(form->AddTxt->toolTip(), "周辺観測点数");
    EXPECT_EQ(form->ObsLbl->statusTip(), "選択中の観測点総数");
    EXPECT_EQ(form->BBtnCancel->statusTip(), "選択を破棄して，このｳｨﾝﾄﾞｳを閉じます．");
    EXPECT_EQ(form->LabelTop->font().family(), "IPAPGothic");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "出力先のﾌｧｲﾙ：\r<" + dat + ">\rが読み込めません．\rNo such file or directory");
}

TEST_F(AmeFormTest, FailuresBeforeTheMapIsBuilt) {
    EXPECT_FALSE(Open(5)->Placed);  // the pixel file holds 4 records
    EXPECT_FALSE(Open(4, {100, 10, 110, 20, 200, 200})->Placed);
    dat = dir.file("none/kant_a.dat");
    EXPECT_FALSE(Open()->Placed);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Read error:\r<" + tmp + ">");
    EXPECT_EQ(boxes[1].text, "No AMeDAS station lies inside the bounds of this map.\rCheck the bounds and run again.");
    EXPECT_EQ(boxes[2].text, "Internal Information File :\r<" + dat + "> can't open.\rNo such file or directory");
    for (const MessageBoxCall& box : boxes) EXPECT_EQ(box.caption, "Strova - Error");
    EXPECT_EQ(bar.value(), 0);
}

TEST_F(AmeFormTest, WithDashFTheStationsComeFromTheInfoFile) {
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    argumentCount = 2;
    auto missing = Open();
    EXPECT_FALSE(missing->Placed);
    WriteFile("gm_info.dat",
              "130.5 30.5 7 FIRST-STATION-NAME-LONGER Kanagawa-Prefecture\r\n"
              "150.0 30.5 8 OUTSIDE Nowhere\r\n"
              "not a station line\r\n"
              "133.0 33.0 70001 THIRD Chiba\r\n");
    auto form = Open();
    argumentCount = 1;
    std::filesystem::current_path(home);
    ASSERT_TRUE(form->Placed);
    ASSERT_EQ(form->Selection.selected.size(), 2u);
    const AmeRecord& first = form->Selection.selected[0];
    EXPECT_EQ(std::string(first.Name), "FIRST-STATION-NAME-");
    EXPECT_EQ(std::string(first.Belong), "Kanagawa-Pr");
    EXPECT_EQ(first.Id, 1);
    EXPECT_EQ(first.CD, 7);
    const AmeRecord& fourth = form->Selection.selected[1];
    EXPECT_EQ(fourth.Id, 4);
    EXPECT_EQ(fourth.CD, static_cast<std::int16_t>(70001));
    EXPECT_EQ(fourth.X, 60);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Internal Information File :\r<gm_info.dat> can't open.");
}

}  // namespace
