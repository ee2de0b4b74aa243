// The first step's data module: what it tells the user, what the driver reads
// from it, the pixel file and the header dump it leaves.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QProgressBar>

#include <vector>

#include "Bitmaps.h"
#include "Bmp.h"
#include "MessageBoxRecorder.h"
#include "TestSupport.h"

namespace {

using platform::MessageBoxCall;
using testing_support::MakeGrayBitmap;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class BmpDataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::EnsureQApplication(); }
    void SetUp() override {
        bar.setRange(0, 100);
    }

    // Checks that exactly one error box with `text` was shown.
    void ExpectOneError(const std::string& text) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].caption, "Strova - Error");
        EXPECT_EQ(boxes[0].flags, 0x10u);
    }

    TempDir dir;
    QProgressBar bar;
    QPlainTextEdit log;
    testing_support::MessageBoxRecorder recorder;
    std::vector<MessageBoxCall>& boxes = recorder.calls;
};

TEST_F(BmpDataTest, ScansALandMapAndDumpsItsHeaders) {
    const std::string path = dir.file("land.bmp");
    WriteFile(path, MakeGrayBitmap(5, 3, [](int x, int y) { return (x == 0 && y == 0) || (x == 4 && y == 2); }));
    TBmpData data(nullptr, path);
    ASSERT_EQ(data.Ok, 1);
    EXPECT_EQ(std::int32_t{data.InfoHeader.biWidth}, 5);  // copies: the header is packed
    EXPECT_EQ(std::int32_t{data.InfoHeader.biHeight}, 3);
    bar.setValue(40);
    data.ScanGrayPixels(dir.file("tmp.loc"), &bar);
    EXPECT_EQ(data.Ok, 1);
    EXPECT_EQ(data.GrayCount, 2u);
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(ReadFile(dir.file("tmp.loc")), std::string("\0\0\0\0\0\0\0\0\4\0\0\0\2\0\0\0", 16));
    log.appendPlainText("earlier");
    data.LogBitmapInfo(&log);
    const QStringList lines = log.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[1].toStdString(), "[Bitmap File]" + path);
    EXPECT_EQ(lines[2], "Bitmap File Type: 19778 (\"BM\" = 19778)");
    EXPECT_EQ(lines[3], "Bitmap File Size: 102 bytes");
    EXPECT_EQ(lines[10], "Bmp Image   Size: 15 pixels");
    EXPECT_EQ(lines[11], "Required BmpSize: 45 bytes for 24 bit Color");
    EXPECT_EQ(lines[13], "Pixel Color Bits: 24 (One of 0, 1, 4, 8, 24)");
    EXPECT_EQ(lines[20], "     Gray Pixels: 2");
    EXPECT_TRUE(boxes.empty());
}

// The driver takes the picture's height from Rows; the dump keeps the
// header as the file has it.
TEST_F(BmpDataTest, ATopDownMapHasItsRealHeightAndItsHeaderAsRead) {
    const std::string path = dir.file("top.bmp");
    WriteFile(path, testing_support::TopDownCopy(MakeGrayBitmap(5, 3, [](int x, int y) { return x == 4 && y == 2; })));
    TBmpData data(nullptr, path);
    ASSERT_EQ(data.Ok, 1);
    EXPECT_EQ(data.Rows.width, 5);
    EXPECT_EQ(data.Rows.height, 3);
    EXPECT_EQ(std::int32_t{data.InfoHeader.biHeight}, -3);
    data.ScanGrayPixels(dir.file("tmp.loc"), &bar);
    EXPECT_EQ(data.Ok, 1);
    EXPECT_EQ(ReadFile(dir.file("tmp.loc")), std::string("\4\0\0\0\2\0\0\0", 8));
    data.LogBitmapInfo(&log);
    const QStringList lines = log.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines[8], "Bmp Image Height: -3 pixels");
    EXPECT_EQ(lines[9], "Bmp Image   Size: -15 pixels");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BmpDataTest, OpenAndHeaderFailuresAreReportedOnce) {
    {
        TBmpData data(nullptr, "");
        EXPECT_EQ(data.Ok, 0);
        ExpectOneError("Bitmap file <>\rcan't open.");
    }
    boxes.clear();
    WriteFile(dir.file("short.bmp"), MakeGrayBitmap(2, 2, [](int, int) { return true; }).substr(0, 20));
    {
        TBmpData data(nullptr, dir.file("short.bmp"));
        EXPECT_EQ(data.Ok, 0);
        ExpectOneError("Failed to read the bitmap file\r<" + dir.file("short.bmp") + ">.");
    }
    boxes.clear();
    WriteFile(dir.file("palette.bmp"), MakeGrayBitmap(2, 2, [](int, int) { return true; }, 8));
    TBmpData data(nullptr, dir.file("palette.bmp"));
    EXPECT_EQ(data.Ok, 0);
    ExpectOneError("This is not 24 bits hi-\rresolution color bitmap.");
}

TEST_F(BmpDataTest, ACutPixelAreaKeepsTheRecordsBeforeTheCut) {
    const std::string whole = MakeGrayBitmap(4, 4, [](int, int) { return true; });
    WriteFile(dir.file("cut.bmp"), whole.substr(0, 54 + 12 * 2 + 7));  // two rows and two pixels
    TBmpData data(nullptr, dir.file("cut.bmp"));
    ASSERT_EQ(data.Ok, 1);
    data.ScanGrayPixels(dir.file("tmp.loc"), &bar);
    EXPECT_EQ(data.Ok, 0);
    ExpectOneError("Failed to read the bitmap file\r<" + dir.file("cut.bmp") + ">.");
    EXPECT_EQ(data.GrayCount, 10u);
    EXPECT_EQ(ReadFile(dir.file("tmp.loc")).size(), 80u);
}

TEST_F(BmpDataTest, AnUnwritablePixelFileStopsBeforeTheScan) {
    WriteFile(dir.file("land.bmp"), MakeGrayBitmap(2, 2, [](int, int) { return true; }));
    TBmpData data(nullptr, dir.file("land.bmp"));
    bar.setValue(30);
    const std::string tmp = dir.file("missing/tmp.loc");
    data.ScanGrayPixels(tmp, &bar);
    EXPECT_EQ(data.Ok, 0);
    ExpectOneError("Temporary file <" + tmp + ">\rcan't open.");
    EXPECT_EQ(bar.value(), 30);
    EXPECT_EQ(data.GrayCount, 0u);
}

}  // namespace
