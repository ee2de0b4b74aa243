// The picture of a 24-bit bitmap as the station window shows it, read from
// the file a rectangle at a time. A window only ever needs what is visible,
// so the memory the picture takes stays the size of the window, whatever the
// size of the map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/BmpCore.h"

namespace strova {

// Why a picture can't be shown.
enum class PictureError {
    None,
    System,      // the file can't be opened or read: see the error number
    Not24Bit,    // not a 24-bit bitmap
    BadHeaders,  // the headers are cut short or give sizes out of reach
    CutShort,    // the file ends before its last pixel row
};

class MapPicture {
public:
    MapPicture() = default;
    ~MapPicture();
    MapPicture(const MapPicture&) = delete;
    MapPicture& operator=(const MapPicture&) = delete;

    // Opens the bitmap, a regular file, without blocking, and checks that it
    // holds all its rows; a failure leaves the picture empty with the reason
    // in Error() and Errno() (an error number or a platform::FileRefusal).
    bool Open(const std::string& path);
    PictureError Error() const { return error_; }
    int Errno() const { return errno_; }
    std::int32_t Width() const { return rows_.width; }
    std::int32_t Height() const { return rows_.height; }

    // Writes the pixels of the rectangle at (left, top), counted from the top
    // left corner of the picture, as 0xffRRGGBB words into `out`, whose rows
    // are `outStride` words apart. The rectangle must lie inside the picture.
    // False, with the reason kept, when a row can't be read.
    bool Fill(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height, std::uint32_t* out,
              std::size_t outStride);

private:
    bool Fail(PictureError error, int number = 0);

    int fd_ = -1;
    PixelRows rows_;
    PictureError error_ = PictureError::None;
    int errno_ = 0;
};

// The message of a picture that can't be shown (caption "Strova - Error").
std::string PictureErrorText(const std::string& bitmapPath, PictureError error, int number, bool japanese);

}  // namespace strova
