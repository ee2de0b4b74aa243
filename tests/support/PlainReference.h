// Plain reference implementations of the three steps, written straight from
// the file formats and procedures: one 3-byte read per pixel, every station
// against every pixel, a full IndexSort of all distances for every pixel.
// The tests and the benchmark compare the production code with them byte for
// byte. Header only, so that the benchmark can use it without GoogleTest.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/BmpCore.h"
#include "core/CfgCore.h"
#include "core/FileIo.h"
#include "core/Stations.h"

namespace plain {

inline std::vector<char> Bytes(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    return std::vector<char>(p, p + size);
}

// Step 1: seek to every row, read every pixel on its own. Returns false on a
// short read (the records before it are written) or a failed write, and
// counts the gray pixels.
inline bool ScanGrayPixels(const std::string& bitmapPath, const std::string& tmpPath, std::uint32_t& grayCount) {
    grayCount = 0;
    std::FILE* bmp = std::fopen(bitmapPath.c_str(), "rb");
    if (!bmp) return false;
    strova::BitmapFileHeader fileHeader{};
    strova::BitmapInfoHeader info{};
    bool ok = std::fread(&fileHeader, 14, 1, bmp) == 1 && std::fread(&info, 40, 1, bmp) == 1 && info.biBitCount == 24;
    std::FILE* tmp = ok ? std::fopen(tmpPath.c_str(), "wb") : nullptr;
    ok = ok && tmp;
    const long long stride = (3LL * info.biWidth + 3) / 4 * 4;
    for (std::int32_t r = 0; ok && r < info.biHeight; ++r) {
        std::fseek(bmp, static_cast<long>(14 + info.biSize + r * stride), SEEK_SET);
        for (std::int32_t x = 0; x < info.biWidth; ++x) {
            unsigned char rgb[3];
            if (std::fread(rgb, 1, 3, bmp) != 3) {
                ok = false;
                break;
            }
            if (rgb[0] == 192 && rgb[1] == 192 && rgb[2] == 192) {
                const std::int32_t record[2] = {x, r};
                ok = ok && std::fwrite(record, 8, 1, tmp) == 1;
                ++grayCount;
            }
        }
    }
    if (tmp && std::fclose(tmp) != 0) ok = false;
    std::fclose(bmp);
    return ok;
}

// Step 2: every station against every gray pixel; internal ones first.
inline std::vector<strova::AmeRecord> PlaceStations(const std::vector<strova::PixelRecord>& pixels,
                                                    std::vector<strova::AmeRecord> stations, int& internalCount) {
    std::vector<strova::AmeRecord> selected;
    for (strova::AmeRecord& s : stations)
        for (const strova::PixelRecord& p : pixels)
            if (s.X == p.x && s.Y == p.y) {
                selected.push_back(s);
                s.X = -1;
                s.Y = -1;
            }
    internalCount = static_cast<int>(selected.size());
    for (const strova::AmeRecord& s : stations)
        if (s.X != -1 || s.Y != -1) selected.push_back(s);
    return selected;
}

// IndexSort, step by step as its description reads (1-based arrays).
inline bool IndexSort(int n, const double* dist, std::uint32_t* order) {
    for (int j = 0; j <= n; ++j) order[j] = j;
    std::vector<int> stack;
    int l = 1, r = n;
    for (;;) {
        if (r - l < 7) {
            for (int j = l + 1; j <= r; ++j) {
                std::uint32_t t = order[j];
                double v = dist[t];
                int i = j - 1;
                while (i >= 1 && dist[order[i]] > v) {
                    order[i + 1] = order[i];
                    i = i - 1;
                }
                order[i + 1] = t;
            }
            if (stack.empty()) return true;
            r = stack.back();
            stack.pop_back();
            l = stack.back();
            stack.pop_back();
        } else {
            int k = (l + r) / 2;
            std::uint32_t swap = order[k];
            order[k] = order[l + 1];
            order[l + 1] = swap;
            auto exchange = [&](int a, int b) {
                std::uint32_t t = order[a];
                order[a] = order[b];
                order[b] = t;
            };
            if (dist[order[l + 1]] > dist[order[r]]) exchange(l + 1, r);
            if (dist[order[l]] > dist[order[r]]) exchange(l, r);
            if (dist[order[l + 1]] > dist[order[l]]) exchange(l + 1, l);
            std::uint32_t t = order[l];
            double v = dist[t];
            int i = l + 1, j = r;
            while (true) {
                i = i + 1;
                while (dist[order[i]] < v) i = i + 1;
                j = j - 1;
                while (dist[order[j]] > v) j = j - 1;
                if (j < i) break;
                exchange(i, j);
            }
            order[l] = order[j];
            order[j] = t;
            if (stack.size() == 50) return false;
            if (r - i + 1 >= j - l) {
                stack.push_back(i);
                stack.push_back(r);
                r = j - 1;
            } else {
                stack.push_back(l);
                stack.push_back(j - 1);
                l = i;
            }
        }
    }
}

// Step 3 for one pixel: all distances, a full IndexSort, the record bytes.
// Places beyond the stations hold 0.
inline strova::CfgRecord NearestRecord(const std::vector<strova::AmeRecord>& stations, strova::PixelRecord pixel,
                                       std::vector<double>& dist, std::vector<std::uint32_t>& order) {
    const int n = static_cast<int>(stations.size());
    dist.assign(n + 1, 0.0);
    order.assign(n + 1, 0);
    for (int s = 1; s <= n; ++s) {
        double dx = static_cast<double>(stations[s - 1].X - pixel.x);
        double dy = static_cast<double>(stations[s - 1].Y - pixel.y);
        dist[s] = std::sqrt(dx * dx + dy * dy);
    }
    IndexSort(n, dist.data(), order.data());
    strova::CfgRecord record;
    std::memset(&record, 0, sizeof record);
    record.X = static_cast<std::int16_t>(pixel.x);
    record.Y = static_cast<std::int16_t>(pixel.y);
    record.Station[0] = static_cast<std::int16_t>(order[1]);
    if (dist[order[1]] != 0.0)
        for (int k = 2; k <= 10 && k <= n; ++k) record.Station[k - 1] = static_cast<std::int16_t>(order[k]);
    return record;
}

// Step 3 over a whole pixel file, reading one record at a time.
inline bool WriteCfg(const std::vector<strova::AmeRecord>& stations, const std::string& tmpPath,
                     const std::string& cfgPath) {
    strova::FilePtr tmp(std::fopen(tmpPath.c_str(), "rb"));
    strova::FilePtr cfg(std::fopen(cfgPath.c_str(), "wb"));
    if (!tmp || !cfg) return false;
    std::vector<double> dist;
    std::vector<std::uint32_t> order;
    strova::PixelRecord pixel;
    bool written = true;
    while (written && std::fread(&pixel, 8, 1, tmp.get()) == 1) {
        const strova::CfgRecord record = NearestRecord(stations, pixel, dist, order);
        written = std::fwrite(&record, 24, 1, cfg.get()) == 1;
    }
    return std::fclose(cfg.release()) == 0 && written;
}

}  // namespace plain
