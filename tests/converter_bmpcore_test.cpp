// The gray scan against the plain per-pixel reference, the header checks and
// error kinds, how the files are opened, the header dump and the progress
// rules.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "Bitmaps.h"
#include "PlainReference.h"
#include "TestSupport.h"
#include "core/BmpCore.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using PixelFn = std::function<bool(int x, int y)>;  // true: gray

// A bitmap from its fields; pixels that are not gray get a sea colour.
std::string MakeBitmap(std::int32_t width, std::int32_t height, const PixelFn& gray, std::uint32_t biSize = 40,
                       std::uint16_t bitCount = 24) {
    BitmapFileHeader f{19778, 0, 0, 0, 14 + biSize};
    BitmapInfoHeader i{biSize, width, height, 1, bitCount, 0, 0, 2835, 2835, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(&f), 14);
    bytes += std::string(reinterpret_cast<const char*>(&i), 40).substr(0, std::min<std::uint32_t>(40, biSize));
    bytes.resize(14 + biSize, '\0');
    const int stride = (3 * width + 3) / 4 * 4;
    for (int y = 0; y < height; ++y) {
        std::string row(stride, '\x07');
        for (int x = 0; x < width; ++x)
            if (gray(x, y)) row.replace(3 * x, 3, "\xC0\xC0\xC0");
        bytes += row;
    }
    return bytes;
}

std::vector<PixelRecord> Records(const std::string& bytes) {
    std::vector<PixelRecord> records(bytes.size() / 8);
    std::memcpy(records.data(), bytes.data(), records.size() * 8);
    return records;
}

// A bar that counts its moves.
struct RecordingBar : ProgressSink {
    int position = 0;
    bool maximum = false;
    void SetToMinimum() override { position = 0; }
    void SetToMaximum() override { maximum = true; }
    void StepBy(int delta) override { position += delta; }
};

struct ScanResult {
    BmpError error;
    std::uint32_t gray;
    std::string tmp;
};

std::span<const std::uint8_t> Bytes(const std::string& bitmap) {
    return {reinterpret_cast<const std::uint8_t*>(bitmap.data()), bitmap.size()};
}

// The scan of `bitmap` as a file; the same bitmap read from memory, in this
// thread, must give the same records and the same error.
ScanResult Scan(const TempDir& dir, const std::string& bitmap, ProgressSink& bar = NoProgress(), int threads = 0) {
    WriteFile(dir.file("map.bmp"), bitmap);
    BmpReader reader(dir.file("map.bmp"));
    const BmpError error = reader.ScanGrayPixels(dir.file("tmp.loc"), bar, threads);
    const ScanResult result{error, reader.GrayCount(), ReadFile(dir.file("tmp.loc"))};
    BmpReader inMemory("map.bmp", Bytes(bitmap));
    std::vector<PixelRecord> pixels;
    EXPECT_EQ(inMemory.ScanGrayPixels(pixels), error);
    EXPECT_EQ(inMemory.GrayCount(), result.gray);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pixels.data()), pixels.size() * sizeof(PixelRecord)), result.tmp);
    return result;
}

}  // namespace

TEST(BmpCore, RowsArePaddedToFourBytes) {
    EXPECT_EQ(RowStride(5), 16);
    EXPECT_EQ(RowStride(4), 12);
    EXPECT_EQ(RowStride(1), 4);
    EXPECT_EQ(RowStride(0), 0);
    EXPECT_EQ(RowStride(INT32_MAX), -1);
    // A width-5 map: the gray pixel of the second row must be found at the
    // 16-byte row start, not at 15.
    TempDir dir;
    const ScanResult result = Scan(dir, MakeBitmap(5, 3, [](int x, int y) { return y == 1 && x == 4; }));
    ASSERT_EQ(result.error, BmpError::None);
    ASSERT_EQ(Records(result.tmp).size(), 1u);
    EXPECT_EQ(Records(result.tmp)[0].x, 4);
    EXPECT_EQ(Records(result.tmp)[0].y, 1);
}

TEST(BmpCore, RecordsFollowFileOrderFromTheBottomRow) {
    TempDir dir;
    const ScanResult result =
        Scan(dir, MakeBitmap(7, 100, [](int x, int y) { return (x == 0 && y == 0) || (x == 6 && y == 99); }));
    ASSERT_EQ(result.error, BmpError::None);
    const auto records = Records(result.tmp);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].x, 0);
    EXPECT_EQ(records[0].y, 0);
    EXPECT_EQ(records[1].x, 6);
    EXPECT_EQ(records[1].y, 99);
    EXPECT_EQ(result.gray, 2u);
}

