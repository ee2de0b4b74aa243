// The all-Japan gray map the benchmark converts, made from a land mask that is
// committed with the sources (bench/JapanLandMask.inc, generated from the
// GSHHG shorelines by tools/make_gray_map.py), so no map tool is needed here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// Bounds of the map in decimal degrees (Tokyo Datum, like the station table),
// in the order the bounds dialog takes them.
constexpr double kJapanLeftLon = 122.9;
constexpr double kJapanBottomLat = 24.0;
constexpr double kJapanRightLon = 146.0;
constexpr double kJapanTopLat = 45.6;

// Size of the committed mask; a map of this size reproduces it pixel for pixel.
int JapanMaskWidth();
int JapanMaskHeight();
// Land pixels of the full-size map.
long JapanMaskLandPixels();

// Decodes run-length mask rows one after another, bottom row first. A row
// starts with sea and alternates sea and land runs; each run length is
// base-32 digits, least significant first, one character each from
// "A-Za-z0-9+/", where the upper half of that alphabet means "more follow".
class LandMaskReader {
public:
    LandMaskReader(std::string_view runs, int width);
    // The land flags (0 or 1) of the next row; false when the runs are
    // exhausted or do not add up to the width.
    bool NextRow(std::vector<std::uint8_t>& flags);
    // True once every character has been used.
    bool AtEnd() const { return pos_ == runs_.size(); }

private:
    bool NextLength(int& length);

    std::string_view runs_;
    std::size_t pos_ = 0;
    int width_;
};

// Writes the all-Japan gray map as a 24-bit bottom-up BMP of width x height
// pixels: land RGB 192,192,192, sea blue. Pixel (x, y) shows the mask node
// nearest to longitude kJapanLeftLon + x * (kJapanRightLon - kJapanLeftLon) /
// width and latitude kJapanBottomLat + y * (kJapanTopLat - kJapanBottomLat) /
// height, the grid stations are placed on, so smaller maps (a quick run)
// keep their coasts where the stations expect them. On failure returns false
// with a message in *error and removes the partial file.
bool WriteJapanGrayMap(const std::string& bmpPath, int width, int height, std::string* error);

}  // namespace bench
