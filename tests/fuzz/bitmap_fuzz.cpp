// Any bytes as a bitmap: headers, dimensions and the gray scan must neither
// crash nor read or allocate out of bounds. The input is laid over the
// headers of a small 24-bit bitmap, so that short inputs reach the scan too.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/BmpCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        char folder[] = "/tmp/bitmap_fuzz_XXXXXX";
        return std::string(mkdtemp(folder));
    }();
    // "BM", 54-byte headers, 7 x 5 pixels of 24 bits.
    std::uint8_t headers[54] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 7, 0, 0, 0, 5, 0, 0, 0, 1, 0, 24};
    std::memcpy(headers, data, std::min(size, sizeof headers));
    const std::string bitmap = dir + "/map.bmp";
    std::FILE* file = std::fopen(bitmap.c_str(), "wb");
    std::fwrite(headers, 1, sizeof headers, file);
    if (size > sizeof headers) std::fwrite(data + sizeof headers, 1, size - sizeof headers, file);
    std::fclose(file);
    strova::BmpReader reader(bitmap);
    reader.ScanGrayPixels(dir + "/tmp.loc", strova::NoProgress(), 1);
    reader.InfoLines();
    return 0;
}
