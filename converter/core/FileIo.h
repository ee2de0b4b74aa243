// Small file helpers the cores share: owned stdio streams, whole reads at an
// offset, a bounded read window over a file and a buffered record writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace strova {

// A line of text made with printf's format (lines of the process log and
// of the station list are short).
std::string Printf(const char* format, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads `size` bytes at `offset`; false when the file holds fewer.
bool ReadExactly(int fd, void* buffer, std::size_t size, std::uint64_t offset);
// Reads up to `size` bytes at `offset`; returns how many were read.
std::size_t ReadUpTo(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// A window of a few MiB over a file read with pread: At(offset, min) gives the
// bytes from `offset` on, refilling the window when fewer than `min` of them
// are in it; an empty span means the file ends before `offset` + `min`.
class ReadWindow {
public:
    struct Span {
        const std::uint8_t* data;
        std::size_t size;
    };
    // The window holds at most `fileSize` bytes, and never more than a few MiB.
    ReadWindow(int fd, std::uint64_t fileSize);
    Span At(std::uint64_t offset, std::size_t min);

private:
    int fd_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint64_t start_ = 0;
    std::size_t size_ = 0;
};

// Collects fixed-size records and writes them in blocks; remembers a failed write.
template <typename Record>
class RecordWriter {
public:
    explicit RecordWriter(std::FILE* file) : file_(file) { buffer_.reserve(kRecords); }
    void Add(const Record& record) {
        buffer_.push_back(record);
        ++count_;
        if (buffer_.size() == kRecords) Flush();
    }
    std::uint64_t Count() const { return count_; }
    // Writes what is left; true when every record reached the stream.
    bool Finish() {
        Flush();
        return ok_ && std::fflush(file_) == 0;
    }

private:
    static constexpr std::size_t kRecords = 1 << 16;
    void Flush() {
        if (ok_ && !buffer_.empty())
            ok_ = std::fwrite(buffer_.data(), sizeof(Record), buffer_.size(), file_) == buffer_.size();
        buffer_.clear();
    }
    std::FILE* file_;
    std::vector<Record> buffer_;
    std::uint64_t count_ = 0;
    bool ok_ = true;
};

}  // namespace strova
