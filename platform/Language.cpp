#include "Language.h"

#include <cstdlib>
#include <string_view>

namespace platform {

std::uint16_t UserDefaultLangID() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string_view locale(value);
        bool japanese = locale == "ja" || locale.starts_with("ja_") || locale.starts_with("ja.") ||
                        locale.starts_with("ja@");
        return japanese ? LangJapanese : LangEnglishUS;
    }
    return LangEnglishUS;
}

}  // namespace platform
