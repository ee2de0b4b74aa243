// The family's settings in the registry store, and the language test.
#include "vorbel/Settings.h"

#include <cstring>
#include <string>

#include "platform/Language.h"
#include "platform/Registry.h"

static_assert(sizeof(bool) == 1, "bool crosses the interface as one byte");

namespace {

const std::string RootKey = "\\Software\\Vorbel\\";

// A null text argument is taken as the empty text.
std::string Text(const char* text) { return text ? text : ""; }

// The text up to its first NUL, and that NUL: nothing more reaches the
// caller's buffer, whatever the stored value holds after it.
void CopyText(const std::string& text, char* buffer) {
    std::memcpy(buffer, text.c_str(), std::strlen(text.c_str()) + 1);
}

// Opens `key` (creating it) and runs `write` on it; a failure stores nothing.
template <typename Write>
void Store(const std::string& key, Write write) {
    try {
        platform::Registry registry;
        if (!registry.OpenKey(key, true)) return;
        write(registry);
        registry.CloseKey();
    } catch (...) {
    }
}

// Opens `key` without creating it and answers with `read` of it; `missingKey`
// when the key can't be opened, `unreadable` when `read` fails (a missing
// value or one of another type).
template <typename T, typename Read>
T Fetch(const std::string& key, T missingKey, T unreadable, Read read) {
    try {
        platform::Registry registry;
        if (!registry.OpenKey(key, false)) return missingKey;
        try {
            return read(registry);
        } catch (const platform::RegistryError&) {
            return unreadable;
        }
    } catch (...) {
        return missingKey;
    }
}

std::string FetchText(const std::string& key, const char* name, const char* missingKey) {
    return Fetch<std::string>(key, missingKey, "", [&](platform::Registry& r) { return r.ReadString(Text(name)); });
}

}  // namespace

extern "C" {

bool Is_JP() { return platform::UserDefaultLangID() == platform::LangJapanese; }

void SetStrRegistry(const char* subkey, const char* name, const char* value) {
    Store(RootKey + Text(subkey), [&](platform::Registry& r) { r.WriteString(Text(name), Text(value)); });
}

void SetIntRegistry(const char* subkey, const char* name, int value) {
    Store(RootKey + Text(subkey), [&](platform::Registry& r) { r.WriteInteger(Text(name), value); });
}

void SetBoolRegistry(const char* subkey, const char* name, bool value) { SetIntRegistry(subkey, name, value ? 1 : 0); }

void GetStrRegistry(const char* subkey, const char* name, char* buffer) {
    CopyText(FetchText(RootKey + Text(subkey), name, "Err"), buffer);
}

int GetIntRegistry(const char* subkey, const char* name) {
    return Fetch(RootKey + Text(subkey), -1, -1, [&](platform::Registry& r) { return r.ReadInteger(Text(name)); });
}

bool GetBoolRegistry(const char* subkey, const char* name) {
    return Fetch(RootKey + Text(subkey), false, false,
                 [&](platform::Registry& r) { return r.ReadInteger(Text(name)) != 0; });
}

void SetUseJPRegistry(const char* subkey, bool useJP) { SetBoolRegistry(subkey, "UseJP", useJP); }

bool GetUseJPRegistry(const char* subkey) { return GetBoolRegistry(subkey, "UseJP"); }

void GetBinRegistry(char* buffer) { CopyText(FetchText(RootKey, "DllPath", "./"), buffer); }

void GetTmpRegistry(char* buffer) { CopyText(FetchText(RootKey, "TmpPath", "./"), buffer); }

}  // extern "C"
