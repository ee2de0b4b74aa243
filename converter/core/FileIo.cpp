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

ReadWindow::ReadWindow(int fd, std::uint64_t fileSize)
    : fd_(fd),
      capacity_(static_cast<std::size_t>(std::clamp<std::uint64_t>(fileSize, 64, std::uint64_t{4} << 20))),
      buffer_(new std::uint8_t[capacity_]) {}

ReadWindow::Span ReadWindow::At(std::uint64_t offset, std::size_t min) {
    if (offset < start_ || offset + min > start_ + size_) {
        start_ = offset;
        size_ = offset > INT64_MAX - capacity_ ? 0 : ReadUpTo(fd_, buffer_.get(), capacity_, offset);
    }
    const std::size_t skip = static_cast<std::size_t>(offset - start_);
    if (size_ < skip + min) return {nullptr, 0};
    return {buffer_.get() + skip, size_ - skip};
}

}  // namespace strova
