// The second step's files and texts without windows: the station-location
// file (*.ame, 44-byte records), the station list (*_a.dat, CR LF lines), the
// station block of the process log, the unticking of additional stations,
// where the marks of the station window go, and the step's messages.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/Stations.h"
#include "core/StepTransaction.h"

namespace strova {

// Keeps the internal stations and the additional ones whose box is ticked
// (`ticked` has one entry per additional station, in order).
void KeepTicked(Placement& placement, const std::vector<bool>& ticked);

// Writes the records of `stations` to the *.ame stream; false on a write error.
bool WriteAmeFile(std::FILE* stream, const std::vector<AmeRecord>& stations);
// The lines of the station list, without line ends.
std::vector<std::string> StationListLines(const std::string& baseName, const std::vector<AmeRecord>& stations);
// Writes each line followed by CR LF; false on a write error.
bool WriteTextLines(std::FILE* stream, const std::vector<std::string>& lines);

// Writes `stations` to the *.ame file (output 0 of `files`) and the station
// list `listLines` to the *_a.dat file (output 1), and commits the step: both
// replace their earlier files, or, with the failure returned, neither does.
StepFailure WriteStationFiles(StepTransaction& files, const std::vector<AmeRecord>& stations,
                              const std::vector<std::string>& listLines);

// The station block that step 2 adds to the process log.
std::vector<std::string> StationLogLines(const Placement& placement, const std::string& amePath,
                                         const std::string& datPath);

// Top-left corners of the marks on the map (scroll-box coordinates).
struct MarkPosition {
    int left;
    int top;
};
// The 10 x 10 circle on an internal station (no clamping).
MarkPosition CirclePosition(const AmeRecord& station, int mapHeight);
// The 16 x 16 check box on an additional station, kept inside the map.
MarkPosition CheckBoxPosition(const AmeRecord& station, int mapWidth, int mapHeight);

// How far the progress bar moves after each station of the bounds.
int StationProgressIncrement(int maximum, int position, int totalCount);

// Messages of step 2 (caption "Strova - Error", MB_ICONERROR), in the
// language chosen by `japanese`; UTF-8.
std::string InfoFileErrorText(bool japanese);
// The reason (`error` an error number or a platform::FileRefusal) follows on
// a line of its own.
std::string OutputOpenErrorText(const std::string& path, bool japanese, int error = 0);
std::string PixelReadErrorText(const std::string& tmpPath, bool japanese);
// Step 2 stops with this when no station lies inside the bounds.
std::string NoStationInBoundsText(bool japanese);

}  // namespace strova
