#include "core/BmpCore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "core/Parallel.h"
#include "platform/Files.h"

namespace strova {

static_assert(std::endian::native == std::endian::little, "the file formats are little-endian");

namespace {

constexpr std::uint8_t kGray = 192;
// The widest and tallest picture: a *.cfg record holds a pixel's column and
// row in 16 bits.
constexpr std::int64_t kMaxSide = 32767;
// Pixels handed to a worker at a time, and pixels it reads at a time: one
// read stays in the core's own cache while it is scanned, and the buffer is
// the thread's for the whole scan, so no fresh memory is touched for it.
constexpr std::int64_t kChunkPixels = std::int64_t{1} << 17;
constexpr std::int64_t kReadPixels = std::int64_t{1} << 15;
// The scan is bound by memory bandwidth, not by the cores: two threads
// scanning, and the writing thread whenever it would wait, keep the writes
// going, and more threads would only compete with them for the same memory.
constexpr int kScanThreads = 2;

// Whether the information header reaches beyond width, height, planes and
// bit count; only then are its later fields its own.
bool HasExtendedFields(const BitmapInfoHeader& header) { return header.biSize > 16; }

bool IsGray(const std::uint8_t* pixel) { return pixel[0] == kGray && pixel[1] == kGray && pixel[2] == kGray; }

// Stores the gray pixels among `count` pixels of row `y` starting at column
// `x`, whose bytes begin at `bytes`, from `out` on; returns the end.
PixelRecord* CollectGray(const std::uint8_t* bytes, std::int32_t count, std::int32_t x, std::int32_t y,
                         PixelRecord* out) {
    std::int32_t i = 0;
#ifdef __SSE2__
    // Sixteen pixels (48 bytes) at a time: one bit per byte that is 192, then
    // one bit (the lowest of its three) per pixel whose three bytes all are.
    constexpr std::uint64_t kPixelBits = 0x249249249249;  // bits 0, 3, ..., 45
    const __m128i gray = _mm_set1_epi8(static_cast<char>(kGray));
    const auto grayBytes = [&](const std::uint8_t* p) {
        return static_cast<std::uint64_t>(static_cast<std::uint16_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), gray))));
    };
    for (; i + 16 <= count; i += 16) {
        const std::uint8_t* p = bytes + 3 * static_cast<std::size_t>(i);
        const std::uint64_t mask = grayBytes(p) | grayBytes(p + 16) << 16 | grayBytes(p + 32) << 32;
        std::uint64_t pixels = mask & mask >> 1 & mask >> 2 & kPixelBits;
        if (pixels == kPixelBits) {
            for (int k = 0; k < 16; ++k) *out++ = PixelRecord{x + i + k, y};
            continue;
        }
        for (; pixels != 0; pixels &= pixels - 1)
            *out++ = PixelRecord{x + i + std::countr_zero(pixels) / 3, y};
    }
#endif
    for (; i < count; ++i)
        if (IsGray(bytes + 3 * static_cast<std::size_t>(i))) *out++ = PixelRecord{x + i, y};
    return out;
}

// The bytes of a bitmap: its open file, or the bitmap itself in memory.
struct ByteSource {
    int fd = -1;
    std::span<const std::uint8_t> memory;

    // Reads up to `size` bytes at `offset`; returns how many were read.
    std::size_t ReadUpTo(void* buffer, std::size_t size, std::uint64_t offset) const {
        if (fd >= 0) return strova::ReadUpTo(fd, buffer, size, offset);
        if (offset >= memory.size()) return 0;
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(size, memory.size() - offset));
        std::memcpy(buffer, memory.data() + offset, count);
        return count;
    }
};

// File offset of the pixel at `position`, its place in scan order:
// y * width + x, rows from the bottom of the picture.
std::uint64_t PixelOffset(const PixelRows& rows, std::int64_t position) {
    return rows.RowOffset(static_cast<std::int32_t>(position / rows.width)) +
           3 * static_cast<std::uint64_t>(position % rows.width);
}

