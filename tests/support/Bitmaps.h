// 24-bit gray maps made in tests: land pixels RGB 192,192,192, sea another colour.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace testing_support {

// The 54 header bytes of a bitmap with a 40-byte information header whose
// rows follow the headers; a negative height stores the rows top-down.
std::string BitmapHeaders(int width, int height, std::uint16_t bitCount = 24);
// Bytes of a pixel row: 3 a pixel, padded to 4.
std::size_t BitmapStride(int width);

// The bytes of a 24-bit bitmap whose pixel (x from the left, y from the
// bottom row) has the colour rgb(x, y) (0xRRGGBB).
std::string MakeBitmap(int width, int height, const std::function<std::uint32_t(int x, int y)>& rgb);

// The bytes of a bitmap file with a 40-byte information header; `gray` says
// which pixels (x from the left, y from the bottom row) are land. `bitCount`
// is only written into the header.
std::string MakeGrayBitmap(int width, int height, const std::function<bool(int x, int y)>& gray,
                           std::uint16_t bitCount = 24);

// The same picture with its rows stored from the top (a negative height).
// `bitmap` is a bottom-up 24-bit file whose rows start at bfOffBits.
std::string TopDownCopy(const std::string& bitmap);
// The same picture with `gap` bytes (a colour table, say) between the
// headers and the rows, and bfOffBits pointing past them.
std::string CopyWithGap(const std::string& bitmap, const std::string& gap);

// The picture of the bitmap file `source` as ImageMagick writes it to
// `target` in 24 bits ("BMP3:" before the name asks for its 40-byte header
// instead of its 124-byte one), and as PIL writes it. False when the tool
// (scripts/install-deps.sh installs both) is missing or fails.
bool WriteWithImageMagick(const std::string& source, const std::string& target);
bool WriteWithPil(const std::string& source, const std::string& target);

}  // namespace testing_support
