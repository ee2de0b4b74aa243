// Any bytes as a bitmap: headers, dimensions and the gray scan must neither
// crash nor read or allocate out of bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/BmpCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        char folder[] = "/tmp/bitmap_fuzz_XXXXXX";
        return std::string(mkdtemp(folder));
    }();
    const std::string bitmap = dir + "/map.bmp";
    std::FILE* file = std::fopen(bitmap.c_str(), "wb");
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    strova::BmpReader reader(bitmap);
    reader.ScanGrayPixels(dir + "/tmp.loc", strova::NoProgress(), 1);
    reader.InfoLines();
    return 0;
}
