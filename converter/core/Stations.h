// Stations on the pixel grid of a gray map, without windows: the 44-byte
// station record, loading the stations inside the map bounds from the
// library's accessors or from gm_info.dat, the pixel mapping, and the split
// into internal stations (on a gray pixel) and additional ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vorbel/Stations.h"

namespace strova {

#pragma pack(push, 1)
struct AmeRecord {
    std::int32_t X;      // pixel column, 0 = left edge
    std::int32_t Y;      // pixel row from the bottom edge
    std::int16_t CD;     // data volume (library) or the line's code (gm_info.dat)
    std::int16_t Id;     // station ID (library) or 1-based line number (gm_info.dat)
    char Name[20];       // at most 19 characters, NUL-padded
    char Belong[12];     // at most 11 characters, NUL-padded
};
#pragma pack(pop)
static_assert(sizeof(AmeRecord) == 44);

// The map bounds in degrees and the bitmap's size in pixels.
struct MapConfig {
    double LeftLon = 0;
    double BottomLat = 0;
    double RightLon = 0;
    double TopLat = 0;
    std::int32_t MapWidth = 0;
    std::int32_t MapHeight = 0;
};

// The library's station accessors (index 0..841), as the converter binds them.
// Their types come from the library's own declarations, so that a changed
// signature there fails this build instead of a call at run time.
struct StationAccessors {
    decltype(&::GetAMeDASLongitude) GetAMeDASLongitude = nullptr;
    decltype(&::GetAMeDASLatitude) GetAMeDASLatitude = nullptr;
    decltype(&::GetAMeDASVolume) GetAMeDASVolume = nullptr;
    decltype(&::GetAMeDASPron) GetAMeDASPron = nullptr;
    decltype(&::GetAMeDASBelongPron) GetAMeDASBelongPron = nullptr;
};

// The five accessors, each resolved by its export name through `resolve`
// (which gives the export's address, or throws or gives null when it is missing).
StationAccessors BindStationAccessors(const std::function<void*(const char*)>& resolve);

constexpr int kLibraryStationCount = 842;

// Bounds test (all four inclusive) and rounding of degrees to pixels.
class PixelMapping {
public:
    explicit PixelMapping(const MapConfig& map);
    bool Inside(double longitude, double latitude) const;
    // Column and row of a point inside the bounds; a point on the right or
    // top bound gets MapWidth or MapHeight, one past the last pixel.
    std::int32_t X(double longitude) const;
    std::int32_t Y(double latitude) const;

private:
    MapConfig map_;
    double scaleX_;
    double scaleY_;
};

// Copies `text` into a NUL-padded field, cut to the field size minus one.
template <std::size_t N>
void CopyField(char (&field)[N], const char* text) {
    std::size_t i = 0;
    for (; i + 1 < N && text[i] != '\0'; ++i) field[i] = text[i];
    for (; i < N; ++i) field[i] = '\0';
}

// The stations of the library inside the bounds, in index order.
std::vector<AmeRecord> LoadLibraryStations(const StationAccessors& library, const MapConfig& map);

// The stations of a gm_info.dat stream inside the bounds, in line order; a
// line is "%lf %lf %d %s %s" (longitude, latitude, code, name, region), read
// at most 78 characters at a time, and its 1-based number is the station's
// Id. nullopt when the stream holds no line. A line whose five fields can't
// all be read is skipped and keeps its number.
std::optional<std::vector<AmeRecord>> LoadInfoFileStations(std::FILE* stream, const MapConfig& map);
// The same from the file at `path`; nullopt also when it can't be opened or
// is no regular file.
std::optional<std::vector<AmeRecord>> LoadInfoFileStations(const std::string& path, const MapConfig& map);

// Stations split by the gray pixels: `selected` holds the internal stations
// (those whose pixel is a gray pixel) and then the additional ones, each
// group in the order of the input.
struct Placement {
    std::vector<AmeRecord> selected;
    int internalCount = 0;
    int additionalCount() const { return static_cast<int>(selected.size()) - internalCount; }
};

// Reads `grayCount` pixel records from the temporary pixel file in blocks and
// splits the stations; nullopt when they can't all be read. Each
// station counts once however many pixel records name its pixel.
std::optional<Placement> PlaceStations(std::FILE* pixels, std::uint32_t grayCount,
                                       const std::vector<AmeRecord>& stations);

}  // namespace strova
