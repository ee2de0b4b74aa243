#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

// The places of the lock file, best first.
std::vector<std::string> Candidates(const std::string& name) {
    std::vector<std::string> paths;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && IsOwnWritableFolder(runtime)) paths.push_back((std::filesystem::path(runtime) / name).string());
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (!error) paths.push_back((temp / (name + "-" + std::to_string(geteuid()))).string());
    // The settings store's folder is the user's own, which nobody else can fill.
    paths.push_back((std::filesystem::path(RegistryStorePath()).parent_path() / name).string());
    return paths;
}

// Opens the lock file at `path`, creating it, without following a link;
// -1 with errno set when it can't be had or isn't a private file of this user.
int OpenOwnFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0)
        return fd;
    close(fd);
    errno = EACCES;
    return -1;
}

// The lock file of the first usable place, with its path; throws when none
// can be had, naming the last place tried.
int OpenLockFile(const std::string& name, std::string& path) {
    std::string problem;
    for (const std::string& candidate : Candidates(name)) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(candidate).parent_path(), ignored);
        int fd = OpenOwnFile(candidate);
        if (fd >= 0) {
            path = candidate;
            return fd;
        }
        problem = candidate + ": " + std::strerror(errno);
    }
    throw Exception(problem);
}

// False when another process holds the lock; throws when the file can't be
// locked at all.
bool Lock(int fd, int operation, const std::string& path) {
    int result;
    do {
        result = flock(fd, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0 || errno == EWOULDBLOCK) return result == 0;
    std::string problem = path + ": " + std::strerror(errno);
    close(fd);
    throw Exception(problem);
}

}  // namespace

std::string InstanceLockPath(const std::string& name) {
    std::string path;
    close(OpenLockFile(name, path));
    return path;
}

bool InstanceRunning(const std::string& name) {
    std::string path;
    int fd = OpenLockFile(name, path);
    bool running = !Lock(fd, LOCK_SH, path);
    close(fd);
    return running;
}

bool TakeInstanceLock(const std::string& name) {
    std::string path;
    int fd = OpenLockFile(name, path);
    if (Lock(fd, LOCK_EX, path)) return true;  // fd stays open: the lock lives with the process
    close(fd);
    return false;
}

}  // namespace platform