// A run of pixels in scan order and the gray ones among them.
struct ScanChunk {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t scanned = 0;  // last - first, or fewer when the file ends early
    std::unique_ptr<PixelRecord[]> gray;  // room for every pixel, touched only as far as used
    std::size_t grayCount = 0;
};

// Reads pixels first..last-1 in one block and appends their gray ones at
// `out`; returns how many pixels it scanned, which is fewer when the file
// ends early (it stops at the first pixel the file does not hold whole).
// Rows stored top-down lie in the file in the opposite order of the scan:
// the block then begins at the range's last row and ends in its first.
std::int64_t ScanRange(const ByteSource& source, const PixelRows& rows, std::int64_t first, std::int64_t last,
                       std::vector<std::uint8_t>& block, PixelRecord*& out) {
    const std::int64_t lastRowStart = std::max(first, (last - 1) / rows.width * rows.width);
    const std::int64_t firstRowEnd = std::min(last, (first / rows.width + 1) * rows.width);
    const std::uint64_t begin = PixelOffset(rows, rows.topDown ? lastRowStart : first);
    const std::uint64_t size = PixelOffset(rows, rows.topDown ? firstRowEnd - 1 : last - 1) + 3 - begin;
    if (block.size() < size) block.resize(size);
    const std::size_t got = source.ReadUpTo(block.data(), size, begin);
    for (std::int64_t p = first; p < last;) {
        const std::int32_t x = static_cast<std::int32_t>(p % rows.width);
        const std::int64_t inRow = std::min<std::int64_t>(rows.width - x, last - p);
        const std::uint64_t at = PixelOffset(rows, p) - begin;
        const std::int64_t whole = at < got ? static_cast<std::int64_t>((got - at) / 3) : 0;
        const std::int32_t count = static_cast<std::int32_t>(std::min(inRow, whole));
        out = CollectGray(block.data() + at, count, x, static_cast<std::int32_t>(p / rows.width), out);
        p += count;
        if (count < inRow) return p - first;
    }
    return last - first;
}

// Scans the chunk a read at a time and keeps its gray pixels.
void ScanChunkPixels(const ByteSource& source, const PixelRows& rows, ScanChunk& chunk) {
    thread_local std::vector<std::uint8_t> block;
    if (!chunk.gray) chunk.gray = std::make_unique_for_overwrite<PixelRecord[]>(kChunkPixels);
    PixelRecord* out = chunk.gray.get();
    chunk.scanned = 0;
    for (std::int64_t p = chunk.first; p < chunk.last;) {
        const std::int64_t end = std::min(p + kReadPixels, chunk.last);
        const std::int64_t scanned = ScanRange(source, rows, p, end, block, out);
        chunk.scanned += scanned;
        if (scanned < end - p) break;
        p = end;
    }
    chunk.grayCount = static_cast<std::size_t>(out - chunk.gray.get());
}

