#include "core/BmpCore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/FileIo.h"

namespace strova {

static_assert(std::endian::native == std::endian::little, "the file formats are little-endian");

namespace {

constexpr std::uint8_t kGray = 192;

bool IsGray(const std::uint8_t* pixel) { return pixel[0] == kGray && pixel[1] == kGray && pixel[2] == kGray; }

// Appends the gray pixels among `count` pixels of row `y` starting at
// column `x`, whose bytes begin at `bytes`.
void CollectGray(const std::uint8_t* bytes, std::int32_t count, std::int32_t x, std::int32_t y,
                 RecordWriter<PixelRecord>& out) {
    for (std::int32_t i = 0; i < count; ++i)
        if (IsGray(bytes + 3 * static_cast<std::size_t>(i))) out.Add(PixelRecord{x + i, y});
}

std::string Format(const char* format, auto... values) {
    char line[128];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

}  // namespace

std::string BmpErrorText(BmpError error, const std::string& bitmapPath, const std::string& tmpPath) {
    switch (error) {
    case BmpError::None:
        return {};
    case BmpError::Open:
        return "Bitmap file <" + bitmapPath + ">\rcan't open.";
    case BmpError::Read:
        return "Failed to read the bitmap file\r<" + bitmapPath + ">.";
    case BmpError::Not24Bit:
        return "This is not 24 bits hi-\rresolution color bitmap.";
    case BmpError::TempOpen:
        return "Temporary file <" + tmpPath + ">\rcan't open.";
    case BmpError::TempWrite:
        return "Temporary file <" + tmpPath + ">\rcan't be written.";
    }
    return {};
}

std::int64_t RowStride(std::int32_t width) {
    if (width <= 0) return 0;
    const std::int64_t stride = (3 * static_cast<std::int64_t>(width) + 3) / 4 * 4;
    return stride > INT32_MAX ? -1 : stride;
}

int ScanProgressStep(std::int32_t height) {
    const std::int64_t step = height < 0 ? 0 : (static_cast<std::int64_t>(height) + 50) / 100;
    return step < 1 ? 1 : static_cast<int>(step);
}

BmpReader::BmpReader(std::string path) : path_(std::move(path)) {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = BmpError::Open;
        return;
    }
    ReadHeaders();
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
    if (infoHeader_.biBitCount != 24) return Fail(BmpError::Not24Bit);
    // A picture whose rows or pixel count cannot be counted in 32 bits is not
    // one we can scan (nor one the later steps could number).
    const std::int64_t pixels = static_cast<std::int64_t>(infoHeader_.biWidth) * infoHeader_.biHeight;
    if (RowStride(infoHeader_.biWidth) < 0 || pixels > INT32_MAX) Fail(BmpError::Read);
}

BmpError BmpReader::ScanGrayPixels(const std::string& tmpPath, ProgressSink& progress) {
    if (!Ok()) return error_;
    FilePtr tmp(std::fopen(tmpPath.c_str(), "wb"));
    if (!tmp) {
        Fail(BmpError::TempOpen);
        return error_;
    }
    const std::int32_t width = infoHeader_.biWidth;
    const std::int32_t height = infoHeader_.biHeight;
    const std::uint64_t stride = static_cast<std::uint64_t>(RowStride(width));
    const std::uint64_t firstRow = sizeof(BitmapFileHeader) + std::uint64_t{infoHeader_.biSize};
    const int step = ScanProgressStep(height);
    progress.SetToMinimum();

    RecordWriter<PixelRecord> out(tmp.get());
    struct stat file {};
    ReadWindow window(fd_, ::fstat(fd_, &file) == 0 ? static_cast<std::uint64_t>(file.st_size) : 0);
    BmpError result = BmpError::None;
    // Rows without pixels are not walked: nothing of them is read or written.
    const std::int32_t rows = width > 0 ? height : 0;
    for (std::int32_t row = 0; row < rows && result == BmpError::None; ++row) {
        std::uint64_t offset = firstRow + row * stride;
        for (std::int32_t x = 0; x < width;) {
            const ReadWindow::Span span = window.At(offset, 3);
            const std::int32_t count =
                static_cast<std::int32_t>(std::min<std::uint64_t>(width - x, span.size / 3));
            if (count == 0) {
                result = BmpError::Read;
                break;
            }
            CollectGray(span.data, count, x, row, out);
            x += count;
            offset += 3 * static_cast<std::uint64_t>(count);
        }
        if (row % step == 1) progress.StepBy(1);
    }
    grayCount_ = static_cast<std::uint32_t>(out.Count());
    const bool written = out.Finish() && std::fclose(tmp.release()) == 0;
    if (result == BmpError::None && !written) result = BmpError::TempWrite;
    if (result != BmpError::None) {
        Fail(result);
        return result;
    }
    progress.SetToMaximum();
    ::close(fd_);
    fd_ = -1;
    return BmpError::None;
}

std::vector<std::string> BmpReader::InfoLines() const {
    const BitmapFileHeader& f = fileHeader_;
    const BitmapInfoHeader& i = infoHeader_;
    const long long pixels = static_cast<long long>(i.biWidth) * i.biHeight;
    std::vector<std::string> lines{
        "[Bitmap File]" + path_,
        Format("Bitmap File Type: %u (\"BM\" = 19778)", unsigned{f.bfType}),
        Format("Bitmap File Size: %lu bytes", static_cast<unsigned long>(f.bfSize)),
        Format("     bfReserved1: %u", unsigned{f.bfReserved1}),
        Format("     bfReserved2: %u", unsigned{f.bfReserved2}),
        Format("   Bitmap Offset: %lu byte later", static_cast<unsigned long>(f.bfOffBits)),
        Format("Info Header Size: %lu bytes", static_cast<unsigned long>(i.biSize)),
        Format("Bmp Image  Width: %ld pixel", static_cast<long>(i.biWidth)),
        Format("Bmp Image Height: %ld pixels", static_cast<long>(i.biHeight)),
        Format("Bmp Image   Size: %lld pixels", pixels),
        Format("Required BmpSize: %lld bytes for 24 bit Color", pixels * 3),
        Format("Bmp Color Planes: %u (Always 1)", unsigned{i.biPlanes}),
    };
    if (i.biSize > 16) {
        lines.push_back(Format("Pixel Color Bits: %u (One of 0, 1, 4, 8, 24)", unsigned{i.biBitCount}));
        lines.push_back(Format(" Compress Method: %u (0: No compression)", static_cast<unsigned>(i.biCompression)));
        lines.push_back(Format("Recorded BmpSize: %lu bytes (0: default)", static_cast<unsigned long>(i.biSizeImage)));
        lines.push_back(Format("Horizontal Resol: %ld pixels per meter (0: default)", static_cast<long>(i.biXPelsPerMeter)));
        lines.push_back(Format("  Vertical Resol: %ld pixels per meter (0: default)", static_cast<long>(i.biYPelsPerMeter)));
        lines.push_back(Format("     Used Colors: %lu (0: default)", static_cast<unsigned long>(i.biClrUsed)));
        lines.push_back(Format("Used Imp. Colors: %lu (0: default)", static_cast<unsigned long>(i.biClrImportant)));
    }
    lines.push_back(Format("     Gray Pixels: %lu", static_cast<unsigned long>(grayCount_)));
    return lines;
}

}  // namespace strova
