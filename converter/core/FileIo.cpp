#include "core/FileIo.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace strova {

std::size_t ReadUpTo(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    return ReadUpTo(fd, buffer, size, offset) == size;
}

}  // namespace strova
