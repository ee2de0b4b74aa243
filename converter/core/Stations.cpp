#include "core/Stations.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/BmpCore.h"
#include "core/FileIo.h"

namespace strova {

namespace {

// Truncation toward zero, kept inside the int range for any double.
std::int32_t TruncateToInt(double value) {
    if (!(value > INT32_MIN)) return INT32_MIN;
    if (!(value < INT32_MAX)) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

AmeRecord EmptyRecord() {
    AmeRecord record;
    std::memset(&record, 0, sizeof record);
    return record;
}

// One line of a text stream opened the way text mode reads it (CR LF is one
// line end), at most `limit` characters with its line end; the rest of a
// longer line is the next line. False at the end of the stream.
bool ReadTextLine(std::FILE* stream, std::string& line, std::size_t limit) {
    line.clear();
    int c = 0;
    while (line.size() < limit && (c = std::getc(stream)) != EOF) {
        if (c == '\r') {
            const int next = std::getc(stream);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, stream);
        }
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !line.empty();
}

// Positions of stations for the match with the gray pixels: an open-addressing
// table of the distinct (X, Y) keys, each with a matched flag.
class PositionTable {
public:
    explicit PositionTable(const std::vector<AmeRecord>& stations)
        : mask_(std::bit_ceil(2 * stations.size() + 2) - 1), keys_(mask_ + 1), used_(mask_ + 1, 0),
          matched_(mask_ + 1, 0) {
        slotOf_.reserve(stations.size());
        for (const AmeRecord& s : stations) slotOf_.push_back(Insert(Key(s.X, s.Y)));
    }
    void Mark(std::int32_t x, std::int32_t y) {
        const std::uint64_t key = Key(x, y);
        for (std::size_t slot = Hash(key);; slot = (slot + 1) & mask_) {
            if (!used_[slot]) return;
            if (keys_[slot] == key) {
                matched_[slot] = 1;
                return;
            }
        }
    }
    bool Matched(std::size_t station) const { return matched_[slotOf_[station]] != 0; }

private:
    static std::uint64_t Key(std::int32_t x, std::int32_t y) {
        return (std::uint64_t{static_cast<std::uint32_t>(x)} << 32) | static_cast<std::uint32_t>(y);
    }
    std::size_t Hash(std::uint64_t key) const { return (key * 0x9E3779B97F4A7C15ull >> 40) & mask_; }
    std::size_t Insert(std::uint64_t key) {
        std::size_t slot = Hash(key);
        while (used_[slot] && keys_[slot] != key) slot = (slot + 1) & mask_;
        used_[slot] = 1;
        keys_[slot] = key;
        return slot;
    }

    std::size_t mask_;
    std::vector<std::uint64_t> keys_;
    std::vector<std::uint8_t> used_;
    std::vector<std::uint8_t> matched_;
    std::vector<std::size_t> slotOf_;
};

}  // namespace

PixelMapping::PixelMapping(const MapConfig& map)
    : map_(map),
      scaleX_(static_cast<double>(map.MapWidth) / (map.RightLon - map.LeftLon)),
      scaleY_(static_cast<double>(map.MapHeight) / (map.TopLat - map.BottomLat)) {}

bool PixelMapping::Inside(double longitude, double latitude) const {
    return map_.LeftLon <= longitude && longitude <= map_.RightLon && map_.BottomLat <= latitude &&
           latitude <= map_.TopLat;
}

std::int32_t PixelMapping::X(double longitude) const {
    return TruncateToInt((longitude - map_.LeftLon) * scaleX_ + 0.5);
}

std::int32_t PixelMapping::Y(double latitude) const {
    return TruncateToInt((latitude - map_.BottomLat) * scaleY_ + 0.5);
}

std::vector<AmeRecord> LoadLibraryStations(const StationAccessors& library, const MapConfig& map) {
    const PixelMapping mapping(map);
    std::vector<AmeRecord> stations;
    for (int index = 0; index < kLibraryStationCount; ++index) {
        const double longitude = library.GetAMeDASLongitude(index);
        const double latitude = library.GetAMeDASLatitude(index);
        if (!mapping.Inside(longitude, latitude)) continue;
        char name[52] = {};
        char belong[52] = {};
        library.GetAMeDASPron(index, name);
        library.GetAMeDASBelongPron(index, belong);
        // The English prefecture text up to its first blank ("Hokkaido Soya
        // Subprefecture" is filed under "Hokkaido"); no blank, no word.
        char* blank = std::strchr(belong, ' ');
        if (blank) *blank = '\0';
        AmeRecord record = EmptyRecord();
        record.X = mapping.X(longitude);
        record.Y = mapping.Y(latitude);
        record.CD = static_cast<std::int16_t>(library.GetAMeDASVolume(index));
        record.Id = static_cast<std::int16_t>(index + 1);
        CopyField(record.Name, name);
        CopyField(record.Belong, blank ? belong : "");
        stations.push_back(record);
    }
    return stations;
}

std::optional<std::vector<AmeRecord>> LoadInfoFileStations(std::FILE* stream, const MapConfig& map) {
    constexpr std::size_t kLineLimit = 78;
    const PixelMapping mapping(map);
    std::vector<AmeRecord> stations;
    std::string line;
    long long lineNumber = 0;
    while (ReadTextLine(stream, line, kLineLimit)) {
        ++lineNumber;
        double longitude = 0;
        double latitude = 0;
        long long code = 0;
        char name[kLineLimit + 1] = {};
        char region[kLineLimit + 1] = {};
        if (std::sscanf(line.c_str(), "%lf %lf %lld %78s %78s", &longitude, &latitude, &code, name, region) != 5)
            continue;
        if (!mapping.Inside(longitude, latitude)) continue;
        AmeRecord record = EmptyRecord();
        record.X = mapping.X(longitude);
        record.Y = mapping.Y(latitude);
        record.CD = static_cast<std::int16_t>(code);
        record.Id = static_cast<std::int16_t>(lineNumber);
        CopyField(record.Name, name);
        CopyField(record.Belong, region);
        stations.push_back(record);
    }
    if (lineNumber == 0) return std::nullopt;
    return stations;
}

std::optional<std::vector<AmeRecord>> LoadInfoFileStations(const std::string& path, const MapConfig& map) {
    FilePtr stream(std::fopen(path.c_str(), "rb"));
    if (!stream) return std::nullopt;
    return LoadInfoFileStations(stream.get(), map);
}

std::optional<Placement> PlaceStations(std::FILE* pixels, std::uint32_t grayCount,
                                       const std::vector<AmeRecord>& stations) {
    PositionTable table(stations);
    std::vector<PixelRecord> block(std::min<std::uint32_t>(grayCount, 1u << 16));
    for (std::uint32_t done = 0; done < grayCount;) {
        const std::size_t want = std::min<std::size_t>(block.size(), grayCount - done);
        if (std::fread(block.data(), sizeof(PixelRecord), want, pixels) != want) return std::nullopt;
        for (std::size_t i = 0; i < want; ++i) table.Mark(block[i].x, block[i].y);
        done += static_cast<std::uint32_t>(want);
    }
    Placement placement;
    placement.selected.reserve(stations.size());
    for (std::size_t s = 0; s < stations.size(); ++s)
        if (table.Matched(s)) placement.selected.push_back(stations[s]);
    placement.internalCount = static_cast<int>(placement.selected.size());
    for (std::size_t s = 0; s < stations.size(); ++s)
        if (!table.Matched(s)) placement.selected.push_back(stations[s]);
    return placement;
}

}  // namespace strova
