// The map resource library: one picture "IDB_<code>" and one MapInfo string
// per district, plus the strings of the island insets. The pictures and
// strings are made by tools/gen_district_maps.py.
#include "platform/Resources.h"

namespace {

constexpr platform::ResourceString Strings[] = {
#include "MapInfo.inc"
};

}  // namespace

// Each picture's PNG file is assembled into the library between two labels
// (found through the include path). The generator rewrites MapInfo.inc with
// the pictures, which rebuilds this file.
#define BRUVIK_PICTURE(code)                                                                          \
    asm(".pushsection .rodata\n.balign 8\n.globl idb_" #code "\n.hidden idb_" #code "\nidb_" #code \
        ":\n.incbin \"bruvik/maps/IDB_" #code ".png\"\n.globl idb_" #code "_end\n.hidden idb_" #code   \
        "_end\nidb_" #code "_end:\n.popsection");                                                     \
    extern "C" const unsigned char idb_##code[], idb_##code##_end[];
#define BRUVIK_PICTURE_ENTRY(code) {"IDB_" #code, idb_##code, static_cast<std::size_t>(idb_##code##_end - idb_##code)},

#define BRUVIK_DISTRICTS(X)                                                                                    \
    X(1001) X(1002) X(1003) X(1004) X(1005) X(1006) X(1007) X(1008) X(1009) X(1010) X(1011) X(1012) X(1013)   \
    X(1014) X(2001) X(2002) X(2003) X(2004) X(2005) X(2006) X(3001) X(3002) X(3003) X(3004) X(3005) X(3006)   \
    X(3007) X(4001) X(4002) X(4003) X(4004) X(4005) X(4006) X(4007) X(4008) X(4009) X(5001) X(5002) X(5003)   \
    X(5004) X(5005) X(5006) X(5007) X(6001) X(6002) X(6003) X(6004) X(6005) X(6006) X(6007) X(6008) X(6009)   \
    X(7001) X(7002) X(7003) X(7004) X(7005) X(7006) X(7007) X(7008)

BRUVIK_DISTRICTS(BRUVIK_PICTURE)

namespace {

const platform::ResourcePicture Pictures[] = {BRUVIK_DISTRICTS(BRUVIK_PICTURE_ENTRY)};

}  // namespace

extern "C" __attribute__((visibility("default"))) const platform::ResourceTable Resources = {
    Strings, std::size(Strings), Pictures, std::size(Pictures)};
