#include "core/FileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/Files.h"

namespace strova {

std::size_t ReadUpTo(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) errno = 0;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    return ReadUpTo(fd, buffer, size, offset) == size;
}

FilePtr OpenRegularStream(const std::string& path, int& error) {
    const int fd = platform::OpenRegularFile(path, error);
    if (fd < 0) return nullptr;
    FilePtr stream(fdopen(fd, "rb"));
    if (!stream) {
        error = errno;
        ::close(fd);
    }
    return stream;
}

namespace {

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}


}  // namespace

FileIdentity IdentityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size), Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
}

FileIdentity IdentityOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? IdentityOf(info) : FileIdentity{};
}

FileIdentity IdentityOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? IdentityOf(info) : FileIdentity{};
}

std::string ReasonText(int error, bool japanese) {
    if (japanese && error == platform::NotRegularFile) return "通常のﾌｧｲﾙではありません．";
    if (japanese && error == platform::ForeignLink) return "共有ﾌｫﾙﾀﾞにある他のﾕｰｻﾞのﾘﾝｸです．";
    return platform::ErrorText(error);
}

std::string ReasonOnNewLine(int error, bool japanese, const std::string& lineBreak) {
    return error != 0 ? lineBreak + ReasonText(error, japanese) : std::string();
}

std::string RefusalLine(int error, bool japanese, const std::string& lineBreak) {
    const bool refused = error == platform::NotRegularFile || error == platform::ForeignLink;
    return refused ? ReasonOnNewLine(error, japanese, lineBreak) : std::string();
}

}  // namespace strova
