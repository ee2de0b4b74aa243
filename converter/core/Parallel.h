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

// Waits until `ready()` holds, and asks it nothing after that (it may take
// work as it answers): checks over and over for `patience`, then after naps.
// Nobody is ever woken: on a virtual machine waking a sleeping thread takes
// longer than a chunk of work, while a thread that naps leaves its core to
// the others.
template <typename Ready>
void AwaitUntil(const Ready& ready, std::chrono::microseconds patience) {
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    for (int check = 1; check % 64 != 0 || std::chrono::steady_clock::now() <= giveUp; ++check) {
        if (ready()) return;
#ifdef __SSE2__
        _mm_pause();
#endif
    }
    // Naps grow the longer the wait, up to a fifth of a millisecond: a long
    // wait costs little, and a thread that oversleeps is not late by much.
    for (std::chrono::microseconds nap{20}; !ready(); nap = std::min(2 * nap, std::chrono::microseconds(200)))
        std::this_thread::sleep_for(nap);
}

// Slots are handed out by sequence number: the k-th submitted slot is slot
// k mod slots. A worker claims the oldest submitted slot nobody has claimed;
// so does the caller while the slot it waits for is unfinished, rather than
// sit idle. Handing over a slot is a store to an atomic: no lock and no
// wake-up.
template <typename Slot>
class OrderedWorkers {
public:
    // A thread that waits keeps checking for `patience` before it naps: about
    // as long as a chunk takes, as long as there are cores to spare for it.
    OrderedWorkers(int threads, int slots, std::chrono::microseconds patience, std::function<void(Slot&)> work)
        : slots_(static_cast<std::size_t>(slots)), done_(slots_.size()), patience_(patience), work_(std::move(work)) {
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
    void Submit() { submitted_.store(head_ + ++inFlight_, std::memory_order_release); }
    // Waits for the oldest submitted slot; nullptr when none is in flight. The
    // slot stays the caller's until Release.
    Slot* WaitOldest() {
        if (inFlight_ == 0) return nullptr;
        const auto oldestDone = [this] { return done_[Index(head_)].load(std::memory_order_acquire) == head_ + 1; };
        for (std::uint64_t sequence; !oldestDone() && Claim(sequence);) Work(sequence);
        AwaitUntil(oldestDone, patience_);
        return &slots_[Index(head_)];
    }
    void Release() {
        ++head_;
        --inFlight_;
    }

private:
    std::size_t Index(std::uint64_t sequence) const { return static_cast<std::size_t>(sequence % slots_.size()); }

    // Takes the oldest submitted slot that nobody has claimed, if any.
    bool Claim(std::uint64_t& sequence) {
        sequence = claimed_.load();
        while (sequence < submitted_.load(std::memory_order_acquire))
            if (claimed_.compare_exchange_weak(sequence, sequence + 1)) return true;
        return false;
    }

    void Work(std::uint64_t sequence) {
        work_(slots_[Index(sequence)]);
        done_[Index(sequence)].store(sequence + 1, std::memory_order_release);
    }

    void Run() {
        for (std::uint64_t sequence = 0;;) {
            AwaitUntil([&] { return stopping_.load() || Claim(sequence); }, patience_);
            if (stopping_) return;
            Work(sequence);
        }
    }

    std::vector<Slot> slots_;
    // done_[i] = k + 1 once the k-th slot (slot i) is worked on.
    std::vector<std::atomic<std::uint64_t>> done_;
    const std::chrono::microseconds patience_;
    std::function<void(Slot&)> work_;
    std::uint64_t head_ = 0;  // sequence number of the oldest slot in flight
    std::size_t inFlight_ = 0;
    std::atomic<std::uint64_t> submitted_{0};  // slots submitted so far
    std::atomic<std::uint64_t> claimed_{0};    // slots claimed so far
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

}  // namespace strova
