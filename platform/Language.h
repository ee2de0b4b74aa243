// The user's default language, as a Windows language ID.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint16_t LangJapanese = 0x0411;
constexpr std::uint16_t LangEnglishUS = 0x0409;

// From the locale variables LC_ALL, LC_MESSAGES, then LANG (the first that is
// set and not empty): "ja" or "ja_..." gives Japanese, anything else English.
std::uint16_t UserDefaultLangID();

}  // namespace platform
