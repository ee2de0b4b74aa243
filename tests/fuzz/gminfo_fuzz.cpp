// Any bytes as gm_info.dat: the station reader must neither crash nor read
// or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/Stations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!stream) return 0;
    const strova::MapConfig map{120.0, 20.0, 150.0, 46.0, 3000, 2600};
    strova::LoadInfoFileStations(stream, map);
    std::fclose(stream);
    return 0;
}
