// How the computing cores move a progress bar (range 0..100, step 1) and let
// the windows repaint, without knowing about windows. Every call comes from
// the thread that called the core; worker threads of a core never call it.
#pragma once

#include <cstdint>

namespace strova {

// The steps move the bar once for each row or pixel i with i mod step = 1
// (never when step < 2). How many of first..last-1 do.
inline std::uint64_t ProgressMoves(std::uint64_t step, std::uint64_t first, std::uint64_t last) {
    if (step < 2) return 0;
    const auto below = [step](std::uint64_t m) { return m < 2 ? 0 : (m - 2) / step + 1; };
    return below(last) - below(first);
}

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void SetToMinimum() {}
    virtual void SetToMaximum() {}
    // Moves the bar by `delta` (the bar clamps at its maximum).
    virtual void StepBy(int delta) { (void)delta; }
    virtual int Position() const { return 0; }
    virtual int Maximum() const { return 100; }
    // Lets pending window messages be processed (repaints during long steps).
    virtual void ProcessMessages() {}
};

// A bar that goes nowhere, for callers without a window.
inline ProgressSink& NoProgress() {
    static ProgressSink sink;
    return sink;
}

}  // namespace strova
