// Loading stations inside the bounds (library accessors, gm_info.dat), the
// pixel mapping and the internal/additional split against the plain match.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Locales.h"
#include "PlainReference.h"
#include "TestSupport.h"
#include "core/Stations.h"

using namespace strova;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A stand-in for the library's table: index i has these values.
struct FakeStation {
    double lon, lat;
    int volume;
    const char* pron;
    const char* belong;
};
std::vector<FakeStation> fakeTable;

const FakeStation* lookup(int i) {
    return i >= 0 && i < static_cast<int>(fakeTable.size()) ? &fakeTable[i] : nullptr;
}

StationAccessors FakeAccessors() {
    StationAccessors a;
    a.GetAMeDASLongitude = [](int i) { return lookup(i) ? lookup(i)->lon : 0.0; };
    a.GetAMeDASLatitude = [](int i) { return lookup(i) ? lookup(i)->lat : 0.0; };
    a.GetAMeDASVolume = [](int i) { return lookup(i) ? lookup(i)->volume : 0; };
    a.GetAMeDASPron = [](int i, char* b) { return std::strcpy(b, lookup(i) ? lookup(i)->pron : ""); };
    a.GetAMeDASBelongPron = [](int i, char* b) { return std::strcpy(b, lookup(i) ? lookup(i)->belong : ""); };
    return a;
}

const MapConfig kMap{135.0, 30.0, 140.0, 36.0, 500, 600};  // 100 pixels a degree

std::string Field(const char* field, std::size_t size) { return std::string(field, size); }

std::optional<std::vector<AmeRecord>> InfoFile(const std::string& text) {
    TempDir dir;
    WriteFile(dir.file("gm_info.dat"), text);
    return LoadInfoFileStations(dir.file("gm_info.dat"), kMap);
}

}  // namespace

TEST(Stations, LibraryStationsInsideInclusiveBounds) {
    fakeTable = {
        {134.99, 33.0, 1, "Outside", "Tokyo Metropolis"},
        {135.0, 30.0, 2, "Corner", "Hokkaido Soya Subprefecture"},
        {140.0, 36.0, 3, "OtherCorner", "Chiba Prefecture"},
        {137.125, 33.335, 4, "ANameThatIsMuchTooLongForTheField", "Verylongprefecture Prefecture"},
        {137.0, 36.01, 1, "North", "Aomori Prefecture"},
        {137.0, 33.0, 1, "NoBlank", "Tokyo"},
    };
    const std::vector<AmeRecord> stations = LoadLibraryStations(FakeAccessors(), kMap);
    ASSERT_EQ(stations.size(), 4u);
    EXPECT_EQ(stations[0].Id, 2);
    EXPECT_EQ(stations[0].X, 0);
    EXPECT_EQ(stations[0].Y, 0);
    EXPECT_EQ(Field(stations[0].Belong, 12), std::string("Hokkaido\0\0\0\0", 12));
    // On the right and top bounds: one past the last pixel.
    EXPECT_EQ(stations[1].X, 500);
    EXPECT_EQ(stations[1].Y, 600);
    EXPECT_EQ(stations[1].CD, 3);
    // 212.5 rounds half up; 333.5 (not exactly representable) as the doubles fall.
    EXPECT_EQ(stations[2].X, static_cast<int>((137.125 - 135.0) * 100.0 + 0.5));
    EXPECT_EQ(stations[2].Y, static_cast<int>((33.335 - 30.0) * 100.0 + 0.5));
    EXPECT_EQ(Field(stations[2].Name, 20), std::string("ANameThatIsMuchTooL\0", 20));
    EXPECT_EQ(Field(stations[2].Belong, 12), std::string("Verylongpre\0", 12));
    EXPECT_EQ(stations[2].Id, 4);
    EXPECT_EQ(Field(stations[3].Belong, 12), std::string(12, '\0'));
}

TEST(Stations, InfoFileNumbersEveryLineAndCutsTokens) {
    const auto stations = InfoFile(
        "136.0 31.0 7 Alpha Kanto\n"
        "150.0 31.0 8 Outside Kanto\n"
        "137.0 32.0 70001 ABCDEFGHIJKLMNOPQRSTUVWXY RegionRegionRegio\r\n"
        "not a station line\n"
        "138.0 33.0 9 TwelveLetter Tohoku\n");
    ASSERT_TRUE(stations);
    ASSERT_EQ(stations->size(), 3u);
    EXPECT_EQ((*stations)[0].Id, 1);
    EXPECT_EQ((*stations)[0].CD, 7);
    EXPECT_EQ((*stations)[0].X, 100);
    EXPECT_EQ((*stations)[0].Y, 100);
    EXPECT_EQ((*stations)[1].Id, 3);
    EXPECT_EQ((*stations)[1].CD, static_cast<std::int16_t>(70001));
    EXPECT_EQ(Field((*stations)[1].Name, 20), std::string("ABCDEFGHIJKLMNOPQRS\0", 20));
    EXPECT_EQ(Field((*stations)[1].Belong, 12), std::string("RegionRegio\0", 12));
    EXPECT_EQ((*stations)[2].Id, 5);
    EXPECT_EQ(Field((*stations)[2].Name, 20), std::string("TwelveLetter\0\0\0\0\0\0\0\0", 20));
}

