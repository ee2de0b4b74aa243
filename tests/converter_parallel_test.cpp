#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "core/Parallel.h"

using strova::OrderedWorkers;

namespace {

struct Item {
    std::uint64_t number = 0;
    std::uint64_t result = 0;
    int workedOn = 0;
    int pause = 0;  // microseconds the work takes, so that chunks finish out of order
};

// Feeds `count` numbered items through the workers the way the steps do and
// returns the numbers in the order they came back.
std::vector<std::uint64_t> Feed(int threads, int slots, std::uint64_t count, bool* eachOnce) {
    std::mt19937 random(threads * 31 + slots);
    std::uniform_int_distribution<int> pause(0, 40);
    OrderedWorkers<Item> workers(threads, slots, [](Item& item) {
        if (item.pause > 0) std::this_thread::sleep_for(std::chrono::microseconds(item.pause));
        item.result = item.number * item.number;
        ++item.workedOn;
    });
    std::vector<std::uint64_t> order;
    *eachOnce = true;
    for (std::uint64_t next = 0;;) {
        for (Item* item; next < count && (item = workers.FreeSlot()) != nullptr; ++next) {
            *item = Item{next, 0, 0, pause(random) < 4 ? pause(random) : 0};
            workers.Submit();
        }
        Item* done = workers.WaitOldest();
        if (!done) break;
        order.push_back(done->number);
        *eachOnce = *eachOnce && done->workedOn == 1 && done->result == done->number * done->number;
        workers.Release();
    }
    return order;
}

}  // namespace

// Every item is worked on once and comes back in the order it went in,
// whether worker threads do the work or, with none, the caller alone.
TEST(OrderedWorkers, EveryItemOnceInSubmissionOrder) {
    for (const int threads : {0, 1, 3, 9}) {
        for (const int slots : {1, 2, 5, 20}) {
            bool eachOnce = false;
            const std::vector<std::uint64_t> order = Feed(threads, slots, 3000, &eachOnce);
            ASSERT_EQ(order.size(), 3000u) << threads << " threads, " << slots << " slots";
            for (std::uint64_t i = 0; i < order.size(); ++i)
                ASSERT_EQ(order[i], i) << threads << " threads, " << slots << " slots";
            EXPECT_TRUE(eachOnce) << threads << " threads, " << slots << " slots";
        }
    }
}

// A caller that stops early, with slots still in flight or never collected,
// can let the workers go.
TEST(OrderedWorkers, StoppingWithSlotsInFlightEnds) {
    for (const int threads : {1, 4}) {
        OrderedWorkers<Item> workers(threads, 6, [](Item& item) { ++item.workedOn; });
        for (Item* item; (item = workers.FreeSlot()) != nullptr;) workers.Submit();
        ASSERT_NE(workers.WaitOldest(), nullptr);
        workers.Release();
    }
    SUCCEED();
}

// A worker that has gone to sleep wakes for each submitted slot: the caller
// never works on a slot itself here, so a lost wake-up hangs the test.
TEST(OrderedWorkers, ASleepingWorkerWakesForEachSubmittedSlot) {
    std::atomic<int> worked{0};
    OrderedWorkers<Item> workers(1, 2, [&](Item&) {
        ++worked;
        worked.notify_all();
    });
    for (int i = 1; i <= 200; ++i) {
        ASSERT_NE(workers.FreeSlot(), nullptr);
        workers.Submit();
        for (int seen; (seen = worked.load()) < i;) worked.wait(seen);
        ASSERT_NE(workers.WaitOldest(), nullptr);
        workers.Release();
    }
}
