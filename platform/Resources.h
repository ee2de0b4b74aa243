// Resources of a resource library: texts by number and pictures by name.
//
// A resource library exports one table under the name "Resources" (C
// linkage); the two functions below read it from a loaded module. Pictures
// are kept encoded (PNG); the caller decodes them.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "platform/Module.h"

namespace platform {

struct ResourceString {
    int id;
    const char* text;  // code page 932 bytes, NUL-terminated
};

struct ResourcePicture {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

struct ResourceTable {
    const ResourceString* strings;
    std::size_t stringCount;
    const ResourcePicture* pictures;
    std::size_t pictureCount;
};

constexpr const char* ResourceTableExport = "Resources";

// Copies string `id` of `module` into `buffer` (at most size - 1 bytes and a
// NUL) and returns the number of bytes copied: 0, with an empty text, when
// the module has no such string or no resource table.
int LoadResourceString(ModuleHandle module, int id, char* buffer, int size);

// The encoded bytes of picture `name` of `module`; empty when it has none.
std::span<const unsigned char> LoadResourcePicture(ModuleHandle module, const std::string& name);

}  // namespace platform
