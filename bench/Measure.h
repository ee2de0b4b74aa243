// What the benchmark's modes share: a step timed in a child process of its
// own with its peak memory, and the stations of libvorbel.so.
#pragma once

#include <chrono>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/FileIo.h"
#include "core/Stations.h"
#include "platform/Module.h"

namespace bench {

using Clock = std::chrono::steady_clock;

struct Measure {
    double seconds = std::numeric_limits<double>::infinity();  // a run that failed is never the best
    long peakKiB = 0;  // growth of the resident set over the step
    bool ok = false;
};

double Seconds(Clock::time_point start);

// A file the benchmark can't make, write or read (a full or closed temp
// folder, say): the program ends with its message and the exit code 1.
class BenchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file opened with fopen's `mode`; BenchError naming it and the system's
// reason when it can't be.
strova::FilePtr OpenFile(const std::string& path, const char* mode);
// BenchError naming the file `path` and the system's reason unless what was
// done with it was `ok`.
void Check(bool ok, const std::string& path);
// Closes a file written to, whose last bytes may be written only now.
void CloseWritten(strova::FilePtr file, const std::string& path);

// What `cat file > /dev/null` takes: 128 KiB reads from the page cache.
double CatSeconds(const std::string& path);

// Runs `step` in a child process and returns its time and peak memory growth;
// `prepare` runs before the clock starts. An exception in the child is
// printed there, and the run counts as failed.
Measure InChild(const std::function<bool()>& step, const std::function<void()>& prepare);

// libvorbel.so beside this program; ends the program when it can't be loaded.
platform::ModuleHandle Library();
// Its station accessors, bound by name the way the converter binds them.
strova::StationAccessors BindLibrary();

}  // namespace bench
