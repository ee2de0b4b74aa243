#include "core/Nearest.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace strova {

namespace {

constexpr int kPlaces = 10;
// The eleventh place tells whether the tenth is tied.
constexpr int kKept = kPlaces + 1;
constexpr int kBlockShift = 5;
// With every coordinate within 2^22 (pixels within 2^15), squares stay below
// 2^47: distinct squares have distinct square roots, in the same order.
constexpr std::int64_t kIntegerLimit = std::int64_t{1} << 22;
// Up to this many stations every station is a candidate of every pixel.
constexpr std::size_t kAllCandidates = 24;

std::int64_t Square(std::int64_t v) { return v * v; }

// Distance of a coordinate to the interval [low, high] and to its far end.
std::int64_t NearGap(std::int64_t v, std::int64_t low, std::int64_t high) {
    return v < low ? low - v : v > high ? v - high : 0;
}
std::int64_t FarGap(std::int64_t v, std::int64_t low, std::int64_t high) {
    return std::max(std::llabs(v - low), std::llabs(v - high));
}

}  // namespace

NearestStations::NearestStations(const std::vector<AmeRecord>& stations) {
    integerExact_ = true;
    for (const AmeRecord& s : stations) {
        x_.push_back(s.X);
        y_.push_back(s.Y);
        if (std::llabs(s.X) > kIntegerLimit || std::llabs(s.Y) > kIntegerLimit) integerExact_ = false;
    }
}

void NearestStations::Compute(const PixelRecord* pixels, std::size_t count, CfgRecord* out,
                              Scratch& scratch) const {
    const std::size_t n = x_.size();
    scratch.order.resize(n + 1);
    if (!integerExact_) {
        scratch.distances.resize(n + 1);
        for (std::size_t i = 0; i < count; ++i) out[i] = Exact(pixels[i], scratch);
        return;
    }
    scratch.squares.resize(n + 1);
    for (std::size_t i = 0; i < count; ++i) {
        bool tied = false;
        const CfgRecord record = FromCandidates(pixels[i], CandidatesOf(pixels[i], scratch), tied);
        out[i] = tied ? Exact(pixels[i], scratch) : record;
    }
}

// The candidates of the pixel's block, worked out once per block and band.
const std::vector<std::uint32_t>& NearestStations::CandidatesOf(const PixelRecord& pixel, Scratch& scratch) const {
    // Pixel columns fit 16 bits, so block columns run from -kBandBlocks / 2.
    constexpr std::int64_t kBandBlocks = std::int64_t{1} << (16 - kBlockShift);
    const std::size_t n = x_.size();
    if (scratch.candidates.size() != kBandBlocks) {
        scratch.candidates.assign(kBandBlocks, {});
        scratch.bandOf.assign(kBandBlocks, INT64_MIN);
    }
    const std::int64_t blockX = pixel.x >> kBlockShift;
    const std::int64_t blockY = pixel.y >> kBlockShift;
    const std::size_t column = static_cast<std::size_t>(blockX + kBandBlocks / 2);
    std::vector<std::uint32_t>& candidates = scratch.candidates[column];
    if (scratch.bandOf[column] != blockY) {
        scratch.bandOf[column] = blockY;
        if (n <= kAllCandidates) {
            candidates.resize(n);
            for (std::size_t s = 0; s < n; ++s) candidates[s] = static_cast<std::uint32_t>(s);
        } else {
            SelectCandidates(blockX, blockY, scratch, candidates);
        }
    }
    return candidates;
}

