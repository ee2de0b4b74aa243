// The window-free side of the map dialog: MapInfo strings, the pixel rule and
// the pin data of each station.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "DistrictMap.h"
#include "Locales.h"
#include "vorbel/Pin.h"

namespace {

using vorbel::MapInfo;
using vorbel::Pixel;

MapInfo Parsed(const char* text) {
    MapInfo info;
    EXPECT_EQ(vorbel::ParseMapInfo(text, info), 8) << text;
    return info;
}

TEST(MapInfoString, ValuesTheTextLacksKeepTheirContents) {
    MapInfo info = Parsed("139.0 36.0 140.0 35.0 400 400 358 369");
    EXPECT_EQ(info.West, 139.0L);
    EXPECT_EQ(info.South, 35.0L);
    EXPECT_EQ(info.Height, 400);
    EXPECT_EQ(info.Last, 369);
    EXPECT_EQ(vorbel::ParseMapInfo("138.5 37.5 141", info), 3);
    EXPECT_EQ(info.West, 138.5L);
    EXPECT_EQ(info.East, 141.0L);
    EXPECT_EQ(info.South, 35.0L);
    EXPECT_EQ(info.First, 358);
    EXPECT_EQ(vorbel::ParseMapInfo("", info), 0);
    EXPECT_EQ(vorbel::ParseMapInfo("x 1 2", info), 0);
    EXPECT_EQ(info.West, 138.5L);
}

TEST(MapInfoString, ReadsTheSameInEveryLocale) {
    for (const char* name : testing_support::UserLocales) {
        testing_support::ScopedLocale locale(name);
        MapInfo info = Parsed("139.25 36.5 140.75 35.125 400 300 358 369");
        EXPECT_EQ(info.West, 139.25L) << name;
        EXPECT_EQ(info.North, 36.5L) << name;
        EXPECT_EQ(info.East, 140.75L) << name;
        EXPECT_EQ(info.South, 35.125L) << name;
        EXPECT_EQ(info.Width, 400) << name;
        EXPECT_EQ(info.Last, 369) << name;
    }
}

TEST(MapInfoString, UsableOnlyWithSizeBoundsAndStations) {
    EXPECT_TRUE(vorbel::IsUsable(Parsed("139 36 140 35 400 400 358 369")));
    for (const char* bad : {"139 36 139 35 400 400 358 369", "139 35 140 36 400 400 358 369",
                            "139 36 140 35 0 400 358 369", "139 36 140 35 400 -1 358 369",
                            "139 36 140 35 400 400 0 369", "139 36 140 35 400 400 369 358",
                            "139 36 140 35 400 400 358 843"})
        EXPECT_FALSE(vorbel::IsUsable(Parsed(bad))) << bad;
}

TEST(PixelRule, ScaledPlusAHalfCutTowardZero) {
    MapInfo info = Parsed("139.0 36.0 140.0 35.0 400 400 1 2");
    Pixel p = vorbel::PixelOf(info, 139.5, 35.25);
    EXPECT_EQ(p.X, 200);
    EXPECT_EQ(p.Y, 300);
    // With the default pin and a 50-pixel label button the label stands at
    // the anchor plus the pin's offsets.
    TPinAttrib pin;
    EXPECT_EQ(p.X + pin.BtnLeft(), 219);
    EXPECT_EQ(p.Y + pin.BtnTop(), 289);
    // West of the picture: -3.5 is cut to -3, not floored to -4.
    EXPECT_EQ(vorbel::PixelOf(info, 138.99, 36.0).X, -3);
    EXPECT_EQ(vorbel::PixelOf(info, 140.0, 35.0).Y, 400);
}

TEST(PixelRule, OnThePictureIncludesTheFarEdges) {
    MapInfo info = Parsed("139.0 36.0 140.0 35.0 400 300 1 2");
    EXPECT_TRUE(vorbel::IsOnPicture(info, {0, 0}));
    EXPECT_TRUE(vorbel::IsOnPicture(info, {400, 300}));
    EXPECT_FALSE(vorbel::IsOnPicture(info, {401, 0}));
    EXPECT_FALSE(vorbel::IsOnPicture(info, {0, 301}));
    EXPECT_FALSE(vorbel::IsOnPicture(info, {-1, 0}));
    EXPECT_FALSE(vorbel::IsOnPicture(info, {0, -1}));
}

TEST(PixelRule, BoundsOfADamagedStringKeepStationsOffThePicture) {
    MapInfo narrow = Parsed("139 36 139.0000000001 35 400 400 1 2");
    ASSERT_TRUE(vorbel::IsUsable(narrow));
    EXPECT_FALSE(vorbel::IsOnPicture(narrow, vorbel::PixelOf(narrow, 140.0, 35.5)));
    EXPECT_FALSE(vorbel::IsOnPicture(narrow, vorbel::PixelOf(narrow, 138.0, 35.5)));
    EXPECT_EQ(vorbel::PixelOf(narrow, 140.0, 35.5).X, INT_MAX);
    MapInfo endless = Parsed("-inf 36 140 35 400 400 1 2");
    ASSERT_TRUE(vorbel::IsUsable(endless));
    EXPECT_FALSE(vorbel::IsOnPicture(endless, vorbel::PixelOf(endless, 139.5, 35.5)));
}

// The pins that point anywhere but right, by station ID, as the label
// placement of our district pictures chose them; every other station's label
// stands right of its pin. A table read one station off, or by index where an
// ID is meant, moves every ID of this list.
const std::map<TDir, std::vector<int>> PinsNotPointingRight = {
    {dt10Key8, {11, 44, 107, 142, 187, 250, 266, 402, 409, 514, 553, 776}},
    {dt10Key7, {407, 841}},
    {dt10Key1, {21, 25, 203, 644, 646, 680}},
    {dt10Key2, {105, 152, 215, 262, 324, 379, 389, 399, 480, 510, 756, 783, 790, 818, 831}},
    {dt10Key3, {647, 754}},
    {dt10Key6, {9, 15, 17, 19, 20, 23, 28, 39, 54, 57, 60, 70, 87, 89, 114, 117, 120, 125, 148, 176, 192,
                196, 214, 220, 223, 240, 272, 278, 319, 331, 348, 367, 372, 397, 474, 475, 494, 496, 501, 502,
                513, 516, 534, 576, 583, 592, 607, 640, 642, 643, 688, 694, 700, 747, 750, 753, 755, 760, 780,
                792, 817, 819, 835, 837, 842}},
    {dt10Key9, {10, 24, 26, 839}},
};

TEST(StationPins, DirectionAndStickOfEveryStation) {
    std::map<TDir, std::vector<int>> notRight;
    std::map<int, int> longSticks;
    for (int id = 1; id <= 842; ++id) {
        if (vorbel::PinDirectionOf(id) != dt10Key4) notRight[vorbel::PinDirectionOf(id)].push_back(id);
        if (vorbel::StickLengthOf(id) != TPinAttrib::MinLength) longSticks[id] = vorbel::StickLengthOf(id);
    }
    EXPECT_EQ(notRight, PinsNotPointingRight);
    EXPECT_EQ(longSticks, (std::map<int, int>{{282, 36}, {757, 48}}));
    EXPECT_EQ(TPinAttrib::MinLength, 24);
    // IDs outside the table get the default pin.
    for (int id : {0, -1, 843}) {
        EXPECT_EQ(vorbel::PinDirectionOf(id), dt10Key4) << id;
        EXPECT_EQ(vorbel::StickLengthOf(id), 24) << id;
    }
}

}  // namespace
