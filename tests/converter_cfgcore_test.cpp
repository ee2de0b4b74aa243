// IndexSort and the nearest-station step against the plain procedure: equal
// distances everywhere (integer grids, stations on one pixel), every station
// count that changes the rules, the step's files and its refusals, and a
// pixel file that can't be read whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "PlainReference.h"
#include "TestSupport.h"
#include "core/CfgCore.h"
#include "core/Nearest.h"
#include "platform/Files.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// What a step's message says of the files when it changed none of them.
const std::string kUnchanged = "\r\nNothing was changed.";

std::vector<AmeRecord> RandomStations(std::mt19937& random, int n, int spread) {
    std::uniform_int_distribution<int> coordinate(0, spread);
    std::vector<AmeRecord> stations(n);
    for (AmeRecord& s : stations) {
        std::memset(&s, 0, sizeof s);
        s.X = coordinate(random);
        s.Y = coordinate(random);
    }
    // Some stations on the very pixel of another one.
    for (int i = 1; i < n; i += 5) stations[i] = stations[random() % i];
    return stations;
}

std::vector<PixelRecord> AllPixels(int width, int height) {
    std::vector<PixelRecord> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back({x, y});
    return pixels;
}

std::vector<CfgRecord> PlainRecords(const std::vector<AmeRecord>& stations, const std::vector<PixelRecord>& pixels) {
    std::vector<double> dist;
    std::vector<std::uint32_t> order;
    std::vector<CfgRecord> records;
    for (const PixelRecord& p : pixels) records.push_back(plain::NearestRecord(stations, p, dist, order));
    return records;
}

std::vector<CfgRecord> FastRecords(const std::vector<AmeRecord>& stations, const std::vector<PixelRecord>& pixels) {
    NearestStations nearest(stations);
    NearestStations::Scratch scratch;
    std::vector<CfgRecord> records(pixels.size());
    nearest.Compute(pixels.data(), pixels.size(), records.data(), scratch);
    return records;
}

// Index of the first differing record, or -1.
long FirstDifference(const std::vector<CfgRecord>& a, const std::vector<CfgRecord>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(CfgRecord)) != 0) return static_cast<long>(i);
    return -1;
}

std::string Bytes(const void* data, std::size_t size) { return std::string(static_cast<const char*>(data), size); }

struct CountingBar : ProgressSink {
    int moves = 0;
    void StepBy(int delta) override { moves += delta; }
};

}  // namespace

TEST(IndexSort, EqualDistancesComeOutAsThePlainProcedureOrdersThem) {
    std::mt19937 random(3);
    for (const int n : {0, 1, 2, 5, 7, 8, 10, 11, 40, 842}) {
        for (int round = 0; round < 30; ++round) {
            // Few distinct values: nearly every distance is tied with others.
            std::uniform_int_distribution<int> value(0, round % 3 == 0 ? 2 : 12);
            std::vector<double> dist(n + 1);
            for (int s = 1; s <= n; ++s) dist[s] = std::sqrt(static_cast<double>(value(random)));
            std::vector<std::uint32_t> order(n + 1), expected(n + 1);
            ASSERT_TRUE(IndexSort(n, dist.data(), order.data()));
            ASSERT_TRUE(plain::IndexSort(n, dist.data(), expected.data()));
            ASSERT_EQ(order, expected) << "n = " << n;
            for (int k = 2; k <= n; ++k) ASSERT_LE(dist[order[k - 1]], dist[order[k]]);
            if (n <= 7) {  // straight insertion: ties in ascending station order
                for (int k = 2; k <= n; ++k)
                    if (dist[order[k - 1]] == dist[order[k]]) { ASSERT_LT(order[k - 1], order[k]); }
            }
            // Stopping after the tenth place leaves the first ten as they are.
            std::vector<std::int64_t> squares(n + 1);
            for (int s = 1; s <= n; ++s) squares[s] = static_cast<std::int64_t>(std::llround(dist[s] * dist[s]));
            std::vector<std::uint32_t> head(n + 1);
            ASSERT_TRUE(IndexSortHead(n, squares.data(), head.data(), 10));
            for (int k = 1; k <= std::min(n, 10); ++k) ASSERT_EQ(head[k], expected[k]) << "n = " << n;
        }
    }
}

