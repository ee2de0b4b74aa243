// 24-bit gray maps made in tests: land pixels RGB 192,192,192, sea another colour.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace testing_support {

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
