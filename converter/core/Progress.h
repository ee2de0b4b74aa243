// How the computing cores move a progress bar (range 0..100, step 1) and let
// the windows repaint, without knowing about windows. Every call comes from
// the thread that called the core; worker threads of a core never call it.
#pragma once

namespace strova {

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
