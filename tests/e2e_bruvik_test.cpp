// The built map resource library: every district has a picture and a MapInfo
// string, the inset strings tile their districts, and every station of every
// range lands on its picture by the map dialog's pixel rule.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Module.h"
#include "platform/Resources.h"

namespace {

struct MapInfo {
    long double west = 0, north = 0, east = 0, south = 0;
    int width = 0, height = 0, first = 0, last = 0;
};

struct Size {
    int width, height;
};

class Bruvik : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bruvik = platform::LoadModule(testing_support::BinDir() + "/libbruvik.so");
        vorbel = platform::LoadModule(testing_support::BinDir() + "/libvorbel.so");
    }
    static void TearDownTestSuite() {
        platform::UnloadModule(bruvik);
        platform::UnloadModule(vorbel);
    }

    void SetUp() override {
        ASSERT_NE(bruvik, nullptr) << platform::LastLoadError();
        ASSERT_NE(vorbel, nullptr) << platform::LastLoadError();
        latitude = platform::Resolve<double (*)(int)>(vorbel, "GetAMeDASLatitude");
        longitude = platform::Resolve<double (*)(int)>(vorbel, "GetAMeDASLongitude");
        whichPref = platform::Resolve<std::int16_t (*)(int)>(vorbel, "Which_Pref");
    }

    static MapInfo Info(int id) {
        char buffer[128];
        EXPECT_GT(platform::LoadResourceString(bruvik, id, buffer, sizeof buffer), 0) << id;
        MapInfo m;
        EXPECT_EQ(std::sscanf(buffer, "%Lf %Lf %Lf %Lf %d %d %d %d", &m.west, &m.north, &m.east, &m.south, &m.width,
                              &m.height, &m.first, &m.last),
                  8)
            << id << ": " << buffer;
        return m;
    }

    // Width and height from the PNG header.
    static Size PictureSize(int code) {
        auto png = platform::LoadResourcePicture(bruvik, "IDB_" + std::to_string(code));
        if (png.size() < 24 || png[1] != 'P' || png[2] != 'N' || png[3] != 'G') return {0, 0};
        auto be32 = [&](int at) { return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
        return {be32(16), be32(20)};
    }

    // Every station first..last on the picture of `m` by the dialog's rule.
    void ExpectInside(const MapInfo& m, int first, int last, int id) {
        long double xScale = m.width / (m.east - m.west), yScale = m.height / (m.south - m.north);
        for (int station = first; station <= last; ++station) {
            double lon = longitude(station - 1), lat = latitude(station - 1);
            int x = static_cast<int>(std::trunc((lon - m.west) * xScale + 0.5L));
            int y = static_cast<int>(std::trunc((lat - m.north) * yScale + 0.5L));
            EXPECT_TRUE(x >= 0 && x <= m.width && y >= 0 && y <= m.height)
                << "station " << station << " at " << x << "," << y << " on " << id;
        }
    }

    static inline platform::ModuleHandle bruvik = nullptr;
    static inline platform::ModuleHandle vorbel = nullptr;
    double (*latitude)(int) = nullptr;
    double (*longitude)(int) = nullptr;
    std::int16_t (*whichPref)(int) = nullptr;
};

const int Districts[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 2001,
                         2002, 2003, 2004, 2005, 2006, 3001, 3002, 3003, 3004, 3005, 3006, 3007, 4001, 4002, 4003,
                         4004, 4005, 4006, 4007, 4008, 4009, 5001, 5002, 5003, 5004, 5005, 5006, 5007, 6001, 6002,
                         6003, 6004, 6005, 6006, 6007, 6008, 6009, 7001, 7002, 7003, 7004, 7005, 7006, 7007, 7008};

