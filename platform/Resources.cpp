#include "Resources.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

const ResourceTable* TableOf(ModuleHandle module) {
    return module ? static_cast<const ResourceTable*>(ResolveSymbol(module, ResourceTableExport)) : nullptr;
}

}  // namespace

int LoadResourceString(ModuleHandle module, int id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    const ResourceTable* table = TableOf(module);
    if (!table) return 0;
    for (const ResourceString& s : std::span(table->strings, table->stringCount)) {
        if (s.id != id || !s.text) continue;
        int length = static_cast<int>(std::min<std::size_t>(std::strlen(s.text), size - 1));
        std::memcpy(buffer, s.text, length);
        buffer[length] = '\0';
        return length;
    }
    return 0;
}

std::span<const unsigned char> LoadResourcePicture(ModuleHandle module, const std::string& name) {
    const ResourceTable* table = TableOf(module);
    if (!table) return {};
    for (const ResourcePicture& p : std::span(table->pictures, table->pictureCount))
        if (p.name && name == p.name) return {p.data, p.size};
    return {};
}

}  // namespace platform
