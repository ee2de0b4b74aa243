// strova_bench: the three steps of a conversion on an all-Japan gray map,
// the plain reference procedure against the production code on the same
// files. Checks that the pixel file, the *.ame file and the *.cfg file are
// identical and prints, per step, both times, their ratio and the peak extra
// memory of the production step (each production step runs in child
// processes of its own so that its peak is its own; its time is the best of
// eleven runs).
//
//   strova_bench [--quick] [--size N] [--keep DIR]
//   strova_bench --scale [--keep DIR]
//
// The scale mode (bench/Scale.h) runs the production code alone at four
// sizes up to 32000 pixels a side, the station window included.
//
// It ends with the settings store (bench/Store.h): one read of a text from a
// store of 40,000 values against reading the store file.
//
// The stations come from libvorbel.so beside this program, bound by name the
// way the converter binds them. A file that can't be made or written ends
// the run with its name and the system's reason, and the exit code 1.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../tests/support/PlainReference.h"
#include "LandMask.h"
#include "Measure.h"
#include "Scale.h"
#include "Steps.h"
#include "Store.h"
#include "core/AmeCore.h"
#include "core/BmpCore.h"
#include "core/CfgCore.h"
#include "core/Stations.h"

namespace {

using bench::Clock;
using bench::InChild;
using bench::Measure;
using bench::Seconds;
namespace fs = std::filesystem;

struct Options {
    int size = 4000;
    std::string keep;
    bool scale = false;
};

// The least time of `rounds` runs and the largest peak; ok when every run
// was. A run that failed ends the rounds: the next would fail alike.
Measure Best(int rounds, const std::function<Measure()>& run) {
    Measure best;
    best.ok = true;
    for (int round = 0; round < rounds && best.ok; ++round) {
        const Measure m = run();
        best.seconds = std::min(best.seconds, m.seconds);
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
        best.ok = best.ok && m.ok;
    }
    return best;
}

// The best of eleven runs in fresh child processes: the machine may be busy
// with other work, and the step's own time is the least it needs. `between`
// runs before each run, outside the clock.
Measure BestInChild(const std::function<bool()>& step, const std::function<void()>& prepare = {},
                    const std::function<void()>& between = {}) {
    return Best(11, [&] {
        if (between) between();
        return InChild(step, prepare);
    });
}

// The best of `rounds` runs of a plain reference procedure, in this process.
Measure Timed(const std::function<bool()>& step, int rounds) {
    return Best(rounds, [&] {
        const Clock::time_point start = Clock::now();
        Measure m;
        m.ok = step();
        m.seconds = Seconds(start);
        return m;
    });
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The least a scan can take for its output: one write of the whole pixel
// file from memory into a new file (best of three).
double WriteSeconds(const std::string& bytes, const std::string& path) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        fs::remove(path);
        const Clock::time_point start = Clock::now();
        strova::FilePtr file = bench::OpenFile(path, "wb");
        bench::Check(std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size(), path);
        bench::CloseWritten(std::move(file), path);
        best = std::min(best, Seconds(start));
    }
    fs::remove(path);
    return best;
}

// False when a run failed or the outputs differ.
bool Report(const char* step, const Measure& reference, const Measure& production, bool identical) {
    const bool ok = identical && reference.ok && production.ok;
    std::printf("%-28s reference %9.3f s   production %8.4f s   ratio %8.1fx   peak +%6.1f MiB   %s\n", step,
                reference.seconds, production.seconds, reference.seconds / production.seconds,
                production.peakKiB / 1024.0, ok ? "identical" : "DIFFERENT");
    return ok;
}

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick")
            options.size = 800;
        else if (arg == "--size" && i + 1 < argc)
            options.size = std::atoi(argv[++i]);
        else if (arg == "--scale")
            options.scale = true;
        else if (arg == "--keep" && i + 1 < argc)
            options.keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: strova_bench [--quick] [--size N] [--keep DIR] | --scale [--keep DIR]\n");
            std::exit(2);
        }
    }
    return options;
}

