// The benchmark's scale mode: the production code alone on the all-Japan map
// at 4000, 8000, 16000 and 32000 pixels a side.
#pragma once

#include <string>

namespace bench {

// Runs the three steps and the station window at each size and prints their
// times and peak memory; the files of a size go into `dir` and are removed
// after it unless `keep`.
int RunScale(const std::string& dir, bool keep);

}  // namespace bench
