#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

std::string ErrorText(int error) {
    switch (error) {
    case NotRegularFile:
        return "Not a regular file";
    case ForeignLink:
        return "A link of another user in a shared folder";
    default:
        return std::strerror(error);
    }
}

std::string ContainingFolder(const std::string& path) {
    const auto cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

namespace {

constexpr int kLinkLimit = 40;

// Another user's link in a folder that is sticky and world-writable, such as
// /tmp, may have been put there to redirect the user's writes: it is followed
// only when the folder's owner made it.
bool MayFollowLink(const std::string& link, const struct stat& linkInfo) {
    if (linkInfo.st_uid == geteuid()) return true;
    struct stat folder {};
    if (stat(ContainingFolder(link).c_str(), &folder) != 0) return false;
    constexpr mode_t shared = S_ISVTX | S_IWOTH;
    return (folder.st_mode & shared) != shared || folder.st_uid == linkInfo.st_uid;
}

// `folder` + "/" + `entry`, where an empty folder is the current one.
std::string Join(const std::string& folder, const std::string& entry) {
    if (folder.empty()) return entry;
    return folder.ends_with('/') ? folder + entry : folder + "/" + entry;
}

}  // namespace

// Walks `path` entry by entry and follows every link on the way, one to a
// folder in the middle as well as the last one, as the kernel does, but only
// those that MayFollowLink lets through.
int FollowPermittedLinks(const std::string& path, std::string& target) {
    std::string walked = path.starts_with('/') ? "/" : "";  // no link in it
    std::string rest = path;
    for (int hops = 0; !rest.empty();) {
        const std::size_t cut = rest.find('/');
        const std::string entry = rest.substr(0, cut);
        rest.erase(0, cut == std::string::npos ? rest.size() : cut + 1);
        if (entry.empty()) continue;
        target = Join(walked, entry);
        struct stat info {};
        char link[4096];
        const ssize_t length = lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)
                                   ? readlink(target.c_str(), link, sizeof link - 1)
                                   : -1;
        if (length < 0) {
            walked = target;
            continue;
        }
        if (!MayFollowLink(target, info)) return ForeignLink;
        if (++hops > kLinkLimit) return ELOOP;
        // What the link says takes its place, read from the folder it lies in.
        if (!rest.empty()) rest.insert(0, "/");
        rest.insert(0, link, static_cast<std::size_t>(length));
        if (link[0] == '/') walked = "/";
    }
    target = walked;
    return 0;
}

int OpenRegularFile(const std::string& path, int& error) {
    std::string target;
    error = FollowPermittedLinks(path, target);
    if (error != 0) return -1;
    // O_NOFOLLOW: a link put under the name since it was looked at is not
    // followed unchecked. O_NONBLOCK: a pipe opens at once, to be refused.
    const int fd = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    else if (!S_ISREG(info.st_mode))
        error = NotRegularFile;
    if (error == 0) return fd;
    close(fd);
    return -1;
}

}  // namespace platform
