// The strip on real movies: where the window of scenes lies, which run is selected, how clicks,
// keys and the wheel act, what is painted, and the worker running while the strip is painted.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <thread>

#include "StripTestSupport.h"

namespace brevio::test {
namespace {

// --- A 200-unit movie in a created view ---

class StripView : public ::testing::Test {
protected:
    static void SetUpTestSuite() { movie_ = UnitMovie(200); }
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(f_.Open(movie_)); }
    void Click(int x, int y) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f_.view->viewport(), &press);
    }
    std::vector<int> Units() {
        std::vector<int> units;
        f_.view->GetSelectedUnits(units);
        return units;
    }
    static std::vector<int> Range(int first, int last) {
        std::vector<int> v;
        for (int i = first; i <= last; ++i) v.push_back(i);
        return v;
    }
    static inline std::filesystem::path movie_;
    StripFixture f_;
};

TEST_F(StripView, WindowSelectionAndScrollOffsetAroundAPosition) {
    struct Case {
        int64_t position;
        int firstUnit, firstSelected, offset;
    } cases[] = {
        {100 * kUnit + kUnit / 2, 96, 100, 216},  // inside unit 100
        // Near the end: from the end of the strip (offset 401, the range maximum 1091 at the
        // client's right edge) a run starting at 7 is in view with its margins; a run at 8 needs
        // more and takes the largest offset, 402.
        {191 * kUnit, 184, 191, 401},
        {199 * kUnit + 5, 184, 192, 402},  // the last unit: run clamped to 8..15
        {500 * kUnit, 184, 192, 402},      // beyond the end: treated as total - 1
        {103 * kUnit, 99, 103, 216},
        {0, 0, 0, 0},
    };
    CThumbnailWnd& view = *f_.view;
    for (const Case& c : cases) {
        ASSERT_EQ(view.ShowScenesAt(c.position), S_OK);
        EXPECT_EQ(view.GetFirstUnit(), c.firstUnit) << c.position;
        EXPECT_EQ(view.GetSceneCount(), 16);
        EXPECT_EQ(Units(), Range(c.firstSelected, c.firstSelected + 7)) << c.position;
        EXPECT_EQ(view.GetScrollOffset().x(), c.offset) << c.position;
        int64_t start = -1;
        EXPECT_EQ(view.GetSelectionStart(&start), S_OK);
        EXPECT_EQ(start, c.firstSelected * kUnit);
        // 16 scenes: 1092 pixels, line 1/100 and page 1/10 of that.
        EXPECT_EQ(view.GetScrollSize(), QSize(1092, 64));
        EXPECT_EQ(view.GetScrollLine().width(), 10);
        EXPECT_EQ(view.GetScrollPage().width(), 109);
        EXPECT_TRUE(view.horizontalScrollBar()->isEnabled());
    }
    ASSERT_TRUE(f_.WaitIdle());
    view.ResetStrip();
    EXPECT_EQ(view.GetSceneCount(), 0);
    EXPECT_EQ(view.GetSelectionStart(nullptr), E_FAIL);
    int64_t untouched = 7;
    EXPECT_EQ(view.GetSelectionStart(&untouched), S_FALSE);
    EXPECT_EQ(untouched, 7);
    // An empty strip fits: the bar stays, disabled.
    EXPECT_TRUE(view.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view.horizontalScrollBar()->isEnabled());
}

TEST_F(StripView, ClicksSelectInTheHitBandOnlyAndNotWhileBusy) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    // Thumbnails still being made: a click changes nothing and takes no focus.
    ASSERT_TRUE(view.IsBusy());
    Click(10 * 68 + 20, 30);
    EXPECT_EQ(Units(), Range(0, 7));
    EXPECT_FALSE(view.hasFocus());
    ASSERT_TRUE(f_.WaitIdle());

    Click(10 * 68 + 20, 30);  // right half of 0..7: 10 becomes the last
    EXPECT_EQ(Units(), Range(3, 10));
    EXPECT_TRUE(view.hasFocus());
    Click(0, 30);  // x 0 is position 0: (0 - 2) / 68 truncates toward zero
    EXPECT_EQ(Units(), Range(0, 7));
    Click(12 * 68 + 20, 7);
    Click(12 * 68 + 20, 57);
    EXPECT_EQ(Units(), Range(0, 7));
    Click(12 * 68 + 20, 56);
    EXPECT_EQ(Units(), Range(5, 12));
    Click(2 * 68 + 20, 8);
    EXPECT_EQ(Units(), Range(2, 9));
    // A length chosen in the pane's list keeps the run's start, or pulls it back to fit.
    view.SetSelectionLength(4);
    EXPECT_EQ(Units(), Range(2, 5));
    Click(15 * 68 + 20, 30);
    view.SetSelectionLength(8);
    EXPECT_EQ(Units(), Range(8, 15));
    view.ClearSelection();
    EXPECT_EQ(Units(), std::vector<int>{});
    EXPECT_EQ(view.CutSelection(), S_FALSE);
    Click(7 * 68 + 20, 30);  // no run any more: the clicked scene starts the new one
    EXPECT_EQ(Units(), Range(7, 14));
}

