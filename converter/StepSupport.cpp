#include "StepSupport.h"

#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <thread>

#include "WindowHelpers.h"

namespace strova {

namespace {

// The sink a computation thread moves; the GUI thread copies it to the bar.
class SharedProgress : public ProgressSink {
public:
    SharedProgress(int minimum, int maximum, int position)
        : minimum_(minimum), maximum_(maximum), position_(position) {}
    void SetToMinimum() override { position_ = minimum_; }
    void SetToMaximum() override { position_ = maximum_; }
    void StepBy(int delta) override { position_ = std::min(maximum_, position_.load() + delta); }
    int Position() const override { return position_; }
    int Maximum() const override { return maximum_; }

private:
    const int minimum_;
    const int maximum_;
    std::atomic<int> position_;
};

constexpr int kRefreshMilliseconds = 40;

}  // namespace

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

void BarProgress::SetToMinimum() { bar_->setValue(bar_->minimum()); }
void BarProgress::SetToMaximum() { bar_->setValue(bar_->maximum()); }
void BarProgress::StepBy(int delta) { bar_->setValue(std::min(bar_->maximum(), bar_->value() + delta)); }
int BarProgress::Position() const { return bar_->value(); }
int BarProgress::Maximum() const { return bar_->maximum(); }
void BarProgress::ProcessMessages() { App().ProcessMessages(); }

void RunWhileLive(QProgressBar* bar, const std::function<void(ProgressSink&)>& work) {
    SharedProgress progress(bar->minimum(), bar->maximum(), bar->value());
    QEventLoop loop;
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, bar, [&] { bar->setValue(progress.Position()); });
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    refresh.start(kRefreshMilliseconds);
    loop.exec();
    worker.join();
    bar->setValue(progress.Position());
    if (failure) std::rethrow_exception(failure);
}

void AppendLines(QPlainTextEdit* log, const std::vector<std::string>& lines) {
    log->setUpdatesEnabled(false);
    for (const std::string& line : lines) log->appendPlainText(Text(line));
    log->setUpdatesEnabled(true);
}

}  // namespace strova