TEST(BmpCore, OnlyExactGrayCounts) {
    TempDir dir;
    std::string bitmap = MakeBitmap(3, 1, [](int, int) { return true; });
    bitmap[54 + 2] = '\xBF';  // 192,192,191 (blue, green, red)
    bitmap[54 + 3] = '\xBF';  // 191,192,192
    const ScanResult result = Scan(dir, bitmap);
    ASSERT_EQ(Records(result.tmp).size(), 1u);
    EXPECT_EQ(Records(result.tmp)[0].x, 2);
}

TEST(BmpCore, MatchesThePlainScanByteForByte) {
    TempDir dir;
    std::mt19937 random(7);
    for (const auto& [w, h] : {std::pair{1, 1}, {5, 9}, {33, 17}, {640, 480}, {40, 30000}, {32767, 30}}) {
        std::bernoulli_distribution coin(0.4);
        std::vector<bool> land(static_cast<std::size_t>(w) * h);
        for (std::size_t i = 0; i < land.size(); ++i) land[i] = coin(random);
        const std::string bitmap = MakeBitmap(w, h, [&land, w = w](int x, int y) { return land[std::size_t(y) * w + x]; });
        WriteFile(dir.file("map.bmp"), bitmap);
        std::uint32_t plainGray = 0;
        ASSERT_TRUE(plain::ScanGrayPixels(dir.file("map.bmp"), dir.file("plain.loc"), plainGray));
        // However many threads scan, the records come out in file order.
        for (const int threads : {0, 1, 7}) {
            const ScanResult result = Scan(dir, bitmap, NoProgress(), threads);
            EXPECT_EQ(result.error, BmpError::None);
            EXPECT_EQ(result.gray, plainGray) << w << "x" << h << ", " << threads << " threads";
            EXPECT_EQ(result.tmp, ReadFile(dir.file("plain.loc"))) << w << "x" << h << ", " << threads << " threads";
        }
    }
}

TEST(BmpCore, ACutFileKeepsTheRecordsBeforeTheCut) {
    TempDir dir;
    const std::string whole = MakeBitmap(10, 10, [](int x, int y) { return (x + y) % 3 == 0; });
    for (const std::size_t cut : {54u, 55u, 57u, 54u + 3 * 16 + 7, 54u + 12 * 5 + 29, static_cast<unsigned>(whole.size()) - 3}) {
        const ScanResult result = Scan(dir, whole.substr(0, cut));
        std::uint32_t plainGray = 0;
        EXPECT_FALSE(plain::ScanGrayPixels(dir.file("map.bmp"), dir.file("plain.loc"), plainGray));
        EXPECT_EQ(result.error, BmpError::Read) << cut;
        EXPECT_EQ(result.gray, plainGray) << cut;
        EXPECT_EQ(result.tmp, ReadFile(dir.file("plain.loc"))) << cut;
    }
    // A cut in a map of many chunks stops the scan while later chunks are
    // still being worked on.
    const std::string tall = MakeBitmap(30, 30000, [](int x, int y) { return (x + y) % 2 == 0; });
    const ScanResult many = Scan(dir, tall.substr(0, tall.size() / 3));
    std::uint32_t plainGray = 0;
    EXPECT_FALSE(plain::ScanGrayPixels(dir.file("map.bmp"), dir.file("plain.loc"), plainGray));
    EXPECT_EQ(many.error, BmpError::Read);
    EXPECT_EQ(many.gray, plainGray);
    EXPECT_EQ(many.tmp, ReadFile(dir.file("plain.loc")));
    // The padding of the last row is never read, so a file cut inside it is whole.
    EXPECT_EQ(Scan(dir, MakeBitmap(5, 2, [](int, int) { return true; }).substr(0, 54 + 16 + 15)).error, BmpError::None);
}

TEST(BmpCore, AnEarlierLongerPixelFileIsReplacedWhole) {
    TempDir dir;
    const std::string stale(8 * 1000, '\x55');
    WriteFile(dir.file("tmp.loc"), stale);
    const ScanResult result = Scan(dir, MakeBitmap(4, 4, [](int x, int y) { return x == y; }));
    ASSERT_EQ(result.error, BmpError::None);
    EXPECT_EQ(result.tmp.size(), 4u * 8);
    // A failed scan leaves only the records before the cut, too.
    WriteFile(dir.file("tmp.loc"), stale);
    const ScanResult cut = Scan(dir, MakeBitmap(4, 4, [](int, int) { return true; }).substr(0, 54 + 12 + 6));
    EXPECT_EQ(cut.error, BmpError::Read);
    EXPECT_EQ(cut.tmp.size(), 6u * 8);
}

