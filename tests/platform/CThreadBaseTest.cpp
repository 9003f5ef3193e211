#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/CThreadBase.h"

namespace brevio {
namespace {

using namespace std::chrono_literals;

// A worker with the stop protocol of the system's threads: a flag cleared by the owner, then a
// join without time limit.
class FlagThread : public CThreadBase {
public:
    ~FlagThread() override { Stop(); }
    void Stop() {
        running_ = 0;
        Join();
    }
    std::atomic<int32_t> running_{1};
    std::atomic<int> loops{0};
    std::atomic<bool> sawItself{false};

protected:
    uint32_t Run() override {
        sawItself = IsCurrentThread() && IsStarted();
        while (running_.load() != 0) {
            loops.fetch_add(1);
            std::this_thread::sleep_for(1ms);
        }
        return 42;
    }
};

TEST(CThreadBase, StopAndJoinWithoutAThreadReturnAtOnce) {
    FlagThread never;
    EXPECT_FALSE(never.IsStarted());
    const auto before = std::chrono::steady_clock::now();
    never.Stop();
    never.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    EXPECT_EQ(never.ExitCode(), 0u);
}

TEST(CThreadBase, RunsUntilStoppedAndKeepsTheExitCode) {
    FlagThread thread;
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.IsStarted());
    EXPECT_FALSE(thread.IsCurrentThread());
    EXPECT_FALSE(thread.Start());  // one at a time
    while (thread.loops.load() < 3) std::this_thread::sleep_for(1ms);
    thread.Stop();
    EXPECT_FALSE(thread.IsStarted());
    EXPECT_TRUE(thread.IsFinished());
    EXPECT_EQ(thread.ExitCode(), 42u);
    EXPECT_TRUE(thread.sawItself.load());
    thread.Stop();  // already finished and joined
    // A joined thread object may run again.
    thread.running_ = 1;
    ASSERT_TRUE(thread.Start());
    thread.Stop();
    EXPECT_EQ(thread.ExitCode(), 42u);
}

class QuickThread : public CThreadBase {
public:
    ~QuickThread() override { Join(); }

protected:
    uint32_t Run() override { return 7; }
};

TEST(CThreadBase, JoinAfterTheThreadEndedByItself) {
    QuickThread thread;
    ASSERT_TRUE(thread.Start());
    while (!thread.IsFinished()) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(thread.IsStarted());  // still to be joined
    const auto before = std::chrono::steady_clock::now();
    thread.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    EXPECT_EQ(thread.ExitCode(), 7u);
}

// Run joins itself (an owner's stop reached from the worker) while another thread joins it.
class SelfJoiningThread : public CThreadBase {
public:
    ~SelfJoiningThread() override { Join(); }
    std::atomic<bool> release{false};

protected:
    uint32_t Run() override {
        while (!release.load()) std::this_thread::sleep_for(1ms);
        Join();  // must return at once, not deadlock
        return 1;
    }
};

TEST(CThreadBase, JoinFromItsOwnThreadReturns) {
    SelfJoiningThread thread;
    ASSERT_TRUE(thread.Start());
    std::thread joiner([&] { thread.Join(); });
    std::this_thread::sleep_for(20ms);
    thread.release = true;
    joiner.join();
    thread.Join();
    EXPECT_EQ(thread.ExitCode(), 1u);
}

TEST(CThreadBase, DestructorJoins) {
    std::atomic<int> loops{0};
    {
        FlagThread thread;
        ASSERT_TRUE(thread.Start());
        while (thread.loops.load() < 2) std::this_thread::sleep_for(1ms);
        loops = thread.loops.load();
    }
    EXPECT_GE(loops.load(), 2);
}

}  // namespace
}  // namespace brevio
