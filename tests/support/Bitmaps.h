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

}  // namespace testing_support
