// What the benchmark's modes share: a step timed in a child process of its
// own with its peak memory, and the stations of libvorbel.so.
#pragma once

#include <chrono>
#include <functional>
#include <limits>

#include "core/Stations.h"

namespace bench {

using Clock = std::chrono::steady_clock;

struct Measure {
    double seconds = std::numeric_limits<double>::infinity();  // a run that failed is never the best
    long peakKiB = 0;  // growth of the resident set over the step
    bool ok = false;
};

double Seconds(Clock::time_point start);

// Runs `step` in a child process and returns its time and peak memory growth;
// `prepare` runs before the clock starts.
Measure InChild(const std::function<bool()>& step, const std::function<void()>& prepare);

// The station accessors of libvorbel.so beside this program, bound by name
// the way the converter binds them; ends the program when it can't be loaded.
strova::StationAccessors BindLibrary();

}  // namespace bench
