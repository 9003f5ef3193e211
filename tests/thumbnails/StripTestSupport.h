#pragma once
// Shared pieces of the strip tests: a parent window that records the messages posted to it, the
// creation of a view as its child at the pane's size, and the test movies.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRect>
#include <QStyle>
#include <filesystem>
#include <memory>
#include <vector>

#include "TestHarness.h"
#include "framesource/IFrameSource.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailWnd.h"
#include "window/WindowBase.h"

namespace brevio::test {

// The thumbnail pane's place in these tests: records WM_CUT_KEY and WM_BRV_CLOSE_REQUEST.
class RecordingParent : public WindowBase {
public:
    RecordingParent() {
        for (uint32_t message : {WM_CUT_KEY, WM_BRV_CLOSE_REQUEST}) {
            Messages().Add(message, [this](uint32_t m, uintptr_t w, intptr_t, bool&) {
                received.push_back({m, w});
                return LRESULT{0};
            });
        }
    }
    struct Received {
        uint32_t message;
        uintptr_t wParam;
    };
    std::vector<Received> received;
    int Count(uint32_t message) const {
        int n = 0;
        for (const Received& r : received) n += r.message == message ? 1 : 0;
        return n;
    }
};

// The pane's view size: 690 wide, 64 high plus the horizontal scroll bar.
inline QRect ViewRect(const QWidget& view) {
    const int bar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
    return QRect(4, 36, 690, 64 + bar);
}

// A view on an opened movie, created in a recording parent.
struct StripFixture {
    RecordingParent parent;
    std::unique_ptr<CThumbnailWnd> view = std::make_unique<CThumbnailWnd>();

    void Open(const std::filesystem::path& movie) {
        RegisterFrameSourceComponent();
        ASSERT_EQ(view->OpenDocument(QString::fromStdString(movie.string())), 0);
        ASSERT_TRUE(parent.Create(nullptr, QRect(0, 0, 720, 200)));
        // As the pane does: created small, then moved to its place.
        ASSERT_TRUE(view->Create(&parent, QRect(0, 0, 10, 10)));
        view->setGeometry(ViewRect(*view));
        view->SetSelectionLength(8);
        ASSERT_EQ(view->viewport()->width(), 690);
        ASSERT_EQ(view->viewport()->height(), 64);
    }
    bool WaitIdle(int timeoutMs = 20000) {
        return WaitUntil([this] { return !view->IsBusy(); }, timeoutMs);
    }
    ~StripFixture() {
        if (view) view->DestroyWindow();
        parent.DestroyWindow();
    }
};

// Units of 30 frames at 30000/1001 frames per second: exactly 1.001 s each, so every unit is as
// long as the first.
inline std::filesystem::path UnitMovie(int units) {
    testmovies::MovieOptions options;
    options.units = units;
    options.framesPerUnit = 30;
    return testmovies::MakeMovie(options);
}

constexpr int64_t kUnit = 10'010'000;  // ticks of one 1.001 s unit

}  // namespace brevio::test
