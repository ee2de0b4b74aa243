// What the step workers and their driver share: the main window's progress
// bar as the cores' progress sink, a long computation on a thread of its own
// while the windows stay live, and lines added to the process log.
#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/Progress.h"

class QPlainTextEdit;
class QProgressBar;

namespace strova {

QString Text(const std::string& utf8);

// Moves a progress bar from the GUI thread; StepBy stops at the maximum, and
// ProcessMessages lets the windows repaint.
class BarProgress : public ProgressSink {
public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void SetToMinimum() override;
    void SetToMaximum() override;
    void StepBy(int delta) override;
    int Position() const override;
    int Maximum() const override;
    void ProcessMessages() override;

private:
    QProgressBar* bar_;
};

// Runs `work` on a thread of its own and keeps the GUI thread's events going
// until it ends, so that the windows repaint and the bar moves. `work` gets a
// sink it may call from its thread; the bar follows it a few times a second.
void RunWhileLive(QProgressBar* bar, const std::function<void(ProgressSink&)>& work);

// Appends `lines` to the process log in one update.
void AppendLines(QPlainTextEdit* log, const std::vector<std::string>& lines);

}  // namespace strova
