#include "Steps.h"

#include <filesystem>

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
    strova::FilePtr tmp(std::fopen(tmpPath.c_str(), "rb"));
    const auto placement = strova::PlaceStations(tmp.get(), grayCount, stations);
    strova::FilePtr ame(std::fopen(amePath.c_str(), "wb"));
    return placement && strova::WriteAmeFile(ame.get(), placement->selected);
}

bool NearestStep(const std::string& amePath, const std::string& cfgPath, const std::string& tmpPath, int stationCount) {
    strova::StepTransaction files({{cfgPath, ""}});
    const std::uint64_t grayCount = std::filesystem::file_size(tmpPath) / sizeof(strova::PixelRecord);
    strova::CfgRun run(amePath, cfgPath, tmpPath, stationCount, grayCount, files);
    return run.FindAdjacentStations(strova::NoProgress()) == strova::CfgError::None;
}

}  // namespace bench
