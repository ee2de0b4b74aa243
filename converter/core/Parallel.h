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
// k mod slots. A worker claims the oldest submitted slot nobody has claimed;
// so does the caller while the slot it waits for is unfinished, rather than
// sit idle. Handing over a slot is a store to an atomic; a thread with
// nothing to do sleeps in the kernel until a slot is submitted or finished,
// and leaves its core to others.
template <typename Slot>
class OrderedWorkers {
public:
    OrderedWorkers(int threads, int slots, std::function<void(Slot&)> work)
        : slots_(static_cast<std::size_t>(slots)), done_(slots_.size()), work_(std::move(work)) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~OrderedWorkers() {
        stopping_ = true;
        wakes_.fetch_add(1);
        wakes_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    // The next slot to fill, or nullptr while every slot is in flight.
    Slot* FreeSlot() { return inFlight_ == slots_.size() ? nullptr : &slots_[Index(head_ + inFlight_)]; }
    // Hands the slot that FreeSlot gave to the workers.
    void Submit() {
        submitted_.store(head_ + ++inFlight_, std::memory_order_release);
        wakes_.fetch_add(1);
        wakes_.notify_one();
    }
    // Waits for the oldest submitted slot; nullptr when none is in flight. The
    // slot stays the caller's until Release.
    Slot* WaitOldest() {
        if (inFlight_ == 0) return nullptr;
        std::atomic<std::uint64_t>& done = done_[Index(head_)];
        for (std::uint64_t sequence; done.load(std::memory_order_acquire) != head_ + 1 && Claim(sequence);) Work(sequence);
        for (std::uint64_t seen; (seen = done.load(std::memory_order_acquire)) != head_ + 1;) done.wait(seen);
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
        done_[Index(sequence)].notify_all();
    }

    void Run() {
        for (std::uint64_t sequence = 0;;) {
            for (std::uint32_t seen = wakes_.load(); !stopping_ && !Claim(sequence); seen = wakes_.load())
                wakes_.wait(seen);
            if (stopping_) return;
            Work(sequence);
        }
    }

    std::vector<Slot> slots_;
    // done_[i] = k + 1 once the k-th slot (slot i) is worked on.
    std::vector<std::atomic<std::uint64_t>> done_;
    std::function<void(Slot&)> work_;
    std::uint64_t head_ = 0;  // sequence number of the oldest slot in flight
    std::size_t inFlight_ = 0;
    std::atomic<std::uint64_t> submitted_{0};  // slots submitted so far
    std::atomic<std::uint64_t> claimed_{0};    // slots claimed so far
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint32_t> wakes_{0};  // changes whenever a sleeping worker has cause to wake
    std::vector<std::thread> threads_;
};

}  // namespace strova
