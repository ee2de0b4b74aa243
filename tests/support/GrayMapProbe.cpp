#include "GrayMapProbe.h"

#include <fstream>
#include <sstream>

#include "TestSupport.h"

namespace testing_support {
namespace {

// A packed angle (degrees * 1000 + minutes * 10 + tenths) in decimal degrees,
// computed as the library computes it.
double Decimal(long packed) {
    const long degrees = packed / 1000;
    return degrees + static_cast<double>(static_cast<long double>(packed - 1000 * degrees) * (1.0L / 600.0L));
}

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

}  // namespace

BmpPicture::BmpPicture(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 54) return;
    width_ = static_cast<std::int32_t>(U32(18));
    height_ = static_cast<std::int32_t>(U32(22));
    stride_ = (3 * static_cast<std::size_t>(width_) + 3) / 4 * 4;
}

std::uint32_t BmpPicture::U32(std::size_t offset) const {
    return U16(offset) | static_cast<std::uint32_t>(U16(offset + 2)) << 16;
}

std::uint16_t BmpPicture::U16(std::size_t offset) const {
    return static_cast<std::uint8_t>(bytes_.at(offset)) | static_cast<std::uint8_t>(bytes_.at(offset + 1)) << 8;
}

bool BmpPicture::Gray(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return bytes_.compare(54 + y * stride_ + 3 * static_cast<std::size_t>(x), 3, "\xC0\xC0\xC0") == 0;
}

long BmpPicture::GrayCount() const {
    long count = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) count += Gray(x, y);
    return count;
}

long BmpPicture::OtherThan(const std::string& bgr) const {
    long count = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            count += !Gray(x, y) && bytes_.compare(54 + y * stride_ + 3 * static_cast<std::size_t>(x), 3, bgr) != 0;
    return count;
}

std::vector<StationOnMap> PlaceStations(const BmpPicture& map, const MapBounds& bounds) {
    std::ifstream csv(SourceDir() + "/library/data/amedas_stations.csv");
    std::string line;
    std::getline(csv, line);  // column names
    const double scaleX = map.Width() / (bounds.RightLon - bounds.LeftLon);
    const double scaleY = map.Height() / (bounds.TopLat - bounds.BottomLat);
    std::vector<StationOnMap> placed;
    while (std::getline(csv, line)) {
        const std::vector<std::string> fields = SplitCsv(line);
        const double lat = Decimal(std::stol(fields.at(8)));
        const double lon = Decimal(std::stol(fields.at(9)));
        if (lon < bounds.LeftLon || lon > bounds.RightLon || lat < bounds.BottomLat || lat > bounds.TopLat) continue;
        const int x = static_cast<int>((lon - bounds.LeftLon) * scaleX + 0.5);
        const int y = static_cast<int>((lat - bounds.BottomLat) * scaleY + 0.5);
        placed.push_back({fields.at(3), map.Gray(x, y)});
    }
    return placed;
}

}  // namespace testing_support
