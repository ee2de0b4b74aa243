// What the main window computes around the three steps: the output paths
// and backups of a bitmap, the reserved base names, and the driver's lines
// of the process log.
#pragma once

#include <string>

namespace strova {

struct OutputPaths {
    std::string ame, cfg, dat;
    std::string ameBackup, cfgBackup, datBackup;
};

// The paths of one bitmap's outputs, by plain concatenation of the folder
// prefixes and the base name. When the *.ame and *.cfg folders are one
// folder, their two "<base>.bak" backups would be one file; the *.cfg backup
// is then "<base>_cfg.bak", so that step 3 never replaces step 2's backup.
OutputPaths DeriveOutputPaths(const std::string& amePath, const std::string& cfgPath, const std::string& baseName);

// The base names of the family's default maps, which the user may not
// remake (compared in upper case).
bool IsReservedBaseName(const std::string& baseName);

// "Longitude(X) and Latitude(Y): (%lf,%lf)-(%lf,%lf)"
std::string BoundsLogLine(double leftLon, double bottomLat, double rightLon, double topLat);
// "--- Step n: Normally processed."
std::string StepDoneLogLine(int step);
// "File: " + path + " created."
std::string CfgCreatedLogLine(const std::string& cfgPath);

}  // namespace strova
