#include "Paths.h"

#include <array>
#include <filesystem>
#include <system_error>

namespace strova {

namespace {

// Splits at the last `separator`; `keepSeparator` leaves it with the first part.
std::pair<std::string, std::string> SplitAtLast(const std::string& text, char separator, bool keepSeparator) {
    std::size_t at = text.rfind(separator);
    if (at == std::string::npos) return {std::string(), text};
    return {text.substr(0, keepSeparator ? at + 1 : at), text.substr(at + 1)};
}

}  // namespace

std::pair<std::string, std::string> SplitAtLastSeparator(const std::string& path) {
    return SplitAtLast(path, '/', true);
}

std::pair<std::string, std::string> SplitAtLastDot(const std::string& name) { return SplitAtLast(name, '.', false); }

OutputPaths DeriveOutputPaths(const std::string& amePath, const std::string& cfgPath, const std::string& base) {
    std::string here = CurrentFolderPrefix;
    OutputPaths paths{amePath + base + ".ame", cfgPath + base + ".cfg", here + base + "_a.dat",
                      amePath + base + ".bak", cfgPath + base + ".bak", here + base + "_a.bak"};
    if (NameOneFile(paths.ameBackup, paths.cfgBackup)) paths.cfgBackup = cfgPath + base + ".cfg.bak";
    return paths;
}

std::string BaseNameOf(const std::string& bitmapPath) {
    return SplitAtLastDot(SplitAtLastSeparator(bitmapPath).second).first;
}

bool NameOneFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path first = fs::absolute(a, error).lexically_normal();
    const fs::path second = fs::absolute(b, error).lexically_normal();
    if (first == second) return true;
    return first.filename() == second.filename() && fs::equivalent(first.parent_path(), second.parent_path(), error);
}

bool IsReservedBaseName(const std::string& base) {
    static const std::array<const char*, 8> reserved = {"JAPAN", "HOKKAIDO", "TOHOKU", "KANTO",
                                                        "CHUBU", "KINKI",    "CHUSHI", "KYUSHU"};
    std::string upper = base;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* name : reserved)
        if (upper == name) return true;
    return false;
}

}  // namespace strova
