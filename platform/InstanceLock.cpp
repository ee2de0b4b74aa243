#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace platform {

std::string InstanceLockPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path folder = runtime && *runtime ? std::filesystem::path(runtime)
                                                        : std::filesystem::temp_directory_path();
    return (folder / name).string();
}

bool TakeInstanceLock(const std::string& name) {
    int fd = open(InstanceLockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open: the lock lives with the process
    close(fd);
    return false;
}

}  // namespace platform
