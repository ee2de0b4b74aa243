#include "core/Stations.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <thread>

#include "core/BmpCore.h"
#include "core/FileIo.h"
#include "core/Parallel.h"
#include "platform/Numbers.h"

namespace strova {

StationAccessors BindStationAccessors(const std::function<void*(const char*)>& resolve) {
    StationAccessors a;
    a.GetAMeDASLongitude = reinterpret_cast<decltype(a.GetAMeDASLongitude)>(resolve("GetAMeDASLongitude"));
    a.GetAMeDASLatitude = reinterpret_cast<decltype(a.GetAMeDASLatitude)>(resolve("GetAMeDASLatitude"));
    a.GetAMeDASVolume = reinterpret_cast<decltype(a.GetAMeDASVolume)>(resolve("GetAMeDASVolume"));
    a.GetAMeDASPron = reinterpret_cast<decltype(a.GetAMeDASPron)>(resolve("GetAMeDASPron"));
    a.GetAMeDASBelongPron = reinterpret_cast<decltype(a.GetAMeDASBelongPron)>(resolve("GetAMeDASBelongPron"));
    return a;
}

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
// table of the distinct (X, Y) keys, behind a bit
// per pixel of the stations' bounding box that turns most pixels away at once.
class PositionTable {
public:
    explicit PositionTable(const std::vector<AmeRecord>& stations)
        : mask_(std::bit_ceil(2 * stations.size() + 2) - 1), keys_(mask_ + 1), used_(mask_ + 1, 0) {
        slotOf_.reserve(stations.size());
        for (const AmeRecord& s : stations) {
            slotOf_.push_back(Insert(Key(s.X, s.Y)));
            left_ = std::min(left_, std::int64_t{s.X}), right_ = std::max(right_, std::int64_t{s.X});
            bottom_ = std::min(bottom_, std::int64_t{s.Y}), top_ = std::max(top_, std::int64_t{s.Y});
        }
        const std::int64_t width = right_ - left_ + 1, height = top_ - bottom_ + 1;
        if (!stations.empty() && width <= kBoxBits / height) {
            boxWidth_ = width;
            box_.assign(static_cast<std::size_t>((width * height + 63) / 64), 0);
            for (const AmeRecord& s : stations) {
                const std::uint64_t bit = BoxBit(s.X, s.Y);
                box_[bit / 64] |= std::uint64_t{1} << (bit % 64);
            }
        }
    }
    std::size_t Slots() const { return keys_.size(); }
    // The slot of the station position (x, y), or Slots() when no station is there.
    std::size_t Find(std::int32_t x, std::int32_t y) const {
        if (!box_.empty()) {
            if (x < left_ || x > right_ || y < bottom_ || y > top_) return Slots();
            const std::uint64_t bit = BoxBit(x, y);
            if (!(box_[bit / 64] >> (bit % 64) & 1)) return Slots();
        }
        const std::uint64_t key = Key(x, y);
        for (std::size_t slot = Hash(key);; slot = (slot + 1) & mask_) {
            if (!used_[slot]) return Slots();
            if (keys_[slot] == key) return slot;
        }
    }
    std::size_t SlotOf(std::size_t station) const { return slotOf_[station]; }

private:
    // The box filter is used while it takes at most 8 MiB.
    static constexpr std::int64_t kBoxBits = std::int64_t{1} << 26;
    std::uint64_t BoxBit(std::int64_t x, std::int64_t y) const {
        return static_cast<std::uint64_t>((y - bottom_) * boxWidth_ + (x - left_));
    }
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
    std::vector<std::size_t> slotOf_;
    std::int64_t left_ = INT64_MAX, right_ = INT64_MIN, bottom_ = INT64_MAX, top_ = INT64_MIN;
    std::int64_t boxWidth_ = 0;
    std::vector<std::uint64_t> box_;
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
        if (platform::ScanNumbers(line.c_str(), "%lf %lf %lld %78s %78s", &longitude, &latitude, &code, name,
                                  region) != 5)
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
    int error = 0;
    const FilePtr stream = OpenRegularStream(path, error);
    if (!stream) return std::nullopt;
    return LoadInfoFileStations(stream.get(), map);
}

// The worker threads each take a stretch of the pixel file and flag the
// station positions their pixels hit.
std::optional<Placement> PlaceStations(std::FILE* pixels, std::uint32_t grayCount,
                                       const std::vector<AmeRecord>& stations) {
    const int fd = fileno(pixels);
    const long start = std::ftell(pixels);
    if (start < 0) return std::nullopt;
    const PositionTable table(stations);
    const int threads = grayCount < (1u << 16) ? 1 : WorkerThreads();
    std::vector<std::vector<std::uint8_t>> hit(threads, std::vector<std::uint8_t>(table.Slots() + 1, 0));
    std::vector<std::uint8_t> whole(threads, 1);
    {
        std::vector<std::jthread> team;
        for (int t = 0; t < threads; ++t)
            team.emplace_back([&, t] {
                std::vector<PixelRecord> block(1 << 15);
                const std::uint64_t last = std::uint64_t{grayCount} * (t + 1) / threads;
                for (std::uint64_t next = std::uint64_t{grayCount} * t / threads; next < last;) {
                    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), last - next));
                    if (!ReadExactly(fd, block.data(), want * 8, static_cast<std::uint64_t>(start) + next * 8)) {
                        whole[t] = 0;
                        return;
                    }
                    for (std::size_t i = 0; i < want; ++i) hit[t][table.Find(block[i].x, block[i].y)] = 1;
                    next += want;
                }
            });
    }
    if (std::find(whole.begin(), whole.end(), 0) != whole.end()) return std::nullopt;
    const auto matched = [&](std::size_t s) {
        return std::any_of(hit.begin(), hit.end(), [&](const auto& h) { return h[table.SlotOf(s)] != 0; });
    };
    Placement placement;
    placement.selected.reserve(stations.size());
    for (std::size_t s = 0; s < stations.size(); ++s)
        if (matched(s)) placement.selected.push_back(stations[s]);
    placement.internalCount = static_cast<int>(placement.selected.size());
    for (std::size_t s = 0; s < stations.size(); ++s)
        if (!matched(s)) placement.selected.push_back(stations[s]);
    return placement;
}

}  // namespace strova
