#include "Steps.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "Measure.h"
#include "core/AmeCore.h"
#include "core/BmpCore.h"
#include "core/CfgCore.h"
#include "core/FileIo.h"

namespace bench {

namespace {

// The converter's message, as one line of the benchmark's.
[[noreturn]] void Fail(std::string message) {
    std::replace(message.begin(), message.end(), '\r', ' ');
    throw BenchError(message);
}

}  // namespace

bool ScanStep(const std::string& bmpPath, const std::string& tmpPath) {
    strova::BmpReader reader(bmpPath);
    const strova::BmpError error = reader.ScanGrayPixels(tmpPath, strova::NoProgress());
    if (error == strova::BmpError::None) return true;
    const std::string text = strova::BmpErrorText(error, bmpPath, tmpPath, reader.SystemError());
    Fail(text.empty() ? strova::BmpRefusalText(error, bmpPath, reader.InfoHeader(), false) : text);
}

bool PlaceStep(const std::string& tmpPath, std::uint32_t grayCount, const std::vector<strova::AmeRecord>& stations,
               const std::string& amePath) {
    const auto placement = strova::PlaceStations(OpenFile(tmpPath, "rb").get(), grayCount, stations);
    if (!placement) return false;
    strova::FilePtr ame = OpenFile(amePath, "wb");
    Check(strova::WriteAmeFile(ame.get(), placement->selected), amePath);
    CloseWritten(std::move(ame), amePath);
    return true;
}

bool NearestStep(const std::string& amePath, const std::string& cfgPath, const std::string& tmpPath, int stationCount) {
    strova::StepTransaction files({{cfgPath, ""}});
    const std::uint64_t grayCount = std::filesystem::file_size(tmpPath) / sizeof(strova::PixelRecord);
    strova::CfgRun run(amePath, cfgPath, tmpPath, stationCount, grayCount, files);
    if (run.FindAdjacentStations(strova::NoProgress()) != strova::CfgError::None) Fail(run.ErrorText());
    return true;
}

}  // namespace bench
