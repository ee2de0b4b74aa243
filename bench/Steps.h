// The production code of the three steps as both benchmark modes run it,
// on the files of one map; each returns true or throws BenchError with the
// converter's message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Stations.h"

namespace bench {

bool ScanStep(const std::string& bmpPath, const std::string& tmpPath);
// Writes the *.ame and *_a.dat files of `selected` as the converter's
// step 2 does, through the step's transaction.
bool WriteStationStep(const std::string& amePath, const std::string& datPath,
                      const std::vector<strova::AmeRecord>& selected);
bool PlaceStep(const std::string& tmpPath, std::uint32_t grayCount, const std::vector<strova::AmeRecord>& stations,
               const std::string& amePath, const std::string& datPath);
bool NearestStep(const std::string& amePath, const std::string& cfgPath, const std::string& tmpPath, int stationCount);

}  // namespace bench
