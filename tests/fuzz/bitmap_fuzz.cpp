// Any bytes as a bitmap: headers, dimensions and the gray scan must neither
// crash nor read or allocate out of bounds. The input is laid over the
// headers of a small 24-bit bitmap, so that short inputs reach the scan too.
// The bitmap is read from memory, in this thread: no file and no thread per
// input, so that many inputs go through in the few seconds CI gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/BmpCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // "BM", 54-byte headers, 7 x 5 pixels of 24 bits.
    std::vector<std::uint8_t> bitmap = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 7, 0, 0, 0, 5, 0,
                                        0, 0, 1, 0, 24};
    bitmap.resize(54);
    std::copy_n(data, std::min(size, bitmap.size()), bitmap.begin());
    if (size > bitmap.size()) bitmap.insert(bitmap.end(), data + bitmap.size(), data + size);
    strova::BmpReader reader("map.bmp", bitmap);
    std::vector<strova::PixelRecord> pixels;
    reader.ScanGrayPixels(pixels);
    reader.InfoLines();
    return 0;
}
