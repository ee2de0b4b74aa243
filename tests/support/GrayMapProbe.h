// Reading back gray maps in tests: a 24-bit BMP held whole, and the stations
// of the committed station table placed on it the way the converter places
// them (nearest grid node, bounds inclusive).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct MapBounds {
    double LeftLon, BottomLat, RightLon, TopLat;
};

class BmpPicture {
public:
    // The whole file; a file too short for its headers has width and height 0.
    explicit BmpPicture(std::string bytes);
    std::uint32_t U32(std::size_t offset) const;
    std::uint16_t U16(std::size_t offset) const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t Stride() const { return stride_; }
    std::size_t Size() const { return bytes_.size(); }
    // Pixel (x, y), y counted from the bottom row, is RGB 192,192,192.
    bool Gray(int x, int y) const;
    long GrayCount() const;
    // Number of pixels that are neither gray nor `bgr` (stored blue, green, red).
    long OtherThan(const std::string& bgr) const;

private:
    std::string bytes_;
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
};

struct StationOnMap {
    std::string Pron;
    bool Gray;  // its pixel is a gray pixel of the map
};

// Every station of library/data/amedas_stations.csv inside `bounds`, with
// whether the pixel the converter maps it to is gray.
std::vector<StationOnMap> PlaceStations(const BmpPicture& map, const MapBounds& bounds);

}  // namespace testing_support