TEST(BmpCore, HeadersThatCannotBeScannedAreRefused) {
    TempDir dir;
    const auto errorOf = [&](const std::string& bytes) {
        WriteFile(dir.file("x.bmp"), bytes);
        const BmpError error = BmpReader(dir.file("x.bmp")).Error();
        EXPECT_EQ(BmpReader("x.bmp", Bytes(bytes)).Error(), error) << "read from memory";
        return error;
    };
    const std::string ok = MakeBitmap(2, 2, [](int, int) { return true; });
    EXPECT_EQ(errorOf(ok), BmpError::None);
    EXPECT_EQ(errorOf(ok.substr(0, 20)), BmpError::Read);
    EXPECT_EQ(errorOf(ok.substr(0, 10)), BmpError::Read);
    EXPECT_EQ(errorOf(MakeBitmap(2, 2, [](int, int) { return false; }, 40, 8)), BmpError::Not24Bit);
    // A picture the later steps could not convert is refused before the scan.
    const auto with = [&](std::size_t offset, std::int32_t value, std::string bytes) {
        std::memcpy(&bytes[offset], &value, 4);
        return bytes;
    };
    constexpr std::size_t kWidth = 18, kHeight = 22, kCompression = 30;
    EXPECT_EQ(errorOf(with(kCompression, 1, ok)), BmpError::Compressed);
    EXPECT_EQ(errorOf(with(kCompression, 3, ok)), BmpError::Compressed);
    EXPECT_EQ(errorOf(with(kCompression, 1, MakeBitmap(2, 2, [](int, int) { return true; }, 40, 8))), BmpError::Not24Bit);
    // A 16-byte header has no compression field: what lies there are pixels.
    EXPECT_EQ(errorOf(MakeBitmap(4, 4, [](int, int) { return true; }, 16)), BmpError::None);
    for (const auto& [offset, value, error] : std::vector<std::tuple<std::size_t, std::int32_t, BmpError>>{
             {kWidth, 0, BmpError::BadSize},          {kWidth, -1, BmpError::BadSize},
             {kWidth, -40000, BmpError::BadSize},     {kHeight, 0, BmpError::BadSize},
             {kWidth, 32767, BmpError::None},         {kWidth, 32768, BmpError::TooLarge},
             {kWidth, INT32_MAX, BmpError::TooLarge}, {kHeight, 32767, BmpError::None},
             {kHeight, -32767, BmpError::None},       {kHeight, 32768, BmpError::TooLarge},
             {kHeight, -32768, BmpError::TooLarge},   {kHeight, INT32_MIN, BmpError::TooLarge}})
        EXPECT_EQ(errorOf(with(offset, value, ok)), error) << offset << ": " << value;
    EXPECT_EQ(BmpReader("").Error(), BmpError::Open);
    EXPECT_EQ(BmpErrorText(BmpError::Open, "", ""), "Bitmap file <>\rcan't open.");
    EXPECT_EQ(BmpErrorText(BmpError::Read, "a/b.bmp", ""), "Failed to read the bitmap file\r<a/b.bmp>.");
    EXPECT_EQ(BmpErrorText(BmpError::Not24Bit, "", ""), "This is not 24 bits hi-\rresolution color bitmap.");
    EXPECT_EQ(BmpErrorText(BmpError::TempOpen, "", "./tmp_$$$.loc"), "Temporary file <./tmp_$$$.loc>\rcan't open.");
}

TEST(BmpCore, UncreatableTempFileStopsTheScan) {
    TempDir dir;
    WriteFile(dir.file("map.bmp"), MakeBitmap(2, 2, [](int, int) { return true; }));
    BmpReader reader(dir.file("map.bmp"));
    EXPECT_EQ(reader.ScanGrayPixels(dir.file("missing/tmp.loc"), NoProgress()), BmpError::TempOpen);
    EXPECT_FALSE(reader.Ok());
}

