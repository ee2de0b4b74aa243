// The third step without windows: the 24-byte record of the configuration
// file (*.cfg), IndexSort, the record of one pixel, and the whole step that
// writes the ten nearest stations of every gray pixel.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/BmpCore.h"
#include "core/FileIo.h"
#include "core/Progress.h"
#include "core/Stations.h"
#include "core/StepTransaction.h"

namespace strova {

#pragma pack(push, 1)
struct CfgRecord {
    std::int16_t X;
    std::int16_t Y;
    std::int16_t Station[10];  // 1-based positions in the *.ame file, nearest first; 0 names no station
};
#pragma pack(pop)
static_assert(sizeof(CfgRecord) == 24);

// Orders the station numbers 1..n by rising distance into order[1..n]
// (order[0] = 0; distances[1..n] are read). The order among equal distances
// is the one this procedure gives, and the files depend on it. False when
// its stack of 25 ranges runs out, which cannot happen below 2^25 entries.
bool IndexSort(int n, const double* distances, std::uint32_t* order);

// IndexSort that only finishes the first `head` places: ranges lying wholly
// beyond them are left unsorted, and places 1..head come out exactly as
// IndexSort puts them (with head >= n it is IndexSort itself).
template <typename Distance>
bool IndexSortHead(int n, const Distance* distances, std::uint32_t* order, int head);

// The record of a pixel from its distances and IndexSort's order: the nearest
// station, then the next nine unless the nearest lies on the pixel itself;
// places beyond the n stations hold 0.
template <typename Distance>
CfgRecord MakeCfgRecord(const PixelRecord& pixel, int n, const Distance* distances, const std::uint32_t* order);

// Pixel coordinates the 16-bit fields of a record can hold.
bool FitsCfgRecord(const PixelRecord& pixel);

// Progress step of the nearest-station loop (0 or 1: the bar stays put).
std::uint64_t CfgProgressStep(std::uint64_t pixelCount);

enum class CfgError {
    None,
    Open,             // a file could not be opened (see OpenFailures)
    StationRead,      // the *.ame file holds fewer records than step 2 wrote
    TooManyStations,  // station numbers above 32767 do not fit the records
    NoStation,        // gray pixels but no station to refer them to
    PixelCount,       // the pixel file holds fewer gray pixels than step 1 wrote
    PixelRead,        // the pixel file can't be read
    PixelRange,       // a pixel coordinate does not fit the 16-bit fields
    Write,            // the *.cfg file could not be written
    Commit,           // the step's files could not be put in place (see StepTransaction)
};

// A file that could not be opened, and why (an error number or a
// platform::FileRefusal).
struct CfgOpenFailure {
    std::string path;
    int error = 0;
    bool operator==(const CfgOpenFailure&) const = default;
};

// The whole step for one run: the three files opened on construction, then
// FindAdjacentStations. The *.cfg file (`cfgPath`) is output 0 of `files`,
// which it is written to and committed through. Messages have the caption
// "CfgData Error".
class CfgRun {
public:
    // `grayCount`: the gray pixels step 1 wrote to the pixel file, the
    // records the step reads.
    CfgRun(std::string amePath, std::string cfgPath, std::string tmpPath, int stationCount, std::uint64_t grayCount,
           StepTransaction& files);
    ~CfgRun();
    CfgRun(const CfgRun&) = delete;
    CfgRun& operator=(const CfgRun&) = delete;

    bool Ok() const { return error_ == CfgError::None; }
    CfgError Error() const { return error_; }
    // The files that failed to open, in the order *.ame, *.cfg, pixel file.
    const std::vector<CfgOpenFailure>& OpenFailures() const { return openFailures_; }
    // The message of each, and what became of the user's files.
    std::vector<std::string> OpenErrorTexts() const;

    // Writes one record per gray pixel in file order. `threads` 0 uses all cores.
    CfgError FindAdjacentStations(ProgressSink& progress, int threads = 0);
    // The message of the error (for Open: one per failed path, see
    // CfgOpenErrorText), and what became of the user's files.
    std::string ErrorText() const;

private:
    CfgError Fail(CfgError error, std::string detail = {});
    std::string ProblemText() const;
    std::string WithOutcome(const std::string& text) const;
    bool ReadStations(std::vector<AmeRecord>& stations);
    CfgError PixelFileFault(int readError);

    std::string amePath_, cfgPath_, tmpPath_;
    int stationCount_;
    std::uint64_t grayCount_;
    StepTransaction& files_;
    int ameFd_ = -1;
    int tmpFd_ = -1;
    CfgError error_ = CfgError::None;
    std::string errorDetail_;
    StepFailure commitFailure_;
    std::vector<CfgOpenFailure> openFailures_;
};

// "File :" + path + CR LF + "can't open.", and the reason on a line of its
// own (`error` an error number or a platform::FileRefusal).
std::string CfgOpenErrorText(const std::string& path, int error = 0);

}  // namespace strova
