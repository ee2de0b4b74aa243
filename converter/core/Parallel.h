// Work on numbered chunks spread over worker threads, handed back to the
// caller in the order it submitted them, so that results are written in file
// order while the workers run ahead. Only the caller's thread submits and
// collects; the number of slots bounds the memory in flight.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace strova {

// Worker threads to use: all cores, at least one, and at most 16, which
// keeps the chunks in flight of any step within a few tens of MiB.
inline int WorkerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores < 16 ? cores : 16);
}

// Slots are handed out by sequence number: the k-th submitted slot is slot
// k mod slots, and each worker claims the next number itself. Waiting goes
// through atomics, which make no system call while nobody sleeps, so a
// chunk costs no lock and, while the workers keep up, no wake-up.
template <typename Slot>
class OrderedWorkers {
public:
    OrderedWorkers(int threads, int slots, std::function<void(Slot&)> work)
        : slots_(static_cast<std::size_t>(slots)), ready_(slots_.size()), done_(slots_.size()),
          work_(std::move(work)) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~OrderedWorkers() {
        stopping_ = true;
        for (std::atomic<std::uint64_t>& ready : ready_) {
            ready.store(kStopped);
            ready.notify_all();
        }
        for (std::thread& thread : threads_) thread.join();
    }
    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    // The next slot to fill, or nullptr while every slot is in flight.
    Slot* FreeSlot() { return inFlight_ == slots_.size() ? nullptr : &slots_[Index(head_ + inFlight_)]; }
    // Hands the slot that FreeSlot gave to the workers.
    void Submit() {
        const std::uint64_t sequence = head_ + inFlight_++;
        std::atomic<std::uint64_t>& ready = ready_[Index(sequence)];
        ready.store(sequence + 1);
        ready.notify_all();
    }
    // Waits for the oldest submitted slot; nullptr when none is in flight. The
    // slot stays the caller's until Release.
    Slot* WaitOldest() {
        if (inFlight_ == 0) return nullptr;
        std::atomic<std::uint64_t>& done = done_[Index(head_)];
        for (std::uint64_t seen = done.load(); seen != head_ + 1; seen = done.load()) done.wait(seen);
        return &slots_[Index(head_)];
    }
    void Release() {
        ++head_;
        --inFlight_;
    }

private:
    static constexpr std::uint64_t kStopped = UINT64_MAX;
    std::size_t Index(std::uint64_t sequence) const { return static_cast<std::size_t>(sequence % slots_.size()); }

    void Run() {
        for (;;) {
            const std::uint64_t sequence = claimed_.fetch_add(1);
            std::atomic<std::uint64_t>& ready = ready_[Index(sequence)];
            for (std::uint64_t seen = ready.load(); seen != sequence + 1; seen = ready.load()) {
                if (stopping_) return;
                ready.wait(seen);
            }
            work_(slots_[Index(sequence)]);
            std::atomic<std::uint64_t>& done = done_[Index(sequence)];
            done.store(sequence + 1);
            done.notify_all();
        }
    }

    std::vector<Slot> slots_;
    // ready_[i] = k + 1 once the k-th slot (slot i) is submitted, done_[i] =
    // k + 1 once it is worked on.
    std::vector<std::atomic<std::uint64_t>> ready_;
    std::vector<std::atomic<std::uint64_t>> done_;
    std::function<void(Slot&)> work_;
    std::uint64_t head_ = 0;  // sequence number of the oldest slot in flight
    std::size_t inFlight_ = 0;
    std::atomic<std::uint64_t> claimed_{0};
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

}  // namespace strova
