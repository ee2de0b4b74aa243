// Work on numbered chunks spread over worker threads, handed back to the
// caller in the order it submitted them, so that results are written in file
// order while the workers run ahead. Only the caller's thread submits and
// collects; the number of slots bounds the memory in flight.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace strova {

// Worker threads to use: all cores, at least one, and at most 16, which
// keeps the chunks in flight of any step within a few tens of MiB.
inline int WorkerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores < 16 ? cores : 16);
}

template <typename Slot>
class OrderedWorkers {
public:
    OrderedWorkers(int threads, int slots, std::function<void(Slot&)> work)
        : slots_(static_cast<std::size_t>(slots)), done_(slots_.size(), false), work_(std::move(work)) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~OrderedWorkers() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        jobReady_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    // The next slot to fill, or nullptr while every slot is in flight.
    Slot* FreeSlot() { return inFlight_ == slots_.size() ? nullptr : &slots_[(head_ + inFlight_) % slots_.size()]; }
    // Hands the slot that FreeSlot gave to the workers.
    void Submit() {
        const std::size_t index = (head_ + inFlight_) % slots_.size();
        ++inFlight_;
        {
            std::lock_guard lock(mutex_);
            done_[index] = false;
            jobs_.push_back(index);
        }
        jobReady_.notify_one();
    }
    // Waits for the oldest submitted slot; nullptr when none is in flight. The
    // slot stays the caller's until Release.
    Slot* WaitOldest() {
        if (inFlight_ == 0) return nullptr;
        std::unique_lock lock(mutex_);
        jobDone_.wait(lock, [&] { return done_[head_]; });
        return &slots_[head_];
    }
    void Release() {
        head_ = (head_ + 1) % slots_.size();
        --inFlight_;
    }

private:
    void Run() {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex_);
                jobReady_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                index = jobs_.front();
                jobs_.pop_front();
            }
            work_(slots_[index]);
            {
                std::lock_guard lock(mutex_);
                done_[index] = true;
            }
            jobDone_.notify_all();
        }
    }

    std::vector<Slot> slots_;
    std::vector<bool> done_;
    std::function<void(Slot&)> work_;
    std::size_t head_ = 0;
    std::size_t inFlight_ = 0;
    std::deque<std::size_t> jobs_;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable jobDone_;
    std::vector<std::thread> threads_;
};

}  // namespace strova
