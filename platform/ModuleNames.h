// The file names of the family's modules on this platform, in one place.
#pragma once

namespace platform {

// The map resource library, in the library folder.
constexpr const char* ResourceLibraryFile = "libbruvik.so";

}  // namespace platform
