#include "Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetter(char a, char b) { return AsciiUpper(a) == AsciiUpper(b); }

std::tm LocalTime(std::time_t seconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::uint32_t AttributesOf(const struct stat& info, const std::filesystem::path& path) {
    std::uint32_t hidden = path.filename().string().starts_with('.') ? std::uint32_t{faHidden} : 0;
    if (S_ISDIR(info.st_mode)) return faDirectory | hidden;
    if (!S_ISREG(info.st_mode)) return faNormal;
    std::uint32_t readOnly = access(path.c_str(), W_OK) == 0 ? 0 : std::uint32_t{faReadOnly};
    return faArchive | hidden | readOnly;
}

}  // namespace

std::uint32_t FileAttributes(const std::filesystem::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? AttributesOf(info, path) : faNormal;
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    // Greedy match with one back-track point: the last '*' seen.
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || SameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<FoundFile> FindFiles(const std::string& pattern) {
    auto cut = pattern.find_last_of('/');
    std::string folder = cut == std::string::npos ? "." : pattern.substr(0, cut + 1);
    std::string wildcard = cut == std::string::npos ? pattern : pattern.substr(cut + 1);

    std::vector<FoundFile> found;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (!MatchesWildcard(wildcard, name)) continue;
        struct stat info {};
        if (stat(it->path().c_str(), &info) != 0) {  // a broken link or an entry gone meanwhile
            found.push_back({name, faNormal, 0, LocalTime(0)});
            continue;
        }
        std::uint64_t size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
        found.push_back({name, AttributesOf(info, it->path()), size, LocalTime(info.st_mtime)});
    }
    std::sort(found.begin(), found.end(), [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
    return found;
}

}  // namespace platform
