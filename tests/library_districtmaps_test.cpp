// The committed district pictures and map strings of the resource library:
// every string parses, every district has its picture at the string's size,
// the inset ranges tile their districts, and every station of every range
// lands inside its picture by the map dialog's pixel rule.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "vorbel/Stations.h"

namespace {

struct MapInfo {
    long double West, North, East, South;
    int Width, Height, First, Last;
};

const std::string kMaps = "/bruvik/maps/";

std::map<int, std::string> ReadStrings() {
    std::istringstream in(testing_support::ReadFile(testing_support::SourceDir() + kMaps + "MapInfo.txt"));
    std::map<int, std::string> strings;
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos) strings[std::stoi(line.substr(0, tab))] = line.substr(tab + 1);
    }
    return strings;
}

MapInfo Parse(const std::string& text) {
    MapInfo info{};
    EXPECT_EQ(std::sscanf(text.c_str(), "%Lf %Lf %Lf %Lf %d %d %d %d", &info.West, &info.North, &info.East,
                          &info.South, &info.Width, &info.Height, &info.First, &info.Last),
              8)
        << text;
    return info;
}

std::string Belong(int id) {
    char buffer[StationTextBufferSize];
    return GetAMeDASBelongPron(id - 1, buffer);
}

// Station IDs placed by `info` from `first` to `last` that fall outside the
// picture, computed the way the map dialog computes them.
std::string OutsidePicture(const MapInfo& info, int first, int last) {
    const long double xScale = info.Width / (info.East - info.West);
    const long double yScale = info.Height / (info.South - info.North);
    std::string outside;
    for (int id = first; id <= last; ++id) {
        const double lon = GetAMeDASLongitude(id - 1);
        const double lat = GetAMeDASLatitude(id - 1);
        const long x = std::trunc((lon - info.West) * xScale + 0.5L);
        const long y = std::trunc((lat - info.North) * yScale + 0.5L);
        if (x < 0 || y < 0 || x > info.Width || y > info.Height) outside += std::to_string(id) + " ";
    }
    return outside;
}

// Width and height from a PNG's header chunk.
std::pair<int, int> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto u32 = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {u32(16), u32(20)};
}

// The inset strings of the districts that have them, in placement order,
// and the last station each district places on its own bounds.
const std::map<int, std::pair<int, std::vector<int>>> kInsets{
    {3005, {364, {3051, 3052, 3053}}},
    {7007, {816, {7071, 7072}}},
    {7008, {832, {7081, 7082, 7083, 7084}}},
};
const std::map<int, int> kFirstTwoInsets{{6004, 6041}, {7003, 7031}};

TEST(DistrictMaps, EveryDistrictHasAStringAndAPictureOfItsSize) {
    const auto strings = ReadStrings();
    std::set<int> covered;
    int districts = 0;
    for (const auto& [id, text] : strings) {
        EXPECT_LE(text.size(), 127u) << id;
        if (id % 1000 > 14) continue;  // an inset string
        ++districts;
        const MapInfo info = Parse(text);
        EXPECT_EQ(PngSize(testing_support::ReadFile(testing_support::SourceDir() + kMaps + "IDB_" +
                                                    std::to_string(id) + ".png")),
                  std::make_pair(info.Width, info.Height))
            << id;
        // The range is one whole district of the station table.
        EXPECT_NE(Belong(info.First), Belong(info.First - 1)) << id;
        EXPECT_NE(Belong(info.Last), Belong(info.Last + 1)) << id;
        EXPECT_EQ(Belong(info.First), Belong(info.Last)) << id;
        for (int station = info.First; station <= info.Last; ++station) EXPECT_TRUE(covered.insert(station).second);
    }
    EXPECT_EQ(districts, 60);
    EXPECT_EQ(covered.size(), 842u);
    EXPECT_EQ(strings.size(), 60u + 11u);
    EXPECT_EQ(Parse(strings.at(3005)).First, 358);
    EXPECT_EQ(Parse(strings.at(5001)).First, 479);  // Mie lies among Chubu's rows
    EXPECT_EQ(Parse(strings.at(6005)).Last, 720);   // Yamaguchi follows Kochi
}

TEST(DistrictMaps, EveryPlacedStationLiesInsideItsPicture) {
    const auto strings = ReadStrings();
    for (const auto& [id, text] : strings) {
        if (id % 1000 > 14) continue;
        const MapInfo district = Parse(text);
        const auto insets = kInsets.find(id);
        const int ownLast = insets == kInsets.end() ? district.Last : insets->second.first;
        EXPECT_EQ(OutsidePicture(district, district.First, ownLast), "") << id;
        if (insets == kInsets.end()) continue;
        // The inset ranges continue the district's own range without a gap
        // and end with the district.
        int next = ownLast + 1;
        for (int insetId : insets->second.second) {
            const MapInfo inset = Parse(strings.at(insetId));
            EXPECT_EQ(inset.First, next) << insetId;
            EXPECT_LE(inset.First, inset.Last) << insetId;
            EXPECT_EQ(std::make_pair(inset.Width, inset.Height), std::make_pair(district.Width, district.Height));
            EXPECT_EQ(OutsidePicture(inset, inset.First, inset.Last), "") << insetId;
            next = inset.Last + 1;
        }
        EXPECT_EQ(next, district.Last + 1) << id;
    }
}

TEST(DistrictMaps, FirstTwoStationsOfShimaneAndNagasakiHaveAnInset) {
    const auto strings = ReadStrings();
    for (const auto& [district, insetId] : kFirstTwoInsets) {
        const MapInfo own = Parse(strings.at(district));
        const MapInfo inset = Parse(strings.at(insetId));
        EXPECT_EQ(inset.First, own.First) << insetId;
        EXPECT_EQ(inset.Last, own.First + 1) << insetId;
        EXPECT_EQ(OutsidePicture(inset, inset.First, inset.Last), "") << insetId;
    }
}

}  // namespace
