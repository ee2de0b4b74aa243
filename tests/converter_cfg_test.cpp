// The third step's data module: its messages, its result against the plain
// procedure, the progress bar its worker threads move, and the window
// events that keep coming while it works.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTimer>

#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include "Cfg.h"
#include "MessageBoxRecorder.h"
#include "PlainReference.h"
#include "TestSupport.h"
#include "core/CfgCore.h"

namespace {

// What a step's message says of the files when it changed none of them.
const std::string kUnchanged = "\r\nNothing was changed.";

using platform::MessageBoxCall;
using strova::AmeRecord;
using strova::CfgRecord;
using strova::PixelRecord;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

template <typename Record>
std::string Bytes(const std::vector<Record>& records) {
    return std::string(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(Record));
}

AmeRecord Station(int x, int y) {
    AmeRecord s;
    std::memset(&s, 0, sizeof s);
    s.X = x;
    s.Y = y;
    return s;
}

// The records of the *.cfg file as the plain procedure makes them: every
// distance, a full IndexSort, the ten nearest of every pixel.
std::string ExpectedCfg(const std::vector<AmeRecord>& stations, const std::vector<PixelRecord>& pixels) {
    std::vector<double> distances;
    std::vector<std::uint32_t> order;
    std::vector<CfgRecord> records;
    for (const PixelRecord& p : pixels) records.push_back(plain::NearestRecord(stations, p, distances, order));
    return Bytes(records);
}

class CfgDataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::EnsureQApplication(); }
    void SetUp() override {
        bar.setRange(0, 100);
    }

    void Write(const std::vector<AmeRecord>& stations, const std::vector<PixelRecord>& pixels) {
        WriteFile(ame, Bytes(stations));
        WriteFile(tmp, Bytes(pixels));
    }

    // A module as step 3 makes it: the *.cfg file written through a transaction.
    std::unique_ptr<TCfgData> Data(int stationCount, std::uint32_t grayCount, const std::string& cfgPath) {
        auto& files = transactions.emplace_back(std::vector<strova::StepOutput>{{cfgPath, ""}});
        files.Begin();
        return std::make_unique<TCfgData>(nullptr, ame, cfgPath, tmp, stationCount, &bar, grayCount, files);
    }
    std::unique_ptr<TCfgData> Data(int stationCount, std::uint32_t grayCount) { return Data(stationCount, grayCount, cfg); }

    TempDir dir;
    std::string ame = dir.file("map.ame"), cfg = dir.file("map.cfg"), tmp = dir.file("tmp.loc");
    std::list<strova::StepTransaction> transactions;
    QProgressBar bar;
    testing_support::MessageBoxRecorder recorder;
    std::vector<MessageBoxCall>& boxes = recorder.calls;
};

TEST_F(CfgDataTest, EveryFileThatFailsToOpenHasItsOwnBox) {
    WriteFile(tmp, "");
    const std::string cfgInMissingFolder = dir.file("none/map.cfg");
    EXPECT_EQ(Data(3, 0, cfgInMissingFolder)->Ok, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "File :" + ame + "\r\ncan't open.\r\nNo such file or directory" + kUnchanged);
    EXPECT_EQ(boxes[1].text, "File :" + cfgInMissingFolder + "\r\ncan't open.\r\nNo such file or directory" + kUnchanged);
    for (const MessageBoxCall& box : boxes) {
        EXPECT_EQ(box.caption, "CfgData Error");
        EXPECT_EQ(box.flags, 0x10u);
    }
}

TEST_F(CfgDataTest, WritesTheTenNearestOfEveryPixelAndMovesTheBar) {
    // A grid of stations gives many equal distances; 150 pixels give a
    // progress step of 2, so the bar moves after pixels 1, 3, ..., 149.
    std::vector<AmeRecord> stations;
    for (int i = 0; i < 30; ++i) stations.push_back(Station(i % 6 * 4, i / 6 * 4));
    stations.push_back(Station(8, 8));  // shares a pixel with station 15
    std::vector<PixelRecord> pixels;
    for (int i = 0; i < 150; ++i) pixels.push_back({i % 25, i / 25 * 3});
    Write(stations, pixels);
    auto data = Data(static_cast<int>(stations.size()), static_cast<std::uint32_t>(pixels.size()));
    ASSERT_EQ(data->Ok, 1);
    bar.setValue(60);
    data->FindAdjacentStations();
    EXPECT_EQ(data->Ok, 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(ReadFile(cfg), ExpectedCfg(stations, pixels));
    EXPECT_EQ(bar.value(), 75);
}

TEST_F(CfgDataTest, WindowEventsArriveWhileTheWorkersCompute) {
    Write({Station(0, 0), Station(3, 4)}, {{1, 1}, {2, 2}});
    auto data = Data(2, 2);
    bool computing = false;
    bool seen = false;
    QTimer::singleShot(0, [&] { seen = computing; });
    computing = true;
    data->FindAdjacentStations();
    computing = false;
    EXPECT_TRUE(seen);
    EXPECT_EQ(data->Ok, 1);
}

TEST_F(CfgDataTest, StationsThatCantAnswerForThePixelsAreRefused) {
    Write({Station(0, 0)}, {{1, 1}});
    for (const int stations : {2, 0}) {  // step 2 said two stations; or none
        auto data = Data(stations, 1);
        data->FindAdjacentStations();
        EXPECT_EQ(data->Ok, 0);
    }
    Write({Station(0, 0)}, {{40000, 1}});
    auto data = Data(1, 1);
    data->FindAdjacentStations();
    EXPECT_EQ(data->Ok, 0);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "File :" + ame + "\r\nholds fewer stations than were written." + kUnchanged);
    EXPECT_EQ(boxes[1].text, "No AMeDAS station was written for this map,\r\nso the gray pixels have no nearest stations." + kUnchanged);
    EXPECT_EQ(boxes[2].text, "File :" + tmp + "\r\nGray pixel (40000, 1) lies beyond pixel 32767,\r\nwhich a *.cfg file can't hold." + kUnchanged);
}

TEST_F(CfgDataTest, NoGrayPixelGivesAnEmptyFile) {
    Write({Station(0, 0)}, {});
    WriteFile(cfg, "old contents");
    auto data = Data(1, 0);
    data->FindAdjacentStations();
    EXPECT_EQ(data->Ok, 1);
    EXPECT_EQ(ReadFile(cfg), "");
}

}  // namespace