TEST_F(StripView, KeysMoveTheRunAndDeleteAsksTheParentToCut) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(100 * kUnit), S_OK);
    const auto key = [&](int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        press.ignore();
        QApplication::sendEvent(&view, &press);
        EXPECT_TRUE(press.isAccepted()) << k;
    };
    key(Qt::Key_Right);
    key(Qt::Key_PageDown);  // nothing here
    EXPECT_EQ(Units(), Range(101, 108));
    EXPECT_EQ(view.GetFirstUnit(), 96);
    // Past the scenes shown (96 to 111) the strip is built anew around the run.
    for (int i = 0; i < 4; ++i) key(Qt::Key_Right);
    EXPECT_EQ(Units(), Range(105, 112));
    EXPECT_EQ(view.GetFirstUnit(), 101);
    key(Qt::Key_Home);
    EXPECT_EQ(Units(), Range(0, 7));
    key(Qt::Key_Left);  // already first
    EXPECT_EQ(Units(), Range(0, 7));
    key(Qt::Key_End);
    EXPECT_EQ(Units(), Range(192, 199));
    key(Qt::Key_Left);
    EXPECT_EQ(Units(), Range(191, 198));
    key(Qt::Key_Delete);
    ASSERT_TRUE(WaitUntil([&] { return f_.parent.Count(WM_CUT_KEY) == 1; }));
    // Nothing selected: Delete still goes to the pane, which decides; the arrows move nothing.
    view.ResetStrip();
    key(Qt::Key_Right);
    key(Qt::Key_Delete);
    EXPECT_TRUE(WaitUntil([&] { return f_.parent.Count(WM_CUT_KEY) == 2; }));
    EXPECT_EQ(view.GetSceneCount(), 0);
}

TEST_F(StripView, WheelScrollsThreeLinesPerNotchAndKeepsTheRest) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(100 * kUnit), S_OK);
    ASSERT_EQ(view.GetScrollOffset().x(), 216);
    const auto wheel = [&](QPoint angle) {
        QWheelEvent event(QPointF(100, 30), QPointF(100, 30), QPoint(), angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    };
    wheel(QPoint(0, -120));  // one notch toward the user: 3 lines of 10 to the right
    EXPECT_EQ(view.GetScrollOffset().x(), 246);
    wheel(QPoint(0, 120));
    EXPECT_EQ(view.GetScrollOffset().x(), 216);
    wheel(QPoint(0, 40));  // a third of a notch: one line, the 40 is kept
    EXPECT_EQ(view.GetScrollOffset().x(), 206);
    wheel(QPoint(0, 80));  // 120 in all: three more lines, nothing kept
    EXPECT_EQ(view.GetScrollOffset().x(), 176);
    wheel(QPoint(-120, 0));  // horizontal wheel tilted right
    EXPECT_EQ(view.GetScrollOffset().x(), 206);
    for (int i = 0; i < 50; ++i) wheel(QPoint(0, -120));
    EXPECT_EQ(view.GetScrollOffset().x(), 1092 - 690);
    // The bar: arrows move a line (10), its page area a page (109), not the client width.
    QScrollBar* bar = view.horizontalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(view.GetScrollOffset().x(), 402 - 109);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(view.GetScrollOffset().x(), 402 - 119);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(view.GetScrollOffset().x(), 402 - 10);
}

// Pixel colours of the painted strip, in client coordinates.
QImage Paint(CThumbnailWnd& view) {
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST_F(StripView, SelectionFramesOnlyOnceTheThumbnailsAreMade) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);  // positions 0..7 selected, offset 0
    ASSERT_TRUE(view.IsBusy());
    QImage busy = Paint(view);
    EXPECT_EQ(busy.pixel(3, 0), qRgb(255, 255, 255));  // no frame while busy
    ASSERT_TRUE(f_.WaitIdle());
    QImage shown = Paint(view);
    const QRgb border = CThumbnailWnd::kSelectionBorder;
    const QRgb fill = CThumbnailWnd::kSelectionFill;
    for (int i : {0, 7}) {
        const int left = 68 * i + 3;
        EXPECT_EQ(shown.pixel(left, 0), border) << i;
        EXPECT_EQ(shown.pixel(left, 63), border) << i;
        EXPECT_EQ(shown.pixel(left + 65, 30), border) << i;
        EXPECT_EQ(shown.pixel(left + 1, 2), fill) << i;  // above the image
        EXPECT_EQ(shown.pixel(left + 1, 8), QColor(view.GetThumbnail(i).pixel(0, 0)).rgb()) << i;
    }
    EXPECT_EQ(shown.pixel(68 * 8 + 3, 0), qRgb(255, 255, 255));    // position 8 is not selected
    EXPECT_EQ(shown.pixel(68 * 7 + 69, 30), qRgb(255, 255, 255));  // gap after the frame
    // Every thumbnail came from the movie: none is left blank white.
    for (int i = 0; i < 16; ++i) {
        const QImage image = view.GetThumbnail(i);
        ASSERT_EQ(image.size(), QSize(64, 48));
        EXPECT_NE(image.pixel(32, 24), qRgb(255, 255, 255)) << i;
    }
    // Scrolled, the content moves left by the offset.
    view.SetScrollOffset(100, 0);
    QImage scrolled = Paint(view);
    EXPECT_EQ(scrolled.pixel(68 * 7 + 3 - 100, 0), border);
    // The picture for the documentation: the run of units 100 to 107 in a strip from 96.
    ASSERT_EQ(view.ShowScenesAt(100 * kUnit), S_OK);
    ASSERT_TRUE(f_.WaitIdle());
    test::SaveScreenshot(&view, QStringLiteral("strip"));
}

