#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <thread>
#include <vector>

#include "TestHarness.h"
#include "platform/WindowTimers.h"

namespace brevio {
namespace {

TEST(WindowTimers, DeliversTheIdentifier) {
    std::vector<uint32_t> fired;
    WindowTimers timers([&](uint32_t id) { fired.push_back(id); });
    EXPECT_TRUE(timers.Set(4009, 20));
    EXPECT_TRUE(timers.Set(4011, 20));
    EXPECT_TRUE(timers.IsActive(4009));
    EXPECT_FALSE(timers.IsActive(4010));
    ASSERT_TRUE(test::WaitUntil([&] {
        return std::count(fired.begin(), fired.end(), 4009u) >= 2 &&
               std::count(fired.begin(), fired.end(), 4011u) >= 2;
    }));
    for (uint32_t id : fired) EXPECT_TRUE(id == 4009u || id == 4011u);
}

TEST(WindowTimers, SettingARunningTimerRestartsIt) {
    std::vector<qint64> firedAt;
    QElapsedTimer clock;
    WindowTimers timers([&](uint32_t) { firedAt.push_back(clock.elapsed()); });
    clock.start();
    timers.Set(4010, 300);
    // Set again every 100 ms: a restarted timer never reaches its 300 ms.
    for (int i = 0; i < 5; ++i) {
        test::WaitUntil([&] { return clock.elapsed() >= 100 * (i + 1); }, 1000);
        timers.Set(4010, 300);
    }
    const qint64 lastSet = clock.elapsed();
    EXPECT_TRUE(firedAt.empty());
    ASSERT_TRUE(test::WaitUntil([&] { return !firedAt.empty(); }, 2000));
    EXPECT_GE(firedAt.front(), lastSet + 290);
}

TEST(WindowTimers, KillStopsAndHandlerMayKillItself) {
    int fired = 0;
    WindowTimers* self = nullptr;
    WindowTimers timers([&](uint32_t id) {
        ++fired;
        self->Kill(id);
    });
    self = &timers;
    EXPECT_FALSE(timers.Kill(4009));  // never set
    timers.Set(4009, 10);
    ASSERT_TRUE(test::WaitUntil([&] { return fired == 1; }));
    EXPECT_FALSE(timers.IsActive(4009));
    test::WaitUntil([] { return false; }, 60);
    EXPECT_EQ(fired, 1);

    timers.Set(4010, 10);
    EXPECT_TRUE(timers.Kill(4010));
    test::WaitUntil([] { return false; }, 60);
    EXPECT_EQ(fired, 1);
}

TEST(WindowTimers, ZeroIntervalIsRaisedAndOtherThreadsAreRefused) {
    int fired = 0;
    WindowTimers timers([&](uint32_t) { ++fired; });
    bool fromWorker = true;
    std::thread worker([&] { fromWorker = timers.Set(1, 10); });
    worker.join();
    EXPECT_FALSE(fromWorker);
    EXPECT_FALSE(timers.IsActive(1));

    QElapsedTimer clock;
    clock.start();
    timers.Set(2, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return fired >= 1; }));
    EXPECT_GE(clock.elapsed(), WindowTimers::kMinimumIntervalMs - 1);
}

}  // namespace
}  // namespace brevio
