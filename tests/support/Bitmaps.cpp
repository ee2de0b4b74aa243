#include "Bitmaps.h"

#include <cstring>

namespace testing_support {

namespace {

void Put(std::string& bytes, std::size_t offset, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string MakeGrayBitmap(int width, int height, const std::function<bool(int x, int y)>& gray,
                           std::uint16_t bitCount) {
    const std::size_t stride = (3 * static_cast<std::size_t>(width) + 3) / 4 * 4;
    std::string bytes(54 + stride * height, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put(bytes, 2, static_cast<std::uint32_t>(bytes.size()), 4);
    Put(bytes, 10, 54, 4);
    Put(bytes, 14, 40, 4);
    Put(bytes, 18, static_cast<std::uint32_t>(width), 4);
    Put(bytes, 22, static_cast<std::uint32_t>(height), 4);
    Put(bytes, 26, 1, 2);
    Put(bytes, 28, bitCount, 2);
    Put(bytes, 34, static_cast<std::uint32_t>(stride * height), 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const char* bgr = gray(x, y) ? "\xC0\xC0\xC0" : "\xE6\xBE\x96";
            std::memcpy(&bytes[54 + y * stride + 3 * x], bgr, 3);
        }
    return bytes;
}

}  // namespace testing_support
