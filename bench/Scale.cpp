#include "Scale.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "Ame.h"
#include "LandMask.h"
#include "Measure.h"
#include "LibraryBinding.h"
#include "Steps.h"
#include "core/Stations.h"
#include "platform/forms/Application.h"

namespace bench {

namespace {

namespace fs = std::filesystem;

constexpr int kSizes[] = {4000, 8000, 16000, 32000};
// The scroll test: steps of three wheel lines down and across at once.
constexpr int kScrollSteps = 200;
constexpr int kScrollStep = 60;

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The station window of step 2 as the converter opens it after the bounds
// dialog, on the files of steps 1 and 2, offscreen.
struct StationWindow {
    std::string ame, bmp, dat, tmp;
    std::uint32_t grayCount = 0;
    strova::MapConfig map;
    strova::StationAccessors stations;

    std::unique_ptr<QProgressBar> bar;
    std::unique_ptr<QPlainTextEdit> log;
    std::unique_ptr<strova::StepTransaction> files;
    std::unique_ptr<TAmeForm> form;
    PaintCounter counter;

    void StartApplication() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        platform::EnsureQApplication();
        strova::Stations = stations;
        bar = std::make_unique<QProgressBar>();
        bar->setRange(0, 100);
        log = std::make_unique<QPlainTextEdit>();
    }

    // Waits until the map has had `paints` paint events.
    bool PaintedUntil(int paints) {
        for (int round = 0; counter.paints < paints && round < 1000; ++round)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return counter.paints >= paints;
    }

    // Creates the window, shows it and returns once its picture is painted.
    bool Open() {
        form.reset();
        files = std::make_unique<strova::StepTransaction>(std::vector<strova::StepOutput>{{ame, ""}, {dat, ""}});
        form = std::make_unique<TAmeForm>(nullptr, ame, bmp, dat, tmp, grayCount, map, bar.get(), log.get(), false,
                                          *files);
        if (!form->Placed || form->Image->Picture().Error() != strova::PictureError::None) return false;
        form->Image->installEventFilter(&counter);
        form->show();
        return PaintedUntil(1);
    }

    // Scrolls down and to the right from the top left corner, and back from
    // the far end, waiting for the paint after every step.
    bool Scroll() {
        QScrollBar* bars[] = {form->ScrollBox->horizontalScrollBar(), form->ScrollBox->verticalScrollBar()};
        int direction = 1;
        for (int step = 1; step <= kScrollSteps; ++step) {
            if (bars[1]->value() + direction * kScrollStep > bars[1]->maximum() ||
                bars[1]->value() + direction * kScrollStep < 0)
                direction = -direction;
            const int before = counter.paints;
            for (QScrollBar* bar : bars) bar->setValue(bar->value() + direction * kScrollStep);
            if (!PaintedUntil(before + 1)) return false;
        }
        return true;
    }
};

void Print(const char* what, const Measure& m) {
    std::printf("  %-34s %8.3f s   peak +%8.1f MiB   %s\n", what, m.seconds, m.peakKiB / 1024.0, m.ok ? "ok" : "FAILED");
}

bool RunSize(int size, const std::string& dir, const strova::StationAccessors& library) {
    const auto file = [&](const char* name) { return dir + "/" + std::to_string(size) + name; };
    const strova::MapConfig map{kJapanLeftLon, kJapanBottomLat, kJapanRightLon, kJapanTopLat, size, size};
    std::string error;
    const Clock::time_point made = Clock::now();
    if (!WriteJapanGrayMap(file(".bmp"), size, size, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::printf("all-Japan gray map %dx%d: %.1f MiB, written in %.1f s\n", size, size,
                fs::file_size(file(".bmp")) / 1048576.0, Seconds(made));

    const Measure scan = InChild([&] { return ScanStep(file(".bmp"), file(".loc")); }, {});
    const auto gray = static_cast<std::uint32_t>(fs::file_size(file(".loc")) / sizeof(strova::PixelRecord));
    std::printf("  %u gray pixels\n", gray);
    Print("step 1 gray scan", scan);

    const std::vector<strova::AmeRecord> stations = strova::LoadLibraryStations(library, map);
    const Measure place = InChild([&] { return PlaceStep(file(".loc"), gray, stations, file(".ame"), file("_a.dat")); }, {});
    Print("step 2 station placement", place);

    const int count = static_cast<int>(fs::file_size(file(".ame")) / sizeof(strova::AmeRecord));
    const Measure nearest = InChild([&] { return NearestStep(file(".ame"), file(".cfg"), file(".loc"), count); }, {});
    Print("step 3 nearest stations", nearest);

    StationWindow window{file("w.ame"), file(".bmp"), file("w_a.dat"), file(".loc"), gray, map, library, {}, {}, {}, {}, {}};
    const Measure open = InChild([&] { return window.Open(); }, [&] { window.StartApplication(); });
    Print("station window open and painted", open);
    const Measure scroll = InChild([&] { return window.Scroll(); }, [&] {
        window.StartApplication();
        window.Open();
    });
    std::printf("  %-34s %8.3f ms a step (%d steps of %d pixels each way)   peak +%6.1f MiB   %s\n",
                "station window scrolling", scroll.seconds * 1000 / kScrollSteps, kScrollSteps, kScrollStep,
                scroll.peakKiB / 1024.0, scroll.ok ? "ok" : "FAILED");
    return scan.ok && place.ok && nearest.ok && open.ok && scroll.ok;
}

}  // namespace

int RunScale(const std::string& dir, bool keep) {
    const strova::StationAccessors library = BindLibrary();
    bool ok = true;
    for (const int size : kSizes) {
        const std::string sizeDir = dir + "/" + std::to_string(size);
        fs::create_directories(sizeDir);
        ok = RunSize(size, sizeDir, library) && ok;
        if (!keep) fs::remove_all(sizeDir);
    }
    return ok ? 0 : 1;
}

}  // namespace bench
