// The registry store's reader on arbitrary bytes: it either rejects the text
// with a RegistryError or reads keys that write back to a text it reads the
// same way again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::RegistryKeys keys;
    try {
        keys = platform::ParseRegistryText(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const platform::RegistryError&) {
        return 0;
    }
    std::string text = platform::FormatRegistryText(keys);
    try {
        if (platform::ParseRegistryText(text) != keys) std::abort();
    } catch (const platform::RegistryError&) {
        std::abort();
    }
    return 0;
}
