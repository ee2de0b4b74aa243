// The committed sample map: a real 24-bit gray map whose land lies where the
// converter puts the stations of the table.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "GrayMapProbe.h"
#include "TestSupport.h"

namespace {

using testing_support::BmpPicture;
using testing_support::MapBounds;

const std::string kSample = "/resources/maps/kanto_sample";

MapBounds ReadBounds() {
    std::istringstream text(testing_support::ReadFile(testing_support::SourceDir() + kSample + ".txt"));
    std::map<std::string, double> values;
    std::string key;
    double value = 0;
    for (std::string line; std::getline(text, line);) {
        std::istringstream fields(line);
        if (fields >> key >> value) values[key] = value;
    }
    return {values.at("LeftLon"), values.at("BottomLat"), values.at("RightLon"), values.at("TopLat")};
}

TEST(KantoSample, IsAPlain24BitBottomUpBitmap) {
    const BmpPicture map(testing_support::ReadFile(testing_support::SourceDir() + kSample + ".bmp"));
    ASSERT_EQ(map.Width(), 800);
    ASSERT_EQ(map.Height(), 800);
    EXPECT_EQ(map.U16(0), 19778);  // "BM"
    EXPECT_EQ(map.U32(2), map.Size());
    EXPECT_EQ(map.U32(10), 54u);
    EXPECT_EQ(map.U32(14), 40u);
    EXPECT_EQ(map.U16(28), 24);
    EXPECT_EQ(map.U32(30), 0u);
    EXPECT_EQ(map.Size(), 54 + map.Stride() * 800);
    // Land and sea only, and both well represented.
    EXPECT_EQ(map.OtherThan("\xE6\xBE\x96"), 0);
    EXPECT_GT(map.GrayCount(), 800 * 800 / 2);
    EXPECT_LT(map.GrayCount(), 800 * 800 * 9 / 10);
}

TEST(KantoSample, StationsOnLandFallOnGrayPixels) {
    const BmpPicture map(testing_support::ReadFile(testing_support::SourceDir() + kSample + ".bmp"));
    const MapBounds bounds = ReadBounds();
    EXPECT_EQ(bounds.LeftLon, 138.4);
    EXPECT_EQ(bounds.TopLat, 37.2);
    const auto stations = testing_support::PlaceStations(map, bounds);
    ASSERT_GE(stations.size(), 100u);  // Kanto and the edges of its neighbours
    std::set<std::string> offLand;
    for (const auto& station : stations)
        if (!station.Gray) offLand.insert(station.Pron);
    // A few stations stand right on the shore (the same map drawn on the
    // WGS84 datum loses twice as many).
    EXPECT_LE(offLand.size(), stations.size() / 40) << ::testing::PrintToString(offLand);
    for (const char* inland : {"Tokyo", "Maebashi", "Mito", "Chiba", "Yokohama"})
        EXPECT_EQ(offLand.count(inland), 0u) << inland;
}

}  // namespace