// IndexSort over all stations, as the plain procedure does it.
CfgRecord NearestStations::Exact(const PixelRecord& pixel, Scratch& scratch) const {
    const int n = static_cast<int>(x_.size());
    if (integerExact_) {
        for (int s = 0; s < n; ++s)
            scratch.squares[s + 1] = Square(std::int64_t{x_[s]} - pixel.x) + Square(std::int64_t{y_[s]} - pixel.y);
        IndexSortHead(n, scratch.squares.data(), scratch.order.data(), kPlaces);
        return MakeCfgRecord(pixel, n, scratch.squares.data(), scratch.order.data());
    }
    for (int s = 0; s < n; ++s) {
        const double dx = static_cast<double>(std::int64_t{x_[s]} - pixel.x);
        const double dy = static_cast<double>(std::int64_t{y_[s]} - pixel.y);
        scratch.distances[s + 1] = std::sqrt(dx * dx + dy * dy);
    }
    IndexSortHead(n, scratch.distances.data(), scratch.order.data(), kPlaces);
    return MakeCfgRecord(pixel, n, scratch.distances.data(), scratch.order.data());
}

// The stations that can be among the eleven nearest of some pixel of the
// block: eleven stations lie within the eleventh smallest far-corner
// distance of every pixel, so a station nearer to no pixel than that can't.
void NearestStations::SelectCandidates(std::int64_t blockX, std::int64_t blockY, Scratch& scratch,
                                       std::vector<std::uint32_t>& candidates) const {
    const std::int64_t x0 = blockX << kBlockShift, x1 = x0 + (1 << kBlockShift) - 1;
    const std::int64_t y0 = blockY << kBlockShift, y1 = y0 + (1 << kBlockShift) - 1;
    const std::size_t n = x_.size();
    scratch.reach.resize(n);
    for (std::size_t s = 0; s < n; ++s)
        scratch.reach[s] = Square(FarGap(x_[s], x0, x1)) + Square(FarGap(y_[s], y0, y1));
    std::nth_element(scratch.reach.begin(), scratch.reach.begin() + (kKept - 1), scratch.reach.end());
    const std::int64_t radius = scratch.reach[kKept - 1];
    candidates.clear();
    for (std::size_t s = 0; s < n; ++s)
        if (Square(NearGap(x_[s], x0, x1)) + Square(NearGap(y_[s], y0, y1)) <= radius)
            candidates.push_back(static_cast<std::uint32_t>(s));
    // Nearest to the block's centre first: the eleven places fill with near
    // stations at once and the farther candidates are passed over.
    const std::int64_t cx = x0 + x1, cy = y0 + y1;
    std::sort(candidates.begin(), candidates.end(), [&](std::uint32_t a, std::uint32_t b) {
        return Square(2 * std::int64_t{x_[a]} - cx) + Square(2 * std::int64_t{y_[a]} - cy) <
               Square(2 * std::int64_t{x_[b]} - cx) + Square(2 * std::int64_t{y_[b]} - cy);
    });
}

// The record from the eleven nearest candidates; `tied` when two of the
// places that decide the record have the same distance.
CfgRecord NearestStations::FromCandidates(const PixelRecord& pixel, const std::vector<std::uint32_t>& candidates,
                                          bool& tied) const {
    const int kept = static_cast<int>(std::min<std::size_t>(x_.size(), kKept));
    std::int64_t square[kKept];
    std::uint32_t station[kKept];
    int filled = 0;
    for (const std::uint32_t s : candidates) {
        const std::int64_t d = Square(std::int64_t{x_[s]} - pixel.x) + Square(std::int64_t{y_[s]} - pixel.y);
        if (filled == kept && d >= square[kept - 1]) continue;
        int at = filled < kept ? filled++ : kept - 1;
        for (; at > 0 && square[at - 1] > d; --at) {
            square[at] = square[at - 1];
            station[at] = station[at - 1];
        }
        square[at] = d;
        station[at] = s;
    }
    CfgRecord record{};
    record.X = static_cast<std::int16_t>(pixel.x);
    record.Y = static_cast<std::int16_t>(pixel.y);
    record.Station[0] = static_cast<std::int16_t>(station[0] + 1);
    if (square[0] == 0) {
        tied = kept > 1 && square[1] == 0;
        return record;
    }
    tied = false;
    for (int k = 1; k < kept; ++k) tied = tied || square[k] == square[k - 1];
    for (int k = 1; k < std::min(kept, kPlaces); ++k) record.Station[k] = static_cast<std::int16_t>(station[k] + 1);
    return record;
}

}  // namespace strova
