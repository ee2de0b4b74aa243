// The benchmark's all-Japan gray map: the committed mask decodes whole, and
// the bitmaps written from it are plain 24-bit maps on the station grid.
#include <gtest/gtest.h>

#include <filesystem>

#include "GrayMapProbe.h"
#include "LandMask.h"
#include "TestSupport.h"

namespace {

using testing_support::BmpPicture;

const testing_support::MapBounds kJapan{bench::kJapanLeftLon, bench::kJapanBottomLat, bench::kJapanRightLon,
                                        bench::kJapanTopLat};

TEST(LandMaskReader, DecodesRowsOfRuns) {
    // Width 5: "sea 2, land 3" / "sea 0, land 5" / "sea 5".
    bench::LandMaskReader reader("CDAFF", 5);
    std::vector<std::uint8_t> row;
    ASSERT_TRUE(reader.NextRow(row));
    EXPECT_EQ(row, (std::vector<std::uint8_t>{0, 0, 1, 1, 1}));
    ASSERT_TRUE(reader.NextRow(row));
    EXPECT_EQ(row, (std::vector<std::uint8_t>{1, 1, 1, 1, 1}));
    ASSERT_TRUE(reader.NextRow(row));
    EXPECT_EQ(row, (std::vector<std::uint8_t>(5, 0)));
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_FALSE(reader.NextRow(row));
}

TEST(LandMaskReader, RejectsDamagedRuns) {
    std::vector<std::uint8_t> row;
    // 'g' 'B' is 0 + 1 * 32 = 32: a run longer than the row.
    EXPECT_FALSE(bench::LandMaskReader("gB", 5).NextRow(row));
    EXPECT_FALSE(bench::LandMaskReader("C*", 5).NextRow(row));  // not in the alphabet
    EXPECT_FALSE(bench::LandMaskReader("CB", 5).NextRow(row));  // row ends early
    EXPECT_FALSE(bench::LandMaskReader("g", 5).NextRow(row));   // digits cut off
    EXPECT_FALSE(bench::LandMaskReader("ggggggggB", 5).NextRow(row));
}

TEST(JapanGrayMap, FullSizeMapIsTheMaskWithStationsOnLand) {
    testing_support::TempDir dir;
    const std::string path = dir.file("japan_bench.bmp");
    std::string error;
    const int width = bench::JapanMaskWidth();
    const int height = bench::JapanMaskHeight();
    ASSERT_GE(width, 4000);
    ASSERT_GE(height, 4000);
    ASSERT_TRUE(bench::WriteJapanGrayMap(path, width, height, &error)) << error;
    const BmpPicture map(testing_support::ReadFile(path));
    ASSERT_EQ(map.Width(), width);
    ASSERT_EQ(map.Height(), height);
    EXPECT_EQ(map.U16(28), 24);
    EXPECT_EQ(map.U32(2), map.Size());
    EXPECT_EQ(map.GrayCount(), bench::JapanMaskLandPixels());
    EXPECT_EQ(map.OtherThan("\xE6\xBE\x96"), 0);

    const auto stations = testing_support::PlaceStations(map, kJapan);
    EXPECT_EQ(stations.size(), 842u);  // the bounds hold the whole table
    long gray = std::count_if(stations.begin(), stations.end(), [](const auto& s) { return s.Gray; });
    EXPECT_GE(gray, 800);  // shore and small-island stations may fall on sea
}

TEST(JapanGrayMap, SmallerMapsSampleTheSameLand) {
    testing_support::TempDir dir;
    std::string error;
    const long full = bench::JapanMaskLandPixels();
    for (int side : {1000, 800}) {
        const std::string path = dir.file("quick.bmp");
        ASSERT_TRUE(bench::WriteJapanGrayMap(path, side, side, &error)) << error;
        const BmpPicture map(testing_support::ReadFile(path));
        ASSERT_EQ(map.Width(), side);
        const double share = static_cast<double>(map.GrayCount()) * 4000.0 * 4000.0 / side / side / full;
        EXPECT_NEAR(share, 1.0, 0.05) << side;
        const auto stations = testing_support::PlaceStations(map, kJapan);
        long gray = std::count_if(stations.begin(), stations.end(), [](const auto& s) { return s.Gray; });
        EXPECT_GE(gray, 700) << side;
    }
}

TEST(JapanGrayMap, PadsRowsAndRefusesImpossibleMaps) {
    testing_support::TempDir dir;
    std::string error;
    const std::string narrow = dir.file("narrow.bmp");
    ASSERT_TRUE(bench::WriteJapanGrayMap(narrow, 5, 3, &error)) << error;
    const BmpPicture map(testing_support::ReadFile(narrow));
    EXPECT_EQ(map.Size(), 54u + 16 * 3);
    EXPECT_EQ(map.U32(34), 16u * 3);  // image size

    for (auto [width, height] : {std::pair{0, 10}, {10, -1}, {40000, 40000}}) {
        const std::string path = dir.file("bad.bmp");
        EXPECT_FALSE(bench::WriteJapanGrayMap(path, width, height, &error));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    EXPECT_FALSE(bench::WriteJapanGrayMap(dir.file("no/such/folder.bmp"), 10, 10, &error));
    EXPECT_NE(error.find("no/such/folder.bmp"), std::string::npos) << error;
}

}  // namespace
