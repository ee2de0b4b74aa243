// The window-free side of the map dialog: MapInfo strings, the pixel rule and
// the pin data of each station.
#include <gtest/gtest.h>

#include <climits>

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

TEST(StationPins, DirectionAndStickOfEveryStation) {
    for (int id = 1; id <= 842; ++id) {
        TDir d = vorbel::PinDirectionOf(id);
        EXPECT_TRUE(d >= dt10Key8 && d <= dt10Key9) << id;
    }
    EXPECT_EQ(vorbel::PinDirectionOf(0), dt10Key4);
    EXPECT_EQ(vorbel::PinDirectionOf(843), dt10Key4);
    EXPECT_EQ(vorbel::StickLengthOf(282), 36);
    EXPECT_EQ(vorbel::StickLengthOf(757), 48);
    EXPECT_EQ(vorbel::StickLengthOf(281), 24);
}

}  // namespace
