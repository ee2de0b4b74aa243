#include "Steps.h"

#include <utility>

#include "Measure.h"
#include "core/AmeCore.h"
#include "core/BmpCore.h"
#include "core/CfgCore.h"
#include "core/FileIo.h"

namespace bench {

bool ScanStep(const std::string& bmpPath, const std::string& tmpPath) {
    strova::BmpReader reader(bmpPath);
    return reader.ScanGrayPixels(tmpPath, strova::NoProgress()) == strova::BmpError::None;
}

bool PlaceStep(const std::string& tmpPath, std::uint32_t grayCount, const std::vector<strova::AmeRecord>& stations,
               const std::string& amePath) {
    const auto placement = strova::PlaceStations(OpenFile(tmpPath, "rb").get(), grayCount, stations);
    if (!placement) return false;
    strova::FilePtr ame = OpenFile(amePath, "wb");
    Written(strova::WriteAmeFile(ame.get(), placement->selected), amePath);
    CloseWritten(std::move(ame), amePath);
    return true;
}

bool NearestStep(const std::string& amePath, const std::string& cfgPath, const std::string& tmpPath, int stationCount) {
    strova::CfgRun run(amePath, cfgPath, tmpPath, stationCount);
    return run.FindAdjacentStations(strova::NoProgress()) == strova::CfgError::None;
}

}  // namespace bench
