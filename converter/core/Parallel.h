// Work on numbered chunks spread over worker threads, handed back to the
// caller in the order it submitted them, so that results are written in file
// order while the workers run ahead. Only the caller's thread submits and
// collects; the number of slots bounds the memory in flight.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace strova {

// Worker threads to use: all cores, at least one, and at most 16, which
// keeps the chunks in flight of any step within a few tens of MiB.
inline int WorkerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores < 16 ? cores : 16);
}

// Waits until `value` holds `want` or `stop` is set: checks over and over
// for `patience`, then after naps. Nobody is ever woken:
// on a virtual machine waking a sleeping thread takes longer than a chunk of
// work, while a thread that naps leaves its core to the others.
inline void AwaitValue(const std::atomic<std::uint64_t>& value, std::uint64_t want, const std::atomic<bool>& stop,
                       std::chrono::microseconds patience) {
    const auto arrived = [&] { return value.load(std::memory_order_acquire) == want || stop.load(); };
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    for (int check = 1; !arrived(); ++check) {
#ifdef __SSE2__
        _mm_pause();
#endif
        if (check % 64 == 0 && std::chrono::steady_clock::now() > giveUp) break;
    }
    // Naps grow the longer the wait, up to a fifth of a millisecond: a long
    // wait costs little, and a thread that oversleeps is not late by much.
    for (std::chrono::microseconds nap{20}; !arrived(); nap = std::min(2 * nap, std::chrono::microseconds(200)))
        std::this_thread::sleep_for(nap);
}

// Slots are handed out by sequence number: the k-th submitted slot is slot
// k mod slots, and each worker claims the next number itself. Handing over a
// slot is a store to an atomic: no lock and no wake-up.
template <typename Slot>
class OrderedWorkers {
public:
    // A thread that waits keeps checking for `patience` before it naps: about
    // as long as a chunk takes, as long as there are cores to spare for it.
    OrderedWorkers(int threads, int slots, std::chrono::microseconds patience, std::function<void(Slot&)> work)
        : slots_(static_cast<std::size_t>(slots)), ready_(slots_.size()), done_(slots_.size()), patience_(patience),
          work_(std::move(work)) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~OrderedWorkers() {
        stopping_ = true;
        for (std::thread& thread : threads_) thread.join();
    }
    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    // The next slot to fill, or nullptr while every slot is in flight.
    Slot* FreeSlot() { return inFlight_ == slots_.size() ? nullptr : &slots_[Index(head_ + inFlight_)]; }
    // Hands the slot that FreeSlot gave to the workers.
    void Submit() {
        const std::uint64_t sequence = head_ + inFlight_++;
        ready_[Index(sequence)].store(sequence + 1, std::memory_order_release);
    }
    // Waits for the oldest submitted slot; nullptr when none is in flight. The
    // slot stays the caller's until Release.
    Slot* WaitOldest() {
        if (inFlight_ == 0) return nullptr;
        AwaitValue(done_[Index(head_)], head_ + 1, neverStop_, patience_);
        return &slots_[Index(head_)];
    }
    void Release() {
        ++head_;
        --inFlight_;
    }

private:
    std::size_t Index(std::uint64_t sequence) const { return static_cast<std::size_t>(sequence % slots_.size()); }

    void Run() {
        for (;;) {
            const std::uint64_t sequence = claimed_.fetch_add(1);
            AwaitValue(ready_[Index(sequence)], sequence + 1, stopping_, patience_);
            if (stopping_) return;
            work_(slots_[Index(sequence)]);
            done_[Index(sequence)].store(sequence + 1, std::memory_order_release);
        }
    }

    std::vector<Slot> slots_;
    // ready_[i] = k + 1 once the k-th slot (slot i) is submitted, done_[i] =
    // k + 1 once it is worked on.
    std::vector<std::atomic<std::uint64_t>> ready_;
    std::vector<std::atomic<std::uint64_t>> done_;
    const std::chrono::microseconds patience_;
    std::function<void(Slot&)> work_;
    std::uint64_t head_ = 0;  // sequence number of the oldest slot in flight
    std::size_t inFlight_ = 0;
    std::atomic<std::uint64_t> claimed_{0};
    std::atomic<bool> stopping_{false};
    const std::atomic<bool> neverStop_{false};
    std::vector<std::thread> threads_;
};

}  // namespace strova
