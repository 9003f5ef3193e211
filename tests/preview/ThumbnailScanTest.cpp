// The thumbnail worker's order of work, driven by a fake worker that records what it makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "preview/ThumbnailScan.h"

namespace brevio {
namespace {

struct FakeWorker {
    std::vector<uint32_t> made;
    uint32_t priority = 0;
    int invalidations = 0;
    // Called after each thumbnail, may move `priority` or stop the run.
    std::function<void(FakeWorker&)> afterMake;
    bool running = true;
    int steps = 0;

    ThumbnailScanHooks Hooks() {
        return ThumbnailScanHooks{
            [this] { return running && ++steps < 1'000'000; },
            [this] { return priority; },
            [this](uint32_t index) {
                made.push_back(index);
                if (afterMake) afterMake(*this);
                return S_OK;
            },
            [this] { ++invalidations; },
        };
    }
};

std::vector<uint32_t> Range(uint32_t first, uint32_t end) {
    std::vector<uint32_t> out(end - first);
    std::iota(out.begin(), out.end(), first);
    return out;
}

TEST(ThumbnailScan, WithoutWishesIndexOrderRepaintingAfterEvenAndLast) {
    // The shooting-unit strip never wishes: 0, 1, 2, ... with a repaint after 0, 2, 4 and the last.
    for (uint32_t n : {0u, 1u, 7u, 16u}) {
        FakeWorker worker;
        ASSERT_EQ(MakeThumbnailsInOrder(n, worker.Hooks()), S_OK);
        EXPECT_EQ(worker.made, Range(0, n));
        EXPECT_EQ(worker.invalidations, static_cast<int>((n + 1) / 2 + (n % 2 == 0 && n > 0))) << n;
    }
}

TEST(ThumbnailScan, PriorityAheadIsMadeFirstThenTheScanResumes) {
    FakeWorker worker;
    worker.afterMake = [](FakeWorker& w) {
        if (w.made.back() == 5) w.priority = 20;  // the scan stands at 6 when the view asks
    };
    ASSERT_EQ(MakeThumbnailsInOrder(30, worker.Hooks()), S_OK);

    std::vector<uint32_t> expected = Range(0, 6);
    for (uint32_t v : Range(20, 30)) expected.push_back(v);
    for (uint32_t v : Range(6, 20)) expected.push_back(v);
    EXPECT_EQ(worker.made, expected);
    EXPECT_GT(worker.invalidations, 0);
}

TEST(ThumbnailScan, AFarRequestIsReachedWithinThreeThumbnails) {
    // Chapter 150 of 300 scrolled to the left edge: the view asks for 149.
    for (uint32_t askedAfter : {0u, 1u, 2u, 7u, 40u}) {
        FakeWorker worker;
        size_t askedAt = 0;
        worker.afterMake = [&](FakeWorker& w) {
            if (w.made.back() == askedAfter && w.priority == 0) {
                w.priority = 149;
                askedAt = w.made.size();
            }
        };
        ASSERT_EQ(MakeThumbnailsInOrder(300, worker.Hooks()), S_OK);
        auto at = std::find(worker.made.begin(), worker.made.end(), 149u) - worker.made.begin();
        EXPECT_LE(static_cast<size_t>(at), askedAt + 3) << "asked after " << askedAfter;
        EXPECT_EQ(worker.made.size(), 300u);
    }
}

TEST(ThumbnailScan, EveryChapterExactlyOnceWhateverTheViewAsks) {
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        const uint32_t n = 1 + random() % 120;
        FakeWorker worker;
        worker.afterMake = [&](FakeWorker& w) {
            if (random() % 4 == 0) w.priority = random() % (n + 5);  // out of range now and then
        };
        ASSERT_EQ(MakeThumbnailsInOrder(n, worker.Hooks()), S_OK);
        ASSERT_LT(worker.steps, 1'000'000) << "the scan does not end, n " << n;
        std::vector<uint32_t> sorted = worker.made;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, Range(0, n)) << "round " << round << ", n " << n;
    }
}

TEST(ThumbnailScan, StopsBeforeTheNextThumbnailAndReportsAFailure) {
    FakeWorker stopped;
    stopped.afterMake = [](FakeWorker& w) { w.running = w.made.size() < 4; };
    EXPECT_EQ(MakeThumbnailsInOrder(30, stopped.Hooks()), S_OK);
    EXPECT_EQ(stopped.made, Range(0, 4));

    ThumbnailScanHooks failing = stopped.Hooks();
    stopped.running = true;
    stopped.made.clear();
    stopped.afterMake = nullptr;
    failing.make = [](uint32_t index) { return index == 2 ? E_FAIL : S_OK; };
    EXPECT_EQ(MakeThumbnailsInOrder(30, failing), E_FAIL);
}

}  // namespace
}  // namespace brevio