TEST_F(Bruvik, EveryDistrictPictureHoldsItsStations) {
    int stations = 0;
    for (int code : Districts) {
        SCOPED_TRACE(code);
        MapInfo m = Info(code);
        Size size = PictureSize(code);
        EXPECT_EQ(size.width, m.width);
        EXPECT_EQ(size.height, m.height);
        // The string's range is exactly the district's stations.
        EXPECT_EQ(whichPref(m.first), code);
        EXPECT_EQ(whichPref(m.last), code);
        if (m.first > 1) { EXPECT_NE(whichPref(m.first - 1), code); }
        if (m.last < 842) { EXPECT_NE(whichPref(m.last + 1), code); }
        stations += m.last - m.first + 1;
        int lastOnOwnBounds = code == 3005 ? 364 : code == 7007 ? 816 : code == 7008 ? 832 : m.last;
        ExpectInside(m, m.first, lastOnOwnBounds, code);
    }
    EXPECT_EQ(stations, 842);
}

struct Insets {
    int district;
    std::vector<int> strings;
    int firstInset;
};

TEST_F(Bruvik, InsetStringsTileTheirDistricts) {
    const Insets tiled[] = {{3005, {3051, 3052, 3053}, 365}, {7007, {7071, 7072}, 817}, {7008, {7081, 7082, 7083, 7084}, 833}};
    for (const Insets& t : tiled) {
        SCOPED_TRACE(t.district);
        MapInfo district = Info(t.district);
        int next = t.firstInset;
        for (int id : t.strings) {
            MapInfo m = Info(id);
            EXPECT_EQ(m.first, next) << id;
            EXPECT_LE(m.first, m.last) << id;
            EXPECT_EQ(m.width, district.width);
            EXPECT_EQ(m.height, district.height);
            ExpectInside(m, m.first, m.last, id);
            next = m.last + 1;
        }
        EXPECT_EQ(next, district.last + 1);
    }
    for (auto [district, id] : {std::pair{6004, 6041}, std::pair{7003, 7031}}) {
        MapInfo d = Info(district), m = Info(id);
        EXPECT_EQ(m.first, d.first) << id;
        EXPECT_EQ(m.last, d.first + 1) << id;
        ExpectInside(m, m.first, m.last, id);
    }
}

// What programs resolve by name for the map dialog: the five dialog exports,
// the two data exports, the district lookup, and the pin classes with their
// type information.
TEST_F(Bruvik, MapDialogExportsResolveByName) {
    for (const char* name : {"ExecMapDialog", "SelectDlg", "SelectDlg2", "MapDlg", "MapDlg2", "_FmPrefect", "_AMeDAS",
                             "Which_Pref", "_ZN4TPinC1EP7QWidget", "_ZN4TPinC1EP7QWidgetii", "_ZN4TPinD1Ev",
                             "_ZN10TPinAttribC1Ev", "_ZN10TPinAttribC1EP4TPin", "_ZN10TPinAttrib6SetDirE4TDir",
                             "_ZN10TPinAttrib8SetBtnWhEi", "_ZTI4TPin", "_ZTI10TPinAttrib"})
        EXPECT_NE(platform::ResolveSymbol(vorbel, name), nullptr) << name;
    auto fmPrefect = static_cast<void* const*>(platform::ResolveSymbol(vorbel, "_FmPrefect"));
    ASSERT_NE(fmPrefect, nullptr);
    EXPECT_EQ(*fmPrefect, nullptr);
    EXPECT_EQ(whichPref(479), 5001);
    EXPECT_EQ(whichPref(706), 6005);
}

TEST_F(Bruvik, ResourceReadsStayInsideTheirBuffers) {
    char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(platform::LoadResourceString(bruvik, 3005, buffer, 10), 9);
    EXPECT_EQ(buffer[9], '\0');
    EXPECT_EQ(buffer[10], 'x');
    EXPECT_EQ(platform::LoadResourceString(bruvik, 9999, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(platform::LoadResourcePicture(bruvik, "IDB_9999").empty());
    EXPECT_TRUE(platform::LoadResourcePicture(bruvik, "IDB_3051").empty());
    // A module without a resource table has neither.
    EXPECT_EQ(platform::LoadResourceString(vorbel, 3005, buffer, sizeof buffer), 0);
    EXPECT_TRUE(platform::LoadResourcePicture(vorbel, "IDB_3005").empty());
    EXPECT_EQ(platform::LoadResourceString(nullptr, 3005, buffer, sizeof buffer), 0);
}

}  // namespace
