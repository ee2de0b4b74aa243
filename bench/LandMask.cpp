#include "LandMask.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace bench {
namespace {

#include "JapanLandMask.inc"

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::array<std::uint8_t, 3> kLandBgr{192, 192, 192};
constexpr std::array<std::uint8_t, 3> kSeaBgr{230, 190, 150};
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

// Index of the nearest of `nodes` grid nodes to pixel `pixel` of `pixels`
// over the same span (rounded half up).
int NearestNode(long long pixel, long long pixels, long long nodes) {
    long long node = (2 * pixel * nodes + pixels) / (2 * pixels);
    return static_cast<int>(node < nodes ? node : nodes - 1);
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> BmpHeaders(int width, int height, std::uint32_t imageSize) {
    std::vector<std::uint8_t> out{'B', 'M'};
    Put(out, kFileHeaderSize + kInfoHeaderSize + imageSize, 4);
    Put(out, 0, 4);  // reserved
    Put(out, kFileHeaderSize + kInfoHeaderSize, 4);
    Put(out, kInfoHeaderSize, 4);
    Put(out, static_cast<std::uint32_t>(width), 4);
    Put(out, static_cast<std::uint32_t>(height), 4);
    Put(out, 1, 2);   // planes
    Put(out, 24, 2);  // bits per pixel
    Put(out, 0, 4);   // no compression
    Put(out, imageSize, 4);
    Put(out, 2835, 4);  // 72 dpi
    Put(out, 2835, 4);
    Put(out, 0, 4);  // colours used
    Put(out, 0, 4);  // important colours
    return out;
}

// Fills one padded BMP row from the mask row `flags`.
void PaintRow(const std::vector<std::uint8_t>& flags, int width, std::vector<std::uint8_t>& row) {
    const long long nodes = static_cast<long long>(flags.size());
    for (int x = 0; x < width; ++x) {
        const auto& bgr = flags[NearestNode(x, width, nodes)] ? kLandBgr : kSeaBgr;
        std::copy(bgr.begin(), bgr.end(), row.begin() + 3 * x);
    }
}

bool WritePixels(std::FILE* file, int width, int height, std::uint32_t stride, std::string* error) {
    LandMaskReader reader(kMaskRuns, kMaskWidth);
    std::vector<std::uint8_t> flags;
    std::vector<std::uint8_t> row(stride, 0);
    int maskRow = -1;
    for (int y = 0; y < height; ++y) {
        const int wanted = NearestNode(y, height, kMaskHeight);
        while (maskRow < wanted) {
            if (!reader.NextRow(flags)) {
                *error = "the built-in land mask is damaged";
                return false;
            }
            ++maskRow;
        }
        PaintRow(flags, width, row);
        if (std::fwrite(row.data(), 1, row.size(), file) != row.size()) {
            *error = "write failed";
            return false;
        }
    }
    return true;
}

}  // namespace

int JapanMaskWidth() { return kMaskWidth; }
int JapanMaskHeight() { return kMaskHeight; }
long JapanMaskLandPixels() { return kMaskLandPixels; }

LandMaskReader::LandMaskReader(std::string_view runs, int width) : runs_(runs), width_(width) {}

bool LandMaskReader::NextLength(int& length) {
    length = 0;
    for (int shift = 0; pos_ < runs_.size() && shift <= 25; shift += 5) {
        const std::size_t value = kAlphabet.find(runs_[pos_++]);
        if (value == std::string_view::npos) return false;
        length |= static_cast<int>(value & 31) << shift;
        if (value < 32) return true;
    }
    return false;
}

bool LandMaskReader::NextRow(std::vector<std::uint8_t>& flags) {
    flags.assign(static_cast<std::size_t>(width_), 0);
    int x = 0;
    for (std::uint8_t land = 0; x < width_; land ^= 1) {
        int length = 0;
        if (!NextLength(length) || length > width_ - x) return false;
        std::fill_n(flags.begin() + x, length, land);
        x += length;
    }
    return true;
}

bool WriteJapanGrayMap(const std::string& bmpPath, int width, int height, std::string* error) {
    constexpr long long kMaxFileSize = std::numeric_limits<std::uint32_t>::max();
    const long long stride = (3LL * width + 3) / 4 * 4;
    if (width < 1 || height < 1 || kFileHeaderSize + kInfoHeaderSize + stride * height > kMaxFileSize) {
        *error = "map size " + std::to_string(width) + "x" + std::to_string(height) + " is not possible for a BMP";
        return false;
    }
    std::FILE* file = std::fopen(bmpPath.c_str(), "wb");
    if (file == nullptr) {
        *error = "can't create " + bmpPath;
        return false;
    }
    const std::uint32_t imageSize = static_cast<std::uint32_t>(stride * height);
    const std::vector<std::uint8_t> headers = BmpHeaders(width, height, imageSize);
    bool ok = std::fwrite(headers.data(), 1, headers.size(), file) == headers.size();
    if (!ok) *error = "write failed";
    ok = ok && WritePixels(file, width, height, static_cast<std::uint32_t>(stride), error);
    if (std::fclose(file) != 0 && ok) {
        *error = "write failed";
        ok = false;
    }
    if (!ok) {
        *error = bmpPath + ": " + *error;
        std::remove(bmpPath.c_str());
    }
    return ok;
}

}  // namespace bench
