#include "core/MapPicture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "core/FileIo.h"
#include "platform/Files.h"

namespace strova {

MapPicture::~MapPicture() {
    if (fd_ >= 0) ::close(fd_);
}

bool MapPicture::Fail(PictureError error, int number) {
    error_ = error;
    errno_ = number;
    rows_ = {};
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
}

bool MapPicture::Open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    error_ = PictureError::None;
    errno_ = 0;
    int error = 0;
    fd_ = platform::OpenRegularFile(path, error);
    if (fd_ < 0) return Fail(PictureError::System, error);
    const BmpReader reader(path);
    if (reader.Error() == BmpError::Open) return Fail(PictureError::System, reader.SystemError());
    if (reader.Error() == BmpError::Not24Bit) return Fail(PictureError::Not24Bit);
    if (!reader.Ok()) return Fail(PictureError::BadHeaders);
    rows_ = reader.Rows();
    struct stat file {};
    if (::fstat(fd_, &file) != 0) return Fail(PictureError::System, errno);
    if (rows_.width <= 0 || rows_.height <= 0) return true;
    // The last row in the file is the top one of an ordinary bitmap and the
    // bottom one of a top-down bitmap.
    const std::uint64_t last = rows_.RowOffset(rows_.topDown ? 0 : rows_.height - 1);
    if (last + 3 * std::uint64_t(rows_.width) > static_cast<std::uint64_t>(file.st_size))
        return Fail(PictureError::CutShort);
    return true;
}

bool MapPicture::Fill(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                      std::uint32_t* out, std::size_t outStride) {
    if (fd_ < 0 || width <= 0) return fd_ >= 0;
    std::vector<std::uint8_t> row(3 * std::size_t(width));
    for (std::int32_t r = 0; r < height; ++r, out += outStride) {
        const std::uint64_t at = rows_.RowOffset(rows_.height - 1 - (top + r)) + 3 * std::uint64_t(left);
        errno = 0;
        if (!ReadExactly(fd_, row.data(), row.size(), at))
            return errno != 0 ? Fail(PictureError::System, errno) : Fail(PictureError::CutShort);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* bgr = &row[3 * std::size_t(x)];
            out[x] = 0xff000000u | std::uint32_t(bgr[2]) << 16 | std::uint32_t(bgr[1]) << 8 | bgr[0];
        }
    }
    return true;
}

std::string PictureErrorText(const std::string& bitmapPath, PictureError error, int number, bool japanese) {
    std::string reason;
    switch (error) {
    case PictureError::None:
        return {};
    case PictureError::System:
        reason = ReasonText(number, japanese);
        break;
    case PictureError::Not24Bit:
        reason = japanese ? "24ﾋﾞｯﾄのﾋﾞｯﾄﾏｯﾌﾟではありません．" : "Not a 24-bit bitmap";
        break;
    case PictureError::BadHeaders:
        reason = japanese ? "ﾋﾞｯﾄﾏｯﾌﾟのﾍｯﾀﾞｰが壊れています．" : "The bitmap headers are damaged";
        break;
    case PictureError::CutShort:
        reason = japanese ? "ﾌｧｲﾙが途中で切れています．" : "The file ends before its last pixel row";
        break;
    }
    return japanese ? "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ：\r<" + bitmapPath + ">\rの地図を表示できません．\r" + reason
                    : "Bitmap File :\r<" + bitmapPath + "> can't be shown.\r" + reason;
}

}  // namespace strova
