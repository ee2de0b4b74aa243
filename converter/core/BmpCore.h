// The first step of a conversion without windows: the headers of a 24-bit
// bitmap, the scan that writes every gray pixel (RGB 192,192,192) as an
// (x, y) record to the temporary pixel file, the header dump of the process
// log and the texts of the step's error messages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/FileIo.h"
#include "core/Progress.h"

namespace strova {

#pragma pack(push, 1)
struct BitmapFileHeader {
    std::uint16_t bfType;
    std::uint32_t bfSize;
    std::uint16_t bfReserved1;
    std::uint16_t bfReserved2;
    std::uint32_t bfOffBits;
};
struct BitmapInfoHeader {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};
// One gray pixel of the temporary pixel file: column from the left, row in
// the bitmap's file order (from the bottom for an ordinary bitmap).
struct PixelRecord {
    std::int32_t x;
    std::int32_t y;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14 && sizeof(BitmapInfoHeader) == 40 && sizeof(PixelRecord) == 8);

enum class BmpError {
    None,
    Open,       // the bitmap can't be opened, or is no regular file
    Read,       // a header or a pixel row is cut short
    Not24Bit,   // biBitCount is not 24
    Compressed, // biCompression is not 0
    BadSize,    // a width of 0 or less, or a height of 0
    TooLarge,   // wider or taller than a *.cfg file can number
    NoGray,     // the scan found no gray pixel
    TempOpen,   // the temporary pixel file can't be created
    TempWrite,  // a record could not be written to the temporary pixel file
};

// The message of each error kind (caption "Strova - Error", MB_ICONERROR);
// a temporary pixel file that can't be written is named with the system's
// reason for a non-zero `systemError`, and a bitmap that is refused (a pipe,
// another user's link) with its reason.
std::string BmpErrorText(BmpError error, const std::string& bitmapPath, const std::string& tmpPath,
                         int systemError = 0);
// The message of a picture the step refuses (Compressed, BadSize, TooLarge,
// NoGray), in English or Japanese, with the header's values it names.
std::string BmpRefusalText(BmpError error, const std::string& bitmapPath, const BitmapInfoHeader& header,
                           bool japanese);

// The first line of the header dump: "[Bitmap File]" and the path.
std::string BitmapFileLine(const std::string& bitmapPath);

// Bytes of a pixel row (3 a pixel, padded to 4); -1 when that does not fit
// a 32-bit int. Rows of a width of 0 or less hold no pixel.
std::int64_t RowStride(std::int32_t width);
// Rows between two moves of the progress bar during the scan.
int ScanProgressStep(std::int32_t height);

// Where the pixel rows of a 24-bit bitmap lie in its file.
struct PixelRows {
    std::uint64_t first = 0;   // file offset of the first stored row
    std::uint64_t stride = 0;  // bytes a row, padding included
    std::int32_t width = 0;
    std::int32_t height = 0;   // rows; positive for top-down bitmaps too
    bool topDown = false;      // rows stored from the top of the picture
    // File offset of row y, counted from the bottom of the picture.
    std::uint64_t RowOffset(std::int32_t y) const;
};

// One bitmap, opened and its headers read on construction. Every failure is
// kept as the first error; after it the reader does nothing more. The bitmap
// must be a regular file: it is opened without blocking, and another user's
// link in a shared folder is not followed.
class BmpReader {
public:
    explicit BmpReader(std::string path);
    // A bitmap held in memory, read the same way; `path` names it in the
    // header dump. The bytes must outlive the reader.
    BmpReader(std::string path, std::span<const std::uint8_t> bytes);
    ~BmpReader();
    BmpReader(const BmpReader&) = delete;
    BmpReader& operator=(const BmpReader&) = delete;

    BmpError Error() const { return error_; }
    bool Ok() const { return error_ == BmpError::None; }
    const BitmapFileHeader& FileHeader() const { return fileHeader_; }
    const BitmapInfoHeader& InfoHeader() const { return infoHeader_; }
    std::uint32_t GrayCount() const { return grayCount_; }
    // The system's error number of a temporary pixel file that can't be
    // made or written, or of a bitmap that can't be opened (0 otherwise; a
    // platform::FileRefusal for a refused bitmap).
    int SystemError() const { return systemError_; }
    // The file that was opened, as it was then.
    const FileIdentity& Identity() const { return identity_; }
    // The temporary pixel file as the scan left it, written whole (all 0
    // before a scan succeeded): a later step checks it still finds this file.
    const FileIdentity& PixelFileIdentity() const { return pixelIdentity_; }
    // The rows at bfOffBits when that lies at or after the headers and
    // inside the file, else right after the headers.
    PixelRows Rows() const;

    // Writes the temporary pixel file as a new file: whatever stood under its
    // name goes, and no link is followed. A row cut short by the end of the
    // file is a read error after the records of the pixels before the cut.
    // `threads` scanning threads; 0 takes as many as the memory can feed.
    BmpError ScanGrayPixels(const std::string& tmpPath, ProgressSink& progress, int threads = 0);
    // The same scan in this thread, into `pixels` instead of a file.
    BmpError ScanGrayPixels(std::vector<PixelRecord>& pixels);
    // The header dump of the process log.
    std::vector<std::string> InfoLines() const;

private:
    void Fail(BmpError error);
    void ReadHeaders();
    void CheckHeaders();

    std::string path_;
    int fd_ = -1;
    std::span<const std::uint8_t> memory_;  // the bitmap, when it is not read from a file
    std::uint64_t fileSize_ = 0;
    BitmapFileHeader fileHeader_{};
    BitmapInfoHeader infoHeader_{};
    FileIdentity identity_;
    FileIdentity pixelIdentity_;
    std::uint32_t grayCount_ = 0;
    int systemError_ = 0;
    BmpError error_ = BmpError::None;
};

}  // namespace strova