// The bitmap is a regular file, opened without waiting on a pipe; the pixel
// file is made new, so that whatever stood under its name is never written
// through.
TEST(BmpCore, FilesAreOpenedSoThatNothingBlocksOrIsWrittenThrough) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe.bmp").c_str(), 0600), 0);
    const testing_support::HangGuard guard(60);
    BmpReader pipe(dir.file("pipe.bmp"));
    EXPECT_EQ(pipe.Error(), BmpError::Open);
    EXPECT_EQ(BmpErrorText(pipe.Error(), "p.bmp", "", pipe.SystemError()), "Bitmap file <p.bmp>\rcan't open.\rNot a regular file");
    EXPECT_EQ(BmpErrorText(BmpError::Open, "p.bmp", "", ENOENT), "Bitmap file <p.bmp>\rcan't open.");

    WriteFile(dir.file("mine.txt"), "the user's own file");
    std::filesystem::create_symlink(dir.file("mine.txt"), dir.file("tmp.loc"));
    EXPECT_EQ(Scan(dir, MakeBitmap(2, 1, [](int x, int) { return x == 1; })).tmp, std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(ReadFile(dir.file("mine.txt")), "the user's own file");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("tmp.loc")));
    std::filesystem::remove(dir.file("tmp.loc"));
    ASSERT_EQ(mkfifo(dir.file("tmp.loc").c_str(), 0600), 0);
    EXPECT_EQ(Scan(dir, MakeBitmap(2, 1, [](int, int) { return false; })).error, BmpError::None);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("tmp.loc")));
}

TEST(BmpCore, RowsLieAtTheirOffsetInEitherOrder) {
    TempDir dir;
    const auto rowsOf = [&](const std::string& bytes) {
        WriteFile(dir.file("r.bmp"), bytes);
        return BmpReader(dir.file("r.bmp")).Rows();
    };
    const std::string plain = testing_support::MakeGrayBitmap(5, 3, [](int, int) { return false; });
    PixelRows rows = rowsOf(plain);
    EXPECT_EQ(rows.first, 54u);
    EXPECT_EQ(rows.stride, 16u);
    EXPECT_EQ(rows.width, 5);
    EXPECT_EQ(rows.height, 3);
    EXPECT_FALSE(rows.topDown);
    EXPECT_EQ(rows.RowOffset(0), 54u);
    EXPECT_EQ(rows.RowOffset(2), 54u + 32);
    rows = rowsOf(testing_support::TopDownCopy(plain));
    EXPECT_EQ(rows.height, 3);
    EXPECT_TRUE(rows.topDown);
    EXPECT_EQ(rows.RowOffset(0), 54u + 32);  // the bottom row is stored last
    EXPECT_EQ(rows.RowOffset(2), 54u);
    EXPECT_EQ(rowsOf(testing_support::CopyWithGap(plain, std::string(1024, '\1'))).first, 54u + 1024);
    // An offset into the headers or past the end of the file is not believed.
    for (const std::uint32_t offBits : {0u, 53u, static_cast<std::uint32_t>(plain.size())}) {
        std::string odd = plain;
        std::memcpy(&odd[10], &offBits, 4);
        EXPECT_EQ(rowsOf(odd).first, 54u) << offBits;
    }
    std::string last = plain;
    const auto lastByte = static_cast<std::uint32_t>(plain.size() - 1);
    std::memcpy(&last[10], &lastByte, 4);
    EXPECT_EQ(rowsOf(last).first, lastByte);
}

// A top-down copy, or one with a colour table before its rows, gives the
// records of the original picture, whatever the chunks and threads.
TEST(BmpCore, TopDownAndOffsetRowsScanAsThePlainFile) {
    TempDir dir;
    std::mt19937 random(11);
    for (const auto& [w, h] : {std::pair{1, 1}, {5, 9}, {33, 17}, {40, 30000}, {32767, 5}}) {
        std::bernoulli_distribution coin(0.3);
        std::vector<bool> land(static_cast<std::size_t>(w) * h);
        for (std::size_t i = 0; i < land.size(); ++i) land[i] = coin(random);
        const std::string bitmap =
            testing_support::MakeGrayBitmap(w, h, [&land, w = w](int x, int y) { return land[std::size_t(y) * w + x]; });
        const ScanResult plain = Scan(dir, bitmap);
        ASSERT_EQ(plain.error, BmpError::None);
        const std::string table(256 * 4, '\xC0');  // gray bytes: a shifted grid would find them
        for (const std::string& copy : {testing_support::TopDownCopy(bitmap), testing_support::CopyWithGap(bitmap, table),
                                        testing_support::TopDownCopy(testing_support::CopyWithGap(bitmap, table))})
            for (const int threads : {0, 1, 5}) {
                const ScanResult result = Scan(dir, copy, NoProgress(), threads);
                EXPECT_EQ(result.error, BmpError::None);
                EXPECT_EQ(result.gray, plain.gray) << w << "x" << h;
                EXPECT_EQ(result.tmp, plain.tmp) << w << "x" << h << ", " << threads << " threads";
            }
    }
}

