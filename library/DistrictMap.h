// The window-free side of the station-selection map: the MapInfo strings of
// the resource library, the pixel rule that puts a station on a district
// picture, and each station's pin direction and stick length.
#pragma once

#include <cstdint>

#include "vorbel/Pin.h"

namespace vorbel {

// One MapInfo string: the picture's bounds, the pixel size they spread over
// and a range of station IDs.
struct MapInfo {
    long double West = 0, North = 0, East = 0, South = 0;
    int Width = 0, Height = 0;
    int First = 0, Last = 0;
};

constexpr int MapInfoBufferSize = 128;

// Reads "west north east south width height first last" into `info`; values
// the text does not supply keep their previous contents. Returns how many
// values were read.
int ParseMapInfo(const char* text, MapInfo& info);

// True when all eight values make sense together: a positive size, bounds
// that are not empty and a range of stations of the table.
bool IsUsable(const MapInfo& info);

struct Pixel {
    int X, Y;
};

// Where the station with this ID lands on the picture of `info`: scaled,
// plus a half, cut toward zero.
Pixel PixelOf(const MapInfo& info, double longitude, double latitude);

// True for 0 <= x <= width and 0 <= y <= height.
bool IsOnPicture(const MapInfo& info, Pixel p);

// The pin direction of the station with this ID (1..842).
TDir PinDirectionOf(int id);
// Its stick length: the pin default except for a few stations whose label
// would otherwise cover a neighbour.
int StickLengthOf(int id);

}  // namespace vorbel
