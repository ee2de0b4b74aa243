// Small file helpers the cores share: owned stdio streams and whole reads at
// an offset.
#pragma once

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

// Reads `size` bytes at `offset`; false when the file holds fewer.
bool ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset);
// Reads up to `size` bytes at `offset`; returns how many were read.
std::size_t ReadUpTo(int fd, void* buffer, std::size_t size, std::uint64_t offset);

}  // namespace strova
