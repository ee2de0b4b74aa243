#include "DistrictMap.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "platform/Numbers.h"
#include "vorbel/Stations.h"

namespace vorbel {

namespace {

// Made by tools/place_pin_labels.py for the pictures of the resource library.
constexpr std::int8_t StationPinDirections[AMeDASCount] = {
#include "StationPinDirections.inc"
};

}  // namespace

int ParseMapInfo(const char* text, MapInfo& info) {
    int read = platform::ScanNumbers(text, "%Lf %Lf %Lf %Lf %d %d %d %d", &info.West, &info.North, &info.East,
                                     &info.South, &info.Width, &info.Height, &info.First, &info.Last);
    return read < 0 ? 0 : read;
}

bool IsUsable(const MapInfo& info) {
    return info.Width > 0 && info.Height > 0 && info.East > info.West && info.North > info.South &&
           info.First >= 1 && info.First <= info.Last && info.Last <= AMeDASCount;
}

namespace {

// Cut toward zero. Bounds from a damaged string can put a station far
// beyond any int, or nowhere (NaN): such a pixel stays off every picture.
int ToPixel(long double value) {
    value = std::trunc(value);
    if (!(value > INT_MIN)) return INT_MIN;
    return value < INT_MAX ? static_cast<int>(value) : INT_MAX;
}

}  // namespace

Pixel PixelOf(const MapInfo& info, double longitude, double latitude) {
    long double xScale = info.Width / (info.East - info.West);
    long double yScale = info.Height / (info.South - info.North);
    return {ToPixel((longitude - info.West) * xScale + 0.5L), ToPixel((latitude - info.North) * yScale + 0.5L)};
}

bool IsOnPicture(const MapInfo& info, Pixel p) {
    return p.X >= 0 && p.X <= info.Width && p.Y >= 0 && p.Y <= info.Height;
}

TDir PinDirectionOf(int id) {
    return id >= 1 && id <= AMeDASCount ? static_cast<TDir>(StationPinDirections[id - 1]) : dt10Key4;
}

int StickLengthOf(int id) {
    switch (id) {
        case 282: return 36;
        case 757: return 48;
        default: return TPinAttrib::MinLength;
    }
}

}  // namespace vorbel