TEST_F(StripView, FramesThatCannotBeReadLeaveTheStripBusyAndRefuseInput) {
    ComponentRegistry::Instance().Register(kFrameSourceName,
                                           [](std::unique_ptr<IComponent>&) { return E_FAIL; });
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(100 * kUnit), S_OK);
    WaitUntil([] { return false; }, 300);
    RegisterFrameSourceComponent();
    EXPECT_TRUE(view.IsBusy());
    EXPECT_EQ(view.GetThumbnail(0).pixel(32, 24), qRgb(255, 255, 255));
    Click(68 * 12 + 20, 30);
    EXPECT_EQ(Units(), Range(100, 107));
    EXPECT_EQ(view.CutSelection(), S_FALSE);
    EXPECT_EQ(view.GetDocument().GetUnitCount(), 200u);
    // The next rebuild whose worker completes clears it.
    ASSERT_EQ(view.ShowScenesAt(100 * kUnit), S_OK);
    EXPECT_TRUE(f_.WaitIdle());
}

// A frame source that opens every movie but hands out no frame.
class NoFrames : public IFrameSource {
public:
    HRESULT Open(const QString&, int32_t) override { return S_OK; }
    HRESULT GetFrame(int64_t, int32_t, std::unique_ptr<IFrameData>*) override { return E_FAIL; }
};

TEST_F(StripView, AThumbnailThatCannotBeMadeEmptiesTheStrip) {
    ComponentRegistry::Instance().Register(kFrameSourceName, [](std::unique_ptr<IComponent>& out) {
        out = std::make_unique<NoFrames>();
        return S_OK;
    });
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(100 * kUnit), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 16);
    EXPECT_TRUE(WaitUntil([&] { return view.GetSceneCount() == 0; }));
    RegisterFrameSourceComponent();
    EXPECT_FALSE(view.HasSelection());
}

TEST_F(StripView, AFailureReportOfAnEarlierRunDoesNotEmptyTheStrip) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(50 * kUnit), S_OK);
    ASSERT_EQ(view.ShowScenesAt(60 * kUnit), S_OK);
    view.PostMessage(WM_THUMBNAIL_FAILED, view.CurrentRun() - 1, 0);
    ASSERT_TRUE(f_.WaitIdle());
    QCoreApplication::processEvents();
    EXPECT_EQ(view.GetSceneCount(), 16);
    view.PostMessage(WM_THUMBNAIL_FAILED, view.CurrentRun(), 0);
    EXPECT_TRUE(WaitUntil([&] { return view.GetSceneCount() == 0; }));
}

TEST_F(StripView, SavedNoticeFromAnotherThreadReachesTheParent) {
    std::thread saver([view = f_.view.get()] { view->OnMovieSaved(); });
    saver.join();
    ASSERT_TRUE(WaitUntil([&] { return f_.parent.Count(WM_BRV_CLOSE_REQUEST) == 1; }));
    EXPECT_EQ(f_.parent.received.back().wParam, 0u);
}

// Painting, scrolling and rebuilding while workers write the images; then the view goes away with a
// worker still running. Meant for ThreadSanitizer and AddressSanitizer.
TEST_F(StripView, PaintingWhileTheWorkerWrites) {
    CThumbnailWnd& view = *f_.view;
    for (int round = 0; round < 6; ++round) {
        ASSERT_EQ(view.ShowScenesAt((20 + 30 * round) * kUnit), S_OK);
        for (int i = 0; i < 20 && view.IsBusy(); ++i) {
            view.viewport()->repaint();
            view.SetScrollOffset(i * 20, 0);
            QCoreApplication::processEvents();
        }
    }
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    f_.view->DestroyWindow();
    f_.view.reset();  // a running worker is stopped before the images go
}

}  // namespace
}  // namespace brevio::test
