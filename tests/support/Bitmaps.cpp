#include "Bitmaps.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "TestSupport.h"

namespace testing_support {

namespace {

void Put(std::string& bytes, std::size_t offset, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

bool Runs(const std::string& program, const std::vector<std::string>& args) {
    try {
        return WaitForExit(StartProcess(program, args, {}), 120) == 0;
    } catch (const std::exception&) {
        return false;  // not installed
    }
}

std::uint32_t Get(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, &bytes[offset], 4);
    return value;
}

std::string Pixels(int width, int height, const std::function<std::uint32_t(int x, int y)>& rgb,
                   std::uint16_t bitCount) {
    const std::size_t stride = BitmapStride(width);
    std::string bytes = BitmapHeaders(width, height, bitCount);
    bytes.resize(54 + stride * height, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) Put(bytes, 54 + y * stride + 3 * x, rgb(x, y), 3);
    return bytes;
}

}  // namespace

std::size_t BitmapStride(int width) { return (3 * static_cast<std::size_t>(width) + 3) / 4 * 4; }

std::string BitmapHeaders(int width, int height, std::uint16_t bitCount) {
    const std::size_t imageSize = BitmapStride(width) * std::abs(height);
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put(bytes, 2, static_cast<std::uint32_t>(54 + imageSize), 4);
    Put(bytes, 10, 54, 4);
    Put(bytes, 14, 40, 4);
    Put(bytes, 18, static_cast<std::uint32_t>(width), 4);
    Put(bytes, 22, static_cast<std::uint32_t>(height), 4);
    Put(bytes, 26, 1, 2);
    Put(bytes, 28, bitCount, 2);
    Put(bytes, 34, static_cast<std::uint32_t>(imageSize), 4);
    return bytes;
}

std::string MakeBitmap(int width, int height, const std::function<std::uint32_t(int x, int y)>& rgb) {
    return Pixels(width, height, rgb, 24);
}

std::string MakeGrayBitmap(int width, int height, const std::function<bool(int x, int y)>& gray,
                           std::uint16_t bitCount) {
    return Pixels(width, height, [&](int x, int y) { return gray(x, y) ? 0xC0C0C0u : 0x96BEE6u; }, bitCount);
}

std::string TopDownCopy(const std::string& bitmap) {
    const std::size_t first = Get(bitmap, 10);
    const auto height = static_cast<std::int32_t>(Get(bitmap, 22));
    const std::size_t stride = BitmapStride(static_cast<int>(Get(bitmap, 18)));
    std::string copy = bitmap;
    Put(copy, 22, static_cast<std::uint32_t>(-height), 4);
    for (std::int32_t y = 0; y < height; ++y)
        copy.replace(first + y * stride, stride, bitmap, first + (height - 1 - y) * stride, stride);
    return copy;
}

std::string CopyWithGap(const std::string& bitmap, const std::string& gap) {
    const std::size_t first = Get(bitmap, 10);
    std::string copy = bitmap;
    copy.insert(first, gap);
    Put(copy, 2, static_cast<std::uint32_t>(copy.size()), 4);
    Put(copy, 10, static_cast<std::uint32_t>(first + gap.size()), 4);
    return copy;
}

bool WriteWithImageMagick(const std::string& source, const std::string& target) {
    return Runs("/usr/bin/convert", {source, "-type", "TrueColor", target});
}

bool WriteWithPil(const std::string& source, const std::string& target) {
    return Runs("/usr/bin/python3", {"-c",
                                     "import sys\n"
                                     "from PIL import Image\n"
                                     "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2], 'BMP')\n",
                                     source, target});
}

}  // namespace testing_support