TEST(IndexSort, TiesBeyondSevenStationsNeedNotBeAscending) {
    // Ten stations at one distance: the partition moves them about.
    std::vector<double> dist(11, 5.0);
    std::vector<std::uint32_t> order(11);
    ASSERT_TRUE(IndexSort(10, dist.data(), order.data()));
    std::vector<std::uint32_t> expected(11);
    plain::IndexSort(10, dist.data(), expected.data());
    EXPECT_EQ(order, expected);
    EXPECT_NE(order, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(CfgRecordRules, ZeroDistanceAndFewStations) {
    const PixelRecord pixel{3, 4};
    const double onStation[] = {0, 2.0, 0.0, 0.0, 1.0};
    const std::uint32_t order[] = {0, 2, 3, 4, 1};
    const CfgRecord own = MakeCfgRecord(pixel, 4, onStation, order);
    EXPECT_EQ(Bytes(&own, 24), Bytes("\x03\0\x04\0\x02\0", 6) + std::string(18, '\0'));
    const double apart[] = {0, 2.0, 3.0, 1.0};
    const std::uint32_t order3[] = {0, 3, 1, 2};
    const CfgRecord few = MakeCfgRecord(pixel, 3, apart, order3);
    EXPECT_EQ(Bytes(&few, 24), Bytes("\x03\0\x04\0\x03\0\x01\0\x02\0", 10) + std::string(14, '\0'));
    EXPECT_TRUE(FitsCfgRecord({32767, -32768}));
    EXPECT_FALSE(FitsCfgRecord({32768, 0}));
    EXPECT_FALSE(FitsCfgRecord({0, 40000}));
}

TEST(NearestStations, SameRecordsAsIndexSortOverAllStations) {
    std::mt19937 random(5);
    // Station counts around the rules (one station, fewer than ten, ten,
    // eleven, all candidates, blocks) on grids small enough for many ties.
    for (const int n : {1, 2, 6, 7, 9, 10, 11, 12, 24, 25, 60, 842}) {
        for (const int spread : {3, 40, 150}) {
            const std::vector<AmeRecord> stations = RandomStations(random, n, spread);
            const std::vector<PixelRecord> pixels = AllPixels(spread + 5, spread + 3);
            const long diff = FirstDifference(FastRecords(stations, pixels), PlainRecords(stations, pixels));
            ASSERT_EQ(diff, -1) << "n = " << n << ", spread = " << spread << ", pixel "
                                << (diff >= 0 ? pixels[diff].x : 0) << "," << (diff >= 0 ? pixels[diff].y : 0);
        }
    }
}

TEST(NearestStations, SymmetricLatticeAndFarStations) {
    // Stations on a regular lattice: every pixel between them is tied many ways.
    std::vector<AmeRecord> lattice;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 28; ++x) {
            AmeRecord s;
            std::memset(&s, 0, sizeof s);
            s.X = 8 * x;
            s.Y = 8 * y;
            lattice.push_back(s);
        }
    ASSERT_EQ(lattice.size(), 840u);
    std::vector<PixelRecord> pixels = AllPixels(120, 90);
    pixels.push_back({-7, -3});
    EXPECT_EQ(FirstDifference(FastRecords(lattice, pixels), PlainRecords(lattice, pixels)), -1);
    // Stations far off the grid are ordered by the double distances themselves.
    std::mt19937 random(9);
    std::vector<AmeRecord> far = RandomStations(random, 30, 200);
    far[3].X = 200000000;
    far[7].Y = -300000000;
    EXPECT_EQ(FirstDifference(FastRecords(far, AllPixels(50, 40)), PlainRecords(far, AllPixels(50, 40))), -1);
}

// Step 3 on the files of a folder, the *.cfg file written through a
// transaction of its own; the error and its text.
struct CfgStep {
    CfgStep(const std::string& ame, const std::string& cfg, const std::string& tmp, int stations, std::uint64_t gray)
        : files({{cfg, ""}}), begun(!files.Begin().Failed()), run(ame, cfg, tmp, stations, gray, files) {}
    std::pair<CfgError, std::string> Run(ProgressSink& progress = NoProgress(), int threads = 0) {
        run.FindAdjacentStations(progress, threads);
        return {run.Error(), run.ErrorText()};
    }
    StepTransaction files;
    bool begun;
    CfgRun run;
};

TEST(CfgRun, WritesThePlainFileAndMovesTheBar) {
    TempDir dir;
    std::mt19937 random(13);
    const std::vector<AmeRecord> stations = RandomStations(random, 842, 120);
    WriteFile(dir.file("m.ame"), Bytes(stations.data(), stations.size() * sizeof(AmeRecord)));
    std::vector<PixelRecord> pixels;
    for (const PixelRecord& p : AllPixels(110, 90))
        if ((p.x * 7 + p.y * 3) % 5 != 0) pixels.push_back(p);
    WriteFile(dir.file("tmp.loc"), Bytes(pixels.data(), pixels.size() * 8));
    ASSERT_TRUE(plain::WriteCfg(stations, dir.file("tmp.loc"), dir.file("plain.cfg")));
    for (const int threads : {1, 3, 0}) {
        CountingBar bar;
        CfgStep step(dir.file("m.ame"), dir.file("m.cfg"), dir.file("tmp.loc"), 842, pixels.size());
        ASSERT_EQ(step.Run(bar, threads).first, CfgError::None);
        EXPECT_EQ(ReadFile(dir.file("m.cfg")), ReadFile(dir.file("plain.cfg"))) << threads << " threads";
        EXPECT_EQ(bar.moves, static_cast<int>(ProgressMoves(CfgProgressStep(pixels.size()), 0, pixels.size())));
    }
}

TEST(CfgRun, ProgressRules) {
    EXPECT_EQ(CfgProgressStep(49), 0u);
    EXPECT_EQ(CfgProgressStep(150), 2u);
    EXPECT_EQ(ProgressMoves(0, 0, 49), 0u);
    EXPECT_EQ(ProgressMoves(1, 0, 49), 0u);
    EXPECT_EQ(ProgressMoves(2, 0, 150), 75u);   // after pixels 1, 3, ..., 149
    EXPECT_EQ(ProgressMoves(2, 0, 2), 1u);
    EXPECT_EQ(ProgressMoves(2, 2, 4), 1u);
    EXPECT_EQ(ProgressMoves(3, 0, 300) , 100u);
    EXPECT_EQ(ProgressMoves(3, 0, 150) + ProgressMoves(3, 150, 300), 100u);
}

TEST(CfgRun, RefusalsAndEmptyRuns) {
    TempDir dir;
    std::vector<AmeRecord> two(2);
    std::memset(two.data(), 0, sizeof(AmeRecord) * 2);
    two[1].X = 5;
    WriteFile(dir.file("m.ame"), Bytes(two.data(), 88));
    const PixelRecord far[] = {{1, 1}, {32768, 2}};
    WriteFile(dir.file("far.loc"), Bytes(far, sizeof far));
    WriteFile(dir.file("none.loc"), "");

    const auto run = [&](const std::string& tmp, int count) {
        return CfgStep(dir.file("m.ame"), dir.file("m.cfg"), dir.file(tmp), count, tmp == "far.loc" ? 2 : 0).Run();
    };
    EXPECT_EQ(run("none.loc", 2).first, CfgError::None);
    EXPECT_EQ(ReadFile(dir.file("m.cfg")), "");
    EXPECT_EQ(run("none.loc", 0).first, CfgError::None);
    EXPECT_EQ(run("far.loc", 0).first, CfgError::NoStation);
    EXPECT_EQ(run("far.loc", 3).first, CfgError::StationRead);
    const auto [error, text] = run("far.loc", 2);
    EXPECT_EQ(error, CfgError::PixelRange);
    EXPECT_EQ(text, "File :" + dir.file("far.loc") +
                        "\r\nGray pixel (32768, 2) lies beyond pixel 32767,\r\nwhich a *.cfg file can't hold." + kUnchanged);
    EXPECT_EQ(ReadFile(dir.file("m.cfg")), "");  // a failed run leaves the earlier file

    // Each file that can't be opened is named; a pipe is refused at once.
    ASSERT_EQ(mkfifo(dir.file("pipe.loc").c_str(), 0600), 0);
    const testing_support::HangGuard guard(60);
    CfgStep missing(dir.file("no.ame"), dir.file("no/m.cfg"), dir.file("pipe.loc"), 2, 2);
    EXPECT_EQ(missing.run.Error(), CfgError::Open);
    EXPECT_EQ(missing.run.OpenFailures(), (std::vector<CfgOpenFailure>{{dir.file("no.ame"), ENOENT},
                                                                        {dir.file("no/m.cfg"), ENOENT},
                                                                        {dir.file("pipe.loc"), platform::NotRegularFile}}));
    EXPECT_EQ(missing.run.ErrorText(), "File :" + dir.file("no.ame") + "\r\ncan't open.\r\nNo such file or directory" + kUnchanged);
    EXPECT_EQ(CfgOpenErrorText("./tmp_$$$.loc", platform::NotRegularFile),
              "File :./tmp_$$$.loc\r\ncan't open.\r\nNot a regular file");
    EXPECT_EQ(missing.run.FindAdjacentStations(NoProgress()), CfgError::Open);
}

// A progress sink that changes the pixel file once the first records are written.
class ChangingPixelFile : public ProgressSink {
public:
    explicit ChangingPixelFile(std::function<void()> change) : change_(std::move(change)) {}
    void ProcessMessages() override {
        if (change_) change_();
        change_ = nullptr;
    }

private:
    std::function<void()> change_;
};

// A pixel file cut short, before the step or while it runs, or one that
// can't be read fails it with a message that names it, and leaves the
// earlier *.cfg file as it was.
TEST(CfgRun, APixelFileThatCantBeReadWholeIsNamed) {
    TempDir dir;
    std::mt19937 random(5);
    const std::vector<AmeRecord> stations = RandomStations(random, 20, 400);
    WriteFile(dir.file("m.ame"), Bytes(stations.data(), stations.size() * sizeof(AmeRecord)));
    const std::vector<PixelRecord> pixels = AllPixels(400, 250);  // several chunks of records
    const std::string whole = Bytes(pixels.data(), pixels.size() * 8);
    const std::uint64_t gray = pixels.size();
    const auto run = [&](const std::string& bytes, ProgressSink& progress) {
        WriteFile(dir.file("tmp.loc"), bytes);
        WriteFile(dir.file("m.cfg"), "earlier");
        auto result = CfgStep(dir.file("m.ame"), dir.file("m.cfg"), dir.file("tmp.loc"), 20, gray).Run(progress, 1);
        EXPECT_TRUE(result.first == CfgError::None || ReadFile(dir.file("m.cfg")) == "earlier");
        return result;
    };
    const std::string prefix = "File :" + dir.file("tmp.loc") + "\r\nholds ";
    const std::string wrote = " gray pixels, but Step 1 wrote 100000." + kUnchanged;
    EXPECT_EQ(run(whole.substr(0, whole.size() / 2), NoProgress()),
              std::pair(CfgError::PixelCount, prefix + "50000" + wrote));
    ChangingPixelFile cut([&] { std::filesystem::resize_file(dir.file("tmp.loc"), 8 * 70000 + 4); });
    EXPECT_EQ(run(whole, cut),
              std::pair(CfgError::PixelCount, prefix + "70000 gray pixels and 4 bytes, but Step 1 wrote 100000." + kUnchanged));
    EXPECT_EQ(run(whole, NoProgress()).first, CfgError::None);
    EXPECT_EQ(ReadFile(dir.file("m.cfg")).size(), 100000u * sizeof(CfgRecord));

    // A read error is no end of the file: the kernel fails every read of the
    // speed of a device that has none, a regular file of one page.
    const std::string unreadable = "/sys/class/net/lo/speed";
    const int probe = open(unreadable.c_str(), O_RDONLY | O_CLOEXEC);
    char byte = 0;
    const bool fails = probe >= 0 && read(probe, &byte, 1) < 0;
    const std::string reason = std::strerror(errno);
    if (probe >= 0) close(probe);
    if (!fails || std::filesystem::file_size(unreadable) != 512 * 8) GTEST_SKIP() << unreadable << " reads";
    WriteFile(dir.file("m.cfg"), "earlier");
    EXPECT_EQ(CfgStep(dir.file("m.ame"), dir.file("m.cfg"), unreadable, 20, 512).Run(),
              std::pair(CfgError::PixelRead, "File :" + unreadable + "\r\ncan't be read.\r\n" + reason + kUnchanged));
    EXPECT_EQ(ReadFile(dir.file("m.cfg")), "earlier");
}
