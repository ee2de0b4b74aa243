// The ten nearest stations of many pixels, with the very records that
// IndexSort over all stations gives, at a small part of its cost. Distances
// are compared as squared integers (sqrt keeps their order, and equal squares
// are exactly the equal distances). The eleven nearest come from the stations
// that can reach a 32 x 32 block of pixels; where two of them lie at the same
// distance the order among them is IndexSort's, so those pixels are ordered
// by IndexSort over all stations, stopped after the tenth place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/CfgCore.h"

namespace strova {

class NearestStations {
public:
    // `stations` must not be empty.
    explicit NearestStations(const std::vector<AmeRecord>& stations);

    // Per-thread working memory; reuse it for every call of one thread.
    class Scratch {
    public:
        Scratch() = default;

    private:
        friend class NearestStations;
        std::vector<std::int64_t> squares;   // 1-based, as IndexSort reads them
        std::vector<double> distances;       // 1-based, for stations far off the grid
        std::vector<std::uint32_t> order;
        std::vector<std::int64_t> reach;     // farthest square of each station to a block
        // Candidates of a block by its column, for the band of 32 rows
        // (block row) that bandOf names.
        std::vector<std::int64_t> bandOf;
        std::vector<std::vector<std::uint32_t>> candidates;
    };

    // The records of pixels[0..count); all pixels must fit the records.
    void Compute(const PixelRecord* pixels, std::size_t count, CfgRecord* out, Scratch& scratch) const;

private:
    CfgRecord Exact(const PixelRecord& pixel, Scratch& scratch) const;
    const std::vector<std::uint32_t>& CandidatesOf(const PixelRecord& pixel, Scratch& scratch) const;
    void SelectCandidates(std::int64_t blockX, std::int64_t blockY, Scratch& scratch,
                          std::vector<std::uint32_t>& candidates) const;
    CfgRecord FromCandidates(const PixelRecord& pixel, const std::vector<std::uint32_t>& candidates,
                             bool& tied) const;

    std::vector<std::int32_t> x_, y_;
    bool integerExact_;  // squared distances fit 47 bits: integer order is sqrt's order
};

}  // namespace strova