TEST(Stations, InfoFileReadsTheSameInEveryLocale) {
    const std::string text = "136.25 31.5 7 Alpha Kanto\n137.125 35.75 2 Beta Tohoku\n";
    const auto inC = InfoFile(text);
    ASSERT_TRUE(inC);
    ASSERT_EQ(inC->size(), 2u);
    EXPECT_EQ((*inC)[0].X, 125);
    EXPECT_EQ((*inC)[0].Y, 150);
    EXPECT_EQ((*inC)[1].X, 213);
    EXPECT_EQ((*inC)[1].Y, 575);
    for (const char* name : testing_support::UserLocales) {
        testing_support::ScopedLocale locale(name);
        const auto read = InfoFile(text);
        ASSERT_TRUE(read) << name;
        ASSERT_EQ(read->size(), inC->size()) << name;
        EXPECT_EQ(std::memcmp(read->data(), inC->data(), inC->size() * sizeof(AmeRecord)), 0) << name;
    }
}

TEST(Stations, InfoFileLinesAreReadSeventyEightCharactersAtATime) {
    // 90 characters: the first 78 are line 1, the rest (with the line end) line 2.
    const std::string longLine = "136.0 31.0 1 Long Kanto" + std::string(55, ' ') + "137.0 32.0 2 Tail Tohoku\n";
    const auto stations = InfoFile(longLine + "138.0 33.0 3 Third Kinki\n");
    ASSERT_TRUE(stations);
    ASSERT_EQ(stations->size(), 3u);
    EXPECT_EQ((*stations)[1].Id, 2);
    EXPECT_EQ((*stations)[2].Id, 3);
    // A CR LF line end counts as one character, as text mode reads it.
    const auto crlf = InfoFile("136.0 31.0 1 Long Kanto" + std::string(54, ' ') + "\r\n138.0 33.0 3 X Y\r\n");
    ASSERT_TRUE(crlf);
    ASSERT_EQ(crlf->size(), 2u);
    EXPECT_EQ((*crlf)[1].Id, 2);
}

TEST(Stations, EmptyOrMissingInfoFileIsRefused) {
    EXPECT_FALSE(InfoFile(""));
    EXPECT_FALSE(LoadInfoFileStations(std::string("/nonexistent/gm_info.dat"), kMap));
    const auto blank = InfoFile("\n");
    ASSERT_TRUE(blank);
    EXPECT_TRUE(blank->empty());
}

TEST(Stations, SplitMatchesThePlainMatch) {
    std::mt19937 random(11);
    TempDir dir;
    for (int round = 0; round < 20; ++round) {
        std::uniform_int_distribution<int> coordinate(0, 12);
        std::vector<AmeRecord> stations(std::uniform_int_distribution<int>(0, 40)(random));
        for (std::size_t i = 0; i < stations.size(); ++i) {
            std::memset(&stations[i], 0, sizeof(AmeRecord));
            stations[i].X = coordinate(random);
            stations[i].Y = coordinate(random);
            stations[i].Id = static_cast<std::int16_t>(i + 1);
        }
        std::vector<PixelRecord> pixels;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                if (random() % 3 == 0) pixels.push_back({x, y});
        WriteFile(dir.file("tmp.loc"), std::string(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 8));
        std::FILE* file = std::fopen(dir.file("tmp.loc").c_str(), "rb");
        const auto placement = PlaceStations(file, static_cast<std::uint32_t>(pixels.size()), stations);
        std::fclose(file);
        int plainInternal = 0;
        const auto expected = plain::PlaceStations(pixels, stations, plainInternal);
        ASSERT_TRUE(placement);
        EXPECT_EQ(placement->internalCount, plainInternal);
        ASSERT_EQ(placement->selected.size(), expected.size());
        EXPECT_EQ(0, std::memcmp(placement->selected.data(), expected.data(), expected.size() * sizeof(AmeRecord)));
    }
}

TEST(Stations, SplitEdgeCases) {
    TempDir dir;
    std::vector<AmeRecord> stations(3);
    std::memset(stations.data(), 0, 3 * sizeof(AmeRecord));
    stations[0] = {5, 5, 1, 1, {}, {}};
    stations[1] = {2, 2, 1, 2, {}, {}};
    stations[2] = {2, 2, 1, 3, {}, {}};  // shares the pixel of station 2
    const PixelRecord pixels[] = {{2, 2}, {9, 9}};
    WriteFile(dir.file("tmp.loc"), std::string(reinterpret_cast<const char*>(pixels), sizeof pixels));
    std::FILE* file = std::fopen(dir.file("tmp.loc").c_str(), "rb");
    const auto placement = PlaceStations(file, 2, stations);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->internalCount, 2);
    EXPECT_EQ(placement->selected[0].Id, 2);
    EXPECT_EQ(placement->selected[1].Id, 3);
    EXPECT_EQ(placement->selected[2].Id, 1);
    // Fewer records than step 1 counted: a read error.
    std::rewind(file);
    EXPECT_FALSE(PlaceStations(file, 3, stations));
    // No gray pixel: every station is additional.
    const auto none = PlaceStations(file, 0, stations);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->internalCount, 0);
    EXPECT_EQ(none->additionalCount(), 3);
    std::fclose(file);
}
