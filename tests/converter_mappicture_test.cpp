// The station window's picture read from the file: every pixel in its place
// and colour for both row orders, any rectangle of it, and each reason a
// picture can't be shown.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "Bitmaps.h"
#include "TestSupport.h"
#include "core/MapPicture.h"

namespace {

using strova::MapPicture;
using strova::PictureError;
using testing_support::MakeBitmap;
using testing_support::TempDir;
using testing_support::WriteFile;

// A different colour in every pixel, with distinct red, green and blue, so
// that swapped channels, rows or columns all show.
std::uint32_t Colour(int x, int y) { return std::uint32_t(x * 7 + 1) << 16 | std::uint32_t(y * 5 + 2) << 8 | (x + y) * 3; }

// The colour words a window shows for the rectangle, rows from the top.
std::vector<std::uint32_t> Expected(int height, int left, int top, int width, int rows) {
    std::vector<std::uint32_t> words;
    for (int r = 0; r < rows; ++r)
        for (int x = left; x < left + width; ++x) words.push_back(0xff000000u | Colour(x, height - 1 - (top + r)));
    return words;
}

std::vector<std::uint32_t> Filled(MapPicture& picture, int left, int top, int width, int rows) {
    std::vector<std::uint32_t> words(std::size_t(width) * rows, 0);
    EXPECT_TRUE(picture.Fill(left, top, width, rows, words.data(), width));
    return words;
}

class MapPictureTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("map.bmp");
};

TEST_F(MapPictureTest, EveryRowOrderAndPlaceOfTheRowsShowsThePictureAsPainted) {
    // A width of 5 pads each row by one byte.
    const std::string bottomUp = MakeBitmap(5, 4, Colour);
    const std::string kinds[] = {bottomUp, testing_support::TopDownCopy(bottomUp),
                                 testing_support::CopyWithGap(bottomUp, std::string(1024, '\x7f'))};
    for (int kind = 0; kind < 3; ++kind) {
        WriteFile(path, kinds[kind]);
        MapPicture picture;
        ASSERT_TRUE(picture.Open(path)) << kind;
        EXPECT_EQ(picture.Width(), 5);
        EXPECT_EQ(picture.Height(), 4);
        EXPECT_EQ(Filled(picture, 0, 0, 5, 4), Expected(4, 0, 0, 5, 4)) << kind;
        EXPECT_EQ(Filled(picture, 2, 1, 3, 2), Expected(4, 2, 1, 3, 2)) << kind;
        EXPECT_EQ(Filled(picture, 4, 3, 1, 1), Expected(4, 4, 3, 1, 1)) << kind;
    }
}

TEST_F(MapPictureTest, FillKeepsTheRowsOfTheTargetApart) {
    WriteFile(path, MakeBitmap(6, 6, Colour));
    MapPicture picture;
    ASSERT_TRUE(picture.Open(path));
    // Two rows of three into rows of four words: the fourth word stays.
    std::vector<std::uint32_t> words(8, 0x12345678u);
    ASSERT_TRUE(picture.Fill(1, 2, 3, 2, words.data(), 4));
    const std::vector<std::uint32_t> rows = Expected(6, 1, 2, 3, 2);
    EXPECT_EQ(std::vector<std::uint32_t>(words.begin(), words.begin() + 3), std::vector(rows.begin(), rows.begin() + 3));
    EXPECT_EQ(words[3], 0x12345678u);
    EXPECT_EQ(std::vector<std::uint32_t>(words.begin() + 4, words.begin() + 7), std::vector(rows.begin() + 3, rows.end()));
    EXPECT_EQ(words[7], 0x12345678u);
}

TEST_F(MapPictureTest, PicturesThatCantBeShownSayWhy) {
    MapPicture missing;
    EXPECT_FALSE(missing.Open(dir.file("none.bmp")));
    EXPECT_EQ(missing.Error(), PictureError::System);
    EXPECT_EQ(strova::PictureErrorText("a.bmp", missing.Error(), missing.Errno(), false),
              "Bitmap File :\r<a.bmp> can't be shown.\rNo such file or directory");

    WriteFile(path, testing_support::MakeGrayBitmap(4, 4, [](int, int) { return true; }, 8));
    MapPicture eightBit;
    EXPECT_FALSE(eightBit.Open(path));
    EXPECT_EQ(eightBit.Error(), PictureError::Not24Bit);
    EXPECT_EQ(strova::PictureErrorText("a.bmp", eightBit.Error(), 0, false),
              "Bitmap File :\r<a.bmp> can't be shown.\rNot a 24-bit bitmap");

    WriteFile(path, MakeBitmap(5, 4, Colour).substr(0, 40));
    MapPicture headers;
    EXPECT_FALSE(headers.Open(path));
    EXPECT_EQ(headers.Error(), PictureError::BadHeaders);
    EXPECT_EQ(strova::PictureErrorText("a.bmp", headers.Error(), 0, false),
              "Bitmap File :\r<a.bmp> can't be shown.\rThe bitmap headers are damaged");

    // One byte short of the last pixel of the last row; its padding may be missing.
    std::string bytes = MakeBitmap(5, 4, Colour);
    WriteFile(path, bytes.substr(0, bytes.size() - 2));
    MapPicture cut;
    EXPECT_FALSE(cut.Open(path));
    EXPECT_EQ(cut.Error(), PictureError::CutShort);
    EXPECT_EQ(cut.Width(), 0);
    EXPECT_EQ(strova::PictureErrorText("a.bmp", cut.Error(), 0, true),
              "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ：\r<a.bmp>\rの地図を表示できません．\rﾌｧｲﾙが途中で切れています．");
    WriteFile(path, bytes.substr(0, bytes.size() - 1));
    MapPicture unpadded;
    EXPECT_TRUE(unpadded.Open(path));

    // A pipe is refused at once, not waited on.
    const std::string pipe = dir.file("pipe.bmp");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const testing_support::HangGuard guard(60);
    MapPicture piped;
    EXPECT_FALSE(piped.Open(pipe));
    EXPECT_EQ(strova::PictureErrorText("a.bmp", piped.Error(), piped.Errno(), true),
              "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ：\r<a.bmp>\rの地図を表示できません．\r通常のﾌｧｲﾙではありません．");

    // A picture opened again starts afresh.
    EXPECT_TRUE(cut.Open(path));
    EXPECT_EQ(cut.Error(), PictureError::None);
    EXPECT_EQ(cut.Width(), 5);
}

TEST_F(MapPictureTest, AFileCutWhileShownStopsThePicture) {
    WriteFile(path, MakeBitmap(5, 4, Colour));
    MapPicture picture;
    ASSERT_TRUE(picture.Open(path));
    std::filesystem::resize_file(path, 60);
    std::vector<std::uint32_t> words(5 * 4);
    EXPECT_FALSE(picture.Fill(0, 0, 5, 4, words.data(), 5));
    EXPECT_EQ(picture.Error(), PictureError::CutShort);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
}

}  // namespace
