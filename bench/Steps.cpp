#include "Steps.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

#include "Measure.h"
#include "core/AmeCore.h"
#include "core/BmpCore.h"
#include "core/CfgCore.h"
#include "core/FileIo.h"
#include "core/Paths.h"
#include "platform/Files.h"

namespace bench {

namespace {

// The converter's message, as one line of the benchmark's.
[[noreturn]] void Fail(std::string message) {
    std::replace(message.begin(), message.end(), '\r', ' ');
    throw BenchError(message);
}

// A transaction of the step's outputs, without backups, whose journal lies
// beside them; begun, or BenchError with the converter's message.
std::unique_ptr<strova::StepTransaction> BeginStep(std::vector<strova::StepOutput> outputs) {
    const std::string folder = platform::ContainingFolder(outputs.front().path);
    const std::size_t count = outputs.size();
    auto files = std::make_unique<strova::StepTransaction>(std::move(outputs), std::vector<std::string>{}, folder);
    strova::StepFailure failure = files->Begin();
    for (std::size_t i = 0; !failure.Failed() && i < count; ++i) failure = files->Open(i);
    if (failure.Failed()) Fail(failure.path + ": " + files->FailureText(failure, false));
    return files;
}

}  // namespace

bool ScanStep(const std::string& bmpPath, const std::string& tmpPath) {
    strova::BmpReader reader(bmpPath);
    const strova::BmpError error = reader.ScanGrayPixels(tmpPath, strova::NoProgress());
    if (error == strova::BmpError::None) return true;
    const std::string text = strova::BmpErrorText(error, bmpPath, tmpPath, reader.SystemError());
    Fail(text.empty() ? strova::BmpRefusalText(error, bmpPath, reader.InfoHeader(), false) : text);
}

bool WriteStationStep(const std::string& amePath, const std::string& datPath,
                      const std::vector<strova::AmeRecord>& selected) {
    const auto files = BeginStep({{amePath, ""}, {datPath, ""}});
    const auto lines = strova::StationListLines(strova::BaseNameOf(amePath), selected);
    if (const strova::StepFailure failure = strova::WriteStationFiles(*files, selected, lines); failure.Failed())
        Fail(files->FailureText(failure, false));
    return true;
}

bool PlaceStep(const std::string& tmpPath, std::uint32_t grayCount, const std::vector<strova::AmeRecord>& stations,
               const std::string& amePath, const std::string& datPath) {
    const auto placement = strova::PlaceStations(OpenFile(tmpPath, "rb").get(), grayCount, stations);
    return placement && WriteStationStep(amePath, datPath, placement->selected);
}

bool NearestStep(const std::string& amePath, const std::string& cfgPath, const std::string& tmpPath, int stationCount) {
    const auto files = BeginStep({{cfgPath, ""}});
    const std::uint64_t grayCount = std::filesystem::file_size(tmpPath) / sizeof(strova::PixelRecord);
    strova::CfgRun run(amePath, cfgPath, tmpPath, stationCount, grayCount, *files);
    if (run.FindAdjacentStations(strova::NoProgress()) != strova::CfgError::None) Fail(run.ErrorText());
    return true;
}

}  // namespace bench