// The pixel file is made new, so that nothing under its name is ever
// written through: a link someone put there goes, and so does a pipe.
int CreateFresh(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::string BmpErrorText(BmpError error, const std::string& bitmapPath, const std::string& tmpPath, int systemError) {
    switch (error) {
    case BmpError::None:
        return {};
    case BmpError::Open:
        return "Bitmap file <" + bitmapPath + ">\rcan't open." + RefusalLine(systemError, false);
    case BmpError::Read:
        return "Failed to read the bitmap file\r<" + bitmapPath + ">.";
    case BmpError::Not24Bit:
        return "This is not 24 bits hi-\rresolution color bitmap.";
    case BmpError::TempOpen:
        return "Temporary file <" + tmpPath + ">\rcan't open.";
    case BmpError::TempWrite:
        return "Temporary file <" + tmpPath + ">\rcan't be written." + ReasonOnNewLine(systemError, false);
    case BmpError::Compressed:
    case BmpError::BadSize:
    case BmpError::TooLarge:
    case BmpError::NoGray:
        return {};  // their texts name the header's values: BmpRefusalText
    }
    return {};
}

std::string BmpRefusalText(BmpError error, const std::string& bitmapPath, const BitmapInfoHeader& header,
                           bool japanese) {
    const std::string file = (japanese ? "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ <" : "Bitmap file <") + bitmapPath + ">\r";
    const std::string size = Printf("%ld x %ld", static_cast<long>(header.biWidth), static_cast<long>(header.biHeight));
    switch (error) {
    case BmpError::Compressed: {
        const std::string method = Printf("%u", static_cast<unsigned>(header.biCompression));
        return japanese ? file + "は圧縮されています (方式 " + method + ")．\r非圧縮のﾋﾞｯﾄﾏｯﾌﾟだけを読めます．"
                        : file + "is compressed (method " + method + ").\rOnly uncompressed bitmaps can be read.";
    }
    case BmpError::BadSize:
        return japanese ? file + "の大きさ " + size + " ﾋﾟｸｾﾙは不正です．"
                        : file + "has an invalid size of " + size + " pixels.";
    case BmpError::TooLarge:
        return japanese ? file + "は " + size + " ﾋﾟｸｾﾙで，ﾋﾟｸｾﾙ 32767 を超えています．\r*.cfg ﾌｧｲﾙには収まりません．"
                        : file + "is " + size + " pixels and lies beyond pixel 32767,\rwhich a *.cfg file can't hold.";
    case BmpError::NoGray:
        return japanese ? file + "には灰色 (RGB 192,192,192) のﾋﾟｸｾﾙがありません．\r変換する陸地がありません．"
                        : file + "has no gray (RGB 192,192,192) pixel.\rThere is no land to convert.";
    default:
        return {};
    }
}

std::string BitmapFileLine(const std::string& bitmapPath) { return "[Bitmap File]" + bitmapPath; }

std::int64_t RowStride(std::int32_t width) {
    if (width <= 0) return 0;
    const std::int64_t stride = (3 * static_cast<std::int64_t>(width) + 3) / 4 * 4;
    return stride > INT32_MAX ? -1 : stride;
}

std::uint64_t PixelRows::RowOffset(std::int32_t y) const {
    const std::int32_t stored = topDown ? height - 1 - y : y;
    return first + static_cast<std::uint64_t>(stored) * stride;
}

int ScanProgressStep(std::int32_t height) {
    const std::int64_t step = height < 0 ? 0 : (static_cast<std::int64_t>(height) + 50) / 100;
    return step < 1 ? 1 : static_cast<int>(step);
}

BmpReader::BmpReader(std::string path) : path_(std::move(path)) {
    fd_ = platform::OpenRegularFile(path_, systemError_);
    if (fd_ < 0) {
        // A folder could always be opened, and then not be read.
        error_ = systemError_ == EISDIR ? BmpError::Read : BmpError::Open;
        return;
    }
    identity_ = IdentityOf(fd_);
    ReadHeaders();
}

BmpReader::BmpReader(std::string path, std::span<const std::uint8_t> bytes) : path_(std::move(path)), memory_(bytes) {
    const ByteSource source{-1, bytes};
    if (source.ReadUpTo(&fileHeader_, sizeof fileHeader_, 0) != sizeof fileHeader_ ||
        source.ReadUpTo(&infoHeader_, sizeof infoHeader_, sizeof fileHeader_) != sizeof infoHeader_) {
        Fail(BmpError::Read);
        return;
    }
    fileSize_ = bytes.size();
    CheckHeaders();
}

BmpReader::~BmpReader() {
    if (fd_ >= 0) ::close(fd_);
}

void BmpReader::Fail(BmpError error) {
    error_ = error;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void BmpReader::ReadHeaders() {
    if (!ReadExactly(fd_, &fileHeader_, sizeof fileHeader_, 0) ||
        !ReadExactly(fd_, &infoHeader_, sizeof infoHeader_, sizeof fileHeader_))
        return Fail(BmpError::Read);
    struct stat status {};
    if (::fstat(fd_, &status) != 0) return Fail(BmpError::Read);
    fileSize_ = static_cast<std::uint64_t>(status.st_size);
    CheckHeaders();
}

void BmpReader::CheckHeaders() {
    if (infoHeader_.biBitCount != 24) return Fail(BmpError::Not24Bit);
    // Compressed rows would be scanned as pixels; a header of 16 bytes or
    // less has no compression field (the bytes read there are pixels).
    if (HasExtendedFields(infoHeader_) && infoHeader_.biCompression != 0) return Fail(BmpError::Compressed);
    const std::int64_t width = infoHeader_.biWidth;
    const std::int64_t height = infoHeader_.biHeight;
    if (width <= 0 || height == 0) return Fail(BmpError::BadSize);
    if (width > kMaxSide || std::abs(height) > kMaxSide) return Fail(BmpError::TooLarge);
}

PixelRows BmpReader::Rows() const {
    PixelRows rows;
    const std::uint64_t afterHeaders = sizeof(BitmapFileHeader) + std::uint64_t{infoHeader_.biSize};
    const std::uint64_t offBits = fileHeader_.bfOffBits;
    rows.first = offBits >= afterHeaders && offBits < fileSize_ ? offBits : afterHeaders;
    rows.width = infoHeader_.biWidth;
    rows.stride = static_cast<std::uint64_t>(std::max<std::int64_t>(RowStride(rows.width), 0));
    rows.topDown = infoHeader_.biHeight < 0;
    // A height of -2^31 has no positive counterpart; no picture that tall is
    // ever scanned.
    const std::int64_t height = std::abs(std::int64_t{infoHeader_.biHeight});
    rows.height = static_cast<std::int32_t>(std::min<std::int64_t>(height, INT32_MAX));
    return rows;
}

// Workers read and scan runs of pixels in parallel; the gray pixels are
// written in scan order as the runs complete. The earlier pixel file is
// removed, not truncated: truncating a file to nothing makes ext4 flush it to
// disk when it is closed, which takes longer than the whole scan.
BmpError BmpReader::ScanGrayPixels(const std::string& tmpPath, ProgressSink& progress, int threads) {
    if (!Ok()) return error_;
    const int tmp = CreateFresh(tmpPath);
    if (tmp < 0) {
        systemError_ = errno;
        Fail(BmpError::TempOpen);
        return error_;
    }
    const PixelRows rows = Rows();
    const std::int32_t width = rows.width;
    const std::int32_t height = rows.height;
    const std::int64_t total = std::int64_t{width} * height;
    const std::uint64_t step = static_cast<std::uint64_t>(ScanProgressStep(height));
    progress.SetToMinimum();

    BmpError result = BmpError::None;
    std::atomic<bool> stopping{false};
    {
        const int workerCount = threads > 0 ? threads : std::min(kScanThreads, WorkerThreads());
        OrderedWorkers<ScanChunk> workers(workerCount, workerCount + 2, [&](ScanChunk& chunk) {
            if (!stopping) ScanChunkPixels(ByteSource{fd_, memory_}, rows, chunk);
        });
        for (std::int64_t next = 0; result == BmpError::None;) {
            for (ScanChunk* chunk; next < total && (chunk = workers.FreeSlot()) != nullptr; next = chunk->last) {
                chunk->first = next;
                chunk->last = std::min(next + kChunkPixels, total);
                workers.Submit();
            }
            ScanChunk* done = workers.WaitOldest();
            if (!done) break;
            if (!WriteAll(tmp, done->gray.get(), done->grayCount * sizeof(PixelRecord))) {
                result = BmpError::TempWrite;
                systemError_ = errno;
            }
            grayCount_ += static_cast<std::uint32_t>(done->grayCount);
            progress.StepBy(static_cast<int>(ProgressMoves(step, static_cast<std::uint64_t>(done->first / width),
                                                           static_cast<std::uint64_t>((done->first + done->scanned) / width))));
            if (done->scanned < done->last - done->first && result == BmpError::None) result = BmpError::Read;
            workers.Release();
        }
        stopping = result != BmpError::None;
    }
    // Taken after the last write, so that it is what later looks at the file see.
    const FileIdentity written = IdentityOf(tmp);
    if (::close(tmp) != 0 && result == BmpError::None) {
        result = BmpError::TempWrite;
        systemError_ = errno;
    }
    if (result != BmpError::None) {
        Fail(result);
        return result;
    }
    pixelIdentity_ = written;
    progress.SetToMaximum();
    ::close(fd_);
    fd_ = -1;
    return BmpError::None;
}

BmpError BmpReader::ScanGrayPixels(std::vector<PixelRecord>& pixels) {
    pixels.clear();
    if (!Ok()) return error_;
    const PixelRows rows = Rows();
    const std::int64_t total = std::int64_t{rows.width} * rows.height;
    ScanChunk chunk;
    for (std::int64_t next = 0; next < total; next = chunk.last) {
        chunk.first = next;
        chunk.last = std::min(next + kChunkPixels, total);
        ScanChunkPixels(ByteSource{fd_, memory_}, rows, chunk);
        pixels.insert(pixels.end(), chunk.gray.get(), chunk.gray.get() + chunk.grayCount);
        grayCount_ += static_cast<std::uint32_t>(chunk.grayCount);
        if (chunk.scanned < chunk.last - chunk.first) {
            Fail(BmpError::Read);
            return error_;
        }
    }
    return BmpError::None;
}

std::vector<std::string> BmpReader::InfoLines() const {
    const BitmapFileHeader& f = fileHeader_;
    const BitmapInfoHeader& i = infoHeader_;
    const long long pixels = static_cast<long long>(i.biWidth) * i.biHeight;
    std::vector<std::string> lines{
        BitmapFileLine(path_),
        Printf("Bitmap File Type: %u (\"BM\" = 19778)", unsigned{f.bfType}),
        Printf("Bitmap File Size: %lu bytes", static_cast<unsigned long>(f.bfSize)),
        Printf("     bfReserved1: %u", unsigned{f.bfReserved1}),
        Printf("     bfReserved2: %u", unsigned{f.bfReserved2}),
        Printf("   Bitmap Offset: %lu byte later", static_cast<unsigned long>(f.bfOffBits)),
        Printf("Info Header Size: %lu bytes", static_cast<unsigned long>(i.biSize)),
        Printf("Bmp Image  Width: %ld pixel", static_cast<long>(i.biWidth)),
        Printf("Bmp Image Height: %ld pixels", static_cast<long>(i.biHeight)),
        Printf("Bmp Image   Size: %lld pixels", pixels),
        // Any header may be dumped; bytes of scannable sizes never wrap.
        Printf("Required BmpSize: %lld bytes for 24 bit Color",
               static_cast<long long>(static_cast<unsigned long long>(pixels) * 3)),
        Printf("Bmp Color Planes: %u (Always 1)", unsigned{i.biPlanes}),
    };
    if (HasExtendedFields(i)) {
        lines.push_back(Printf("Pixel Color Bits: %u (One of 0, 1, 4, 8, 24)", unsigned{i.biBitCount}));
        lines.push_back(Printf(" Compress Method: %u (0: No compression)", static_cast<unsigned>(i.biCompression)));
        lines.push_back(Printf("Recorded BmpSize: %lu bytes (0: default)", static_cast<unsigned long>(i.biSizeImage)));
        lines.push_back(Printf("Horizontal Resol: %ld pixels per meter (0: default)", static_cast<long>(i.biXPelsPerMeter)));
        lines.push_back(Printf("  Vertical Resol: %ld pixels per meter (0: default)", static_cast<long>(i.biYPelsPerMeter)));
        lines.push_back(Printf("     Used Colors: %lu (0: default)", static_cast<unsigned long>(i.biClrUsed)));
        lines.push_back(Printf("Used Imp. Colors: %lu (0: default)", static_cast<unsigned long>(i.biClrImportant)));
    }
    lines.push_back(Printf("     Gray Pixels: %lu", static_cast<unsigned long>(grayCount_)));
    return lines;
}

}  // namespace strova
