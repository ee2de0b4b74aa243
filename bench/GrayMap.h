// The benchmark's gray map over the station table's extent. Until the
// all-Japan land mask is at hand this is a stand-in archipelago of random
// discs covering about a fifth of the map, fixed by its seed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/BmpCore.h"

namespace bench {

constexpr double kJapanLeft = 122.9, kJapanBottom = 24.0, kJapanRight = 146.0, kJapanTop = 45.6;

inline void WriteJapanGrayMap(const std::string& path, int width, int height) {
    std::vector<std::uint8_t> land(static_cast<std::size_t>(width) * height, 0);
    std::mt19937 random(1);
    const double scale = width / 4000.0;
    for (int disc = 0; disc < 900; ++disc) {
        const int cx = static_cast<int>(random() % width), cy = static_cast<int>(random() % height);
        const int r = static_cast<int>((10 + random() % 50) * scale) + 1;
        for (int y = std::max(0, cy - r); y < std::min(height, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(width, cx + r); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) land[std::size_t(y) * width + x] = 1;
    }
    const int stride = (3 * width + 3) / 4 * 4;
    strova::BitmapFileHeader f{19778, static_cast<std::uint32_t>(54 + stride * height), 0, 0, 54};
    strova::BitmapInfoHeader i{40, width, height, 1, 24, 0, static_cast<std::uint32_t>(stride * height), 0, 0, 0, 0};
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(&f, sizeof f, 1, out);
    std::fwrite(&i, sizeof i, 1, out);
    std::vector<std::uint8_t> row(stride, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool gray = land[std::size_t(y) * width + x];
            row[3 * x] = gray ? 192 : 230, row[3 * x + 1] = gray ? 192 : 190, row[3 * x + 2] = gray ? 192 : 150;
        }
        std::fwrite(row.data(), 1, row.size(), out);
    }
    std::fclose(out);
}

}  // namespace bench
