// Small file helpers the cores share: owned stdio streams, whole reads at an
// offset, which file stands under a name, and the reasons messages give.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/Numbers.h"

namespace strova {

// A line of text made with printf's format, the same in every locale.
std::string Printf(const char* format, auto... values) { return platform::FormatNumbers(format, values...); }

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing regular file for reading as platform::OpenRegularFile
// does (never blocking, links followed only where permitted); null, with
// the reason in `error`, when it can't.
FilePtr OpenRegularStream(const std::string& path, int& error);

// Reads `size` bytes at `offset`; false when the file holds fewer.
bool ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset);
// Reads up to `size` bytes at `offset`; returns how many were read. When
// fewer, errno holds the read error, or 0 at the end of the file.
std::size_t ReadUpTo(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// Which file stands under a name, and in which state: tells whether a file
// was replaced or changed since it was looked at. The change time tells also
// of a file rewritten in place whose modification time was set back.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0;  // nanoseconds
    std::int64_t changed = 0;   // nanoseconds
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const struct stat& info);
FileIdentity IdentityOf(int fd);
// The identity of the file at `path`, links followed (all 0 when there is none).
FileIdentity IdentityOf(const std::string& path);

// The reason a message gives for an error number or a platform::FileRefusal,
// in the message's language: the system's own texts are English in both.
std::string ReasonText(int error, bool japanese);
// The reason on a line of its own: empty for 0.
std::string ReasonOnNewLine(int error, bool japanese, const std::string& lineBreak = "\r");
// The reason on a line of its own for a refused file, for the messages that
// name no reason of the system's: empty for any other error.
std::string RefusalLine(int error, bool japanese, const std::string& lineBreak = "\r");

}  // namespace strova