// The three steps and the store on the all-Japan map in `dir`; false when a
// step failed or its outputs differ from the reference's.
bool Run(const Options& options, const std::string& dir) {
    const auto file = [&](const char* name) { return dir + "/" + name; };
    const strova::MapConfig map{bench::kJapanLeftLon, bench::kJapanBottomLat, bench::kJapanRightLon,
                                bench::kJapanTopLat, options.size, options.size};
    std::string error;
    if (!bench::WriteJapanGrayMap(file("japan.bmp"), options.size, options.size, &error))
        throw bench::BenchError(error);
    std::printf("all-Japan gray map %dx%d (%.1f..%.1f E, %.1f..%.1f N), %u hardware threads\n", options.size,
                options.size, map.LeftLon, map.RightLon, map.BottomLat, map.TopLat, std::thread::hardware_concurrency());

    // Step 1: the gray scan.
    std::uint32_t gray = 0;
    // The references of steps 1 and 2 take seconds and count the best of
    // three runs; that of step 3 takes minutes and runs once.
    const Measure scanRef = Timed([&] {
        bench::Check(plain::ScanGrayPixels(file("japan.bmp"), file("ref.loc"), gray), file("ref.loc"));
        return true;
    }, 3);
    // Each run makes a new pixel file, as the first run of a session does.
    // The bitmap is read like cat does just before each run, and the best
    // scan is set against the best read: the least each of them needs on
    // this machine at this time.
    double cat = 1e9;
    const Measure scan = BestInChild(
        [&] { return bench::ScanStep(file("japan.bmp"), file("prod.loc")); },
        [&] { fs::remove(file("prod.loc")); }, [&] { cat = std::min(cat, bench::CatSeconds(file("japan.bmp"))); });
    std::printf("%u gray pixels; bitmap %.1f MiB, read from the page cache (cat) in %.4f s\n", gray,
                fs::file_size(file("japan.bmp")) / 1048576.0, cat);
    bool ok = Report("step 1 gray scan", scanRef, scan, Slurp(file("ref.loc")) == Slurp(file("prod.loc")));
    // Later steps read the pixel files: without them nothing more can be measured.
    if (!scan.ok) throw bench::BenchError("the production scan failed: later steps have no pixel file to read");
    std::printf("%-28s production / cat = %.2f; writing the pixel file alone from memory takes %.4f s\n", "",
                scan.seconds / cat, WriteSeconds(Slurp(file("prod.loc")), file("copy.loc")));

    // Step 2: stations on gray pixels.
    const std::vector<strova::AmeRecord> stations = strova::LoadLibraryStations(bench::BindLibrary(), map);
    std::vector<strova::AmeRecord> refSelected;
    // Both write their files through the step's transaction, so that the
    // ratio compares the placement.
    const Measure placeRef = Timed([&] {
        std::vector<strova::PixelRecord> pixels(gray);
        bench::Check(std::fread(pixels.data(), 8, gray, bench::OpenFile(file("ref.loc"), "rb").get()) == gray,
                     file("ref.loc"));
        int internal = 0;
        refSelected = plain::PlaceStations(pixels, stations, internal);
        return bench::WriteStationStep(file("ref.ame"), file("ref_a.dat"), refSelected);
    }, 3);
    const Measure place = BestInChild(
        [&] { return bench::PlaceStep(file("prod.loc"), gray, stations, file("prod.ame"), file("prod_a.dat")); });
    std::printf("%zu stations inside the bounds\n", stations.size());
    // The station lists differ in their first line only, the base name.
    const auto afterFirstLine = [](const std::string& text) { return text.substr(text.find('\n') + 1); };
    const bool sameFiles = Slurp(file("ref.ame")) == Slurp(file("prod.ame")) &&
                           afterFirstLine(Slurp(file("ref_a.dat"))) == afterFirstLine(Slurp(file("prod_a.dat")));
    ok = Report("step 2 station placement", placeRef, place, sameFiles) && ok;

    // Step 3: the ten nearest stations of every gray pixel.
    const int count = static_cast<int>(refSelected.size());
    const Measure nearestRef = Timed([&] {
        bench::Check(plain::WriteCfg(refSelected, file("ref.loc"), file("ref.cfg")), file("ref.cfg"));
        return true;
    }, 1);
    const Measure nearest =
        BestInChild([&] { return bench::NearestStep(file("prod.ame"), file("prod.cfg"), file("prod.loc"), count); });
    ok = Report("step 3 nearest stations", nearestRef, nearest, Slurp(file("ref.cfg")) == Slurp(file("prod.cfg"))) &&
         ok;

    return bench::ReportStore(dir) && ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options options = Parse(argc, argv);
    std::string dir = options.keep;
    bool ok = false;
    try {
        if (dir.empty()) dir = (fs::temp_directory_path() / ("strova_bench." + std::to_string(getpid()))).string();
        fs::create_directories(dir);
        if (options.scale) {
            ok = bench::RunScale(dir, !options.keep.empty()) == 0;
        } else {
            ok = Run(options, dir);
            if (!ok) std::fprintf(stderr, "strova_bench: a step failed or its output differs from the reference's\n");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "strova_bench: %s\n", error.what());
    }
    std::error_code ignored;
    if (options.keep.empty())
        fs::remove_all(dir, ignored);
    else if (ok && !options.scale)
        std::printf("files kept in %s (python3 bench/kdtree_compare.py %s compares scipy's cKDTree)\n", dir.c_str(),
                    dir.c_str());
    return ok ? 0 : 1;
}
