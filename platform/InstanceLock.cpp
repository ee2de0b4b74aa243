#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "Exception.h"
#include "Registry.h"

namespace platform {

namespace {

bool IsOwnWritableFolder(const std::string& folder) {
    struct stat info {};
    return !folder.empty() && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && access(folder.c_str(), W_OK | X_OK) == 0;
}

// The places of the lock files; a start uses every one it can have. The
// runtime folder when it is usable and the temp folder serve the starts of
// one session; the settings store's folder is the one place every start of
// the user shares, with or without a runtime folder and whatever its temp
// folder, and, being the user's own, nobody else can fill it.
// The settings folder is made when it is missing, as the store would make
// it: one that root (sudo) makes for a user's settings is the user's, and so
// takes no lock file of root's.
std::vector<std::string> Places(const std::string& name) {
    std::vector<std::string> places;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && IsOwnWritableFolder(runtime)) places.push_back((std::filesystem::path(runtime) / name).string());
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (!error) places.push_back((temp / (name + "-" + std::to_string(geteuid()))).string());
    const std::filesystem::path settings = std::filesystem::path(RegistryStorePath()).parent_path();
    static_cast<void>(MakeSettingsFolder(settings.string()));  // a folder that can't be made is no place
    places.push_back((settings / name).string());
    return places;
}

// A folder that holds lock files: one of the user's own, or a sticky one
// (the temp folder), where nobody else can take a file of the user's away.
// A file made in another user's folder would stay out of that user's reach:
// root (sudo) started with a user's settings would take the user's place
// beside them for good.
bool MayHoldLocks(const std::filesystem::path& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return false;
    if (info.st_uid == geteuid() || (info.st_mode & S_ISVTX) != 0) return true;
    errno = EACCES;
    return false;
}

// Opens the lock file at `path`, creating it, without following a link and
// without waiting on a pipe someone put there; -1 with errno set when it
// can't be had or isn't a private file of this user.
int OpenOwnFile(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!MayHoldLocks(folder.empty() ? "." : folder)) return -1;
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0)
        return fd;
    close(fd);
    errno = EACCES;
    return -1;
}

// The open lock files of a marker, closed with it unless kept.
class LockFiles {
public:
    ~LockFiles() {
        for (const auto& [fd, path] : files_) close(fd);
    }
    LockFiles(const LockFiles&) = delete;
    LockFiles& operator=(const LockFiles&) = delete;

    // Every usable place; throws when there is none at all, naming the last
    // place tried.
    explicit LockFiles(const std::string& name) {
        std::string problem;
        for (const std::string& place : Places(name)) {
            if (int fd = OpenOwnFile(place); fd >= 0)
                Add(fd, place);
            else
                problem = place + ": " + std::strerror(errno);
        }
        if (files_.empty()) throw Exception(problem);
    }

    // False when another process holds any of the files; throws when one
    // can't be locked at all.
    bool LockAll(int operation) const {
        for (const auto& [fd, path] : files_)
            if (!Lock(fd, operation, path)) return false;
        return true;
    }

    // The files stay open, and so locked, for the rest of the process.
    void Keep() { files_.clear(); }

private:
    // Two places may be one file (a runtime folder that is the settings
    // folder): it is locked once, as a second lock of it would conflict
    // with the first.
    void Add(int fd, const std::string& path) {
        struct stat added {};
        fstat(fd, &added);
        for (const auto& [held, heldPath] : files_) {
            struct stat info {};
            if (fstat(held, &info) == 0 && info.st_dev == added.st_dev && info.st_ino == added.st_ino) {
                close(fd);
                return;
            }
        }
        files_.emplace_back(fd, path);
    }

    static bool Lock(int fd, int operation, const std::string& path) {
        int result;
        do {
            result = flock(fd, operation | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result == 0 || errno == EWOULDBLOCK) return result == 0;
        throw Exception(path + ": " + std::strerror(errno));
    }

    std::vector<std::pair<int, std::string>> files_;
};

}  // namespace

bool InstanceRunning(const std::string& name) { return !LockFiles(name).LockAll(LOCK_SH); }

bool TakeInstanceLock(const std::string& name) {
    LockFiles files(name);
    if (!files.LockAll(LOCK_EX)) return false;
    files.Keep();
    return true;
}

}  // namespace platform