TEST(BmpCore, ACutTopDownFileIsAReadError) {
    TempDir dir;
    const std::string whole = testing_support::TopDownCopy(MakeBitmap(4, 40, [](int x, int y) { return x == y % 4; }));
    // The bottom rows, first in the scan, are the ones cut off: the scan
    // stops in the bottom row, before the gray pixel of the next.
    const ScanResult lastByte = Scan(dir, whole.substr(0, whole.size() - 1));
    EXPECT_EQ(lastByte.error, BmpError::Read);
    EXPECT_EQ(lastByte.tmp, std::string(8, '\0'));
    for (const std::size_t cut : {whole.size() / 2, std::size_t{55}}) {
        const ScanResult result = Scan(dir, whole.substr(0, cut));
        EXPECT_EQ(result.error, BmpError::Read) << cut;
        EXPECT_EQ(result.tmp, "") << cut;
    }
}

TEST(BmpCore, HeaderDumpLines) {
    TempDir dir;
    WriteFile(dir.file("m.bmp"), MakeBitmap(5, 3, [](int x, int) { return x < 2; }));
    BmpReader reader(dir.file("m.bmp"));
    ASSERT_EQ(reader.ScanGrayPixels(dir.file("t.loc"), NoProgress()), BmpError::None);
    const std::vector<std::string> expected{
        "[Bitmap File]" + dir.file("m.bmp"),
        "Bitmap File Type: 19778 (\"BM\" = 19778)",
        "Bitmap File Size: 0 bytes",
        "     bfReserved1: 0",
        "     bfReserved2: 0",
        "   Bitmap Offset: 54 byte later",
        "Info Header Size: 40 bytes",
        "Bmp Image  Width: 5 pixel",
        "Bmp Image Height: 3 pixels",
        "Bmp Image   Size: 15 pixels",
        "Required BmpSize: 45 bytes for 24 bit Color",
        "Bmp Color Planes: 1 (Always 1)",
        "Pixel Color Bits: 24 (One of 0, 1, 4, 8, 24)",
        " Compress Method: 0 (0: No compression)",
        "Recorded BmpSize: 0 bytes (0: default)",
        "Horizontal Resol: 2835 pixels per meter (0: default)",
        "  Vertical Resol: 2835 pixels per meter (0: default)",
        "     Used Colors: 0 (0: default)",
        "Used Imp. Colors: 0 (0: default)",
        "     Gray Pixels: 6",
    };
    EXPECT_EQ(reader.InfoLines(), expected);

    // A 16-byte information header: rows start right after it, 13 lines.
    std::string small = MakeBitmap(2, 1, [](int x, int) { return x == 1; }, 16);
    ASSERT_EQ(small.size(), 14u + 16 + 8);
    small += std::string(24, '\0');  // the information header is still read as 40 bytes
    const ScanResult result = Scan(dir, small);
    ASSERT_EQ(Records(result.tmp).size(), 1u);
    EXPECT_EQ(Records(result.tmp)[0].x, 1);
    BmpReader again(dir.file("map.bmp"));
    EXPECT_EQ(again.InfoLines().size(), 13u);
}

TEST(BmpCore, ProgressMovesEveryStepRows) {
    EXPECT_EQ(ScanProgressStep(49), 1);
    EXPECT_EQ(ScanProgressStep(50), 1);
    EXPECT_EQ(ScanProgressStep(149), 1);
    EXPECT_EQ(ScanProgressStep(150), 2);
    EXPECT_EQ(ScanProgressStep(300), 3);
    EXPECT_EQ(ScanProgressStep(-5), 1);
    TempDir dir;
    RecordingBar bar;
    ASSERT_EQ(Scan(dir, MakeBitmap(1, 300, [](int, int) { return false; }), bar).error, BmpError::None);
    EXPECT_EQ(bar.position, 100);  // after rows 1, 4, 7, ..., 298
    EXPECT_TRUE(bar.maximum);
    RecordingBar few;
    ASSERT_EQ(Scan(dir, MakeBitmap(1, 49, [](int, int) { return false; }), few).error, BmpError::None);
    EXPECT_EQ(few.position, 0);
    EXPECT_TRUE(few.maximum);
}
