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

// The places of the lock files, in groups, best first in each. A start uses
// the first place it can have of every group: the runtime folder when it is
// usable, and always the temp folder or else the settings folder, which
// starts of the user whose runtime folders differ (one set, one unset) find
// alike.
std::vector<std::vector<std::string>> Candidates(const std::string& name) {
    std::vector<std::vector<std::string>> groups;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && IsOwnWritableFolder(runtime)) groups.push_back({(std::filesystem::path(runtime) / name).string()});
    std::vector<std::string> fallbacks;
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (!error) fallbacks.push_back((temp / (name + "-" + std::to_string(geteuid()))).string());
    // The settings store's folder is the user's own, which nobody else can fill.
    fallbacks.push_back((std::filesystem::path(RegistryStorePath()).parent_path() / name).string());
    groups.push_back(fallbacks);
    return groups;
}

// Opens the lock file at `path`, creating it, without following a link and
// without waiting on a pipe someone put there; -1 with errno set when it
// can't be had or isn't a private file of this user.
int OpenOwnFile(const std::string& path) {
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

    // The first usable place of every group; throws when there is none at
    // all, naming the last place tried.
    explicit LockFiles(const std::string& name) {
        std::string problem;
        for (const auto& group : Candidates(name)) {
            for (const std::string& candidate : group) {
                std::error_code ignored;
                std::filesystem::create_directories(std::filesystem::path(candidate).parent_path(), ignored);
                if (int fd = OpenOwnFile(candidate); fd >= 0) {
                    Add(fd, candidate);
                    break;
                }
                problem = candidate + ": " + std::strerror(errno);
            }
        }
        if (files_.empty()) throw Exception(problem);
    }

    const std::string& FirstPath() const { return files_.front().second; }

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

std::string InstanceLockPath(const std::string& name) { return LockFiles(name).FirstPath(); }

bool InstanceRunning(const std::string& name) { return !LockFiles(name).LockAll(LOCK_SH); }

bool TakeInstanceLock(const std::string& name) {
    LockFiles files(name);
    if (!files.LockAll(LOCK_EX)) return false;
    files.Keep();
    return true;
}

}  // namespace platform
