// The chapter strip on generated chapter movies: its real document, worker and frame source, driven
// with the mouse and by playback reports as the preview pane would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <thread>

#include "TestHarness.h"
#include "framesource/CFrameSource.h"
#include "preview/IBRVPreviewContainer.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailWndChapter.h"

namespace brevio {
namespace {

namespace tm = testmovies;

// The preview pane as the strip sees it: records what it was asked.
class RecordingPreview : public IBRVPreviewContainer {
public:
    HRESULT OpenMovie(const QString& path) override {
        openedPath = path;
        return S_OK;
    }
    HRESULT ControlPlayback(int32_t code) override {
        playback.push_back(code);
        return S_OK;
    }
    HRESULT SetPosition(int64_t ticks, bool notify) override {
        positions.push_back(ticks);
        notified = notify;
        return S_OK;
    }
    void CloseMovie() override {}

    QString openedPath;
    std::vector<int32_t> playback;
    std::vector<int64_t> positions;
    bool notified = false;
};

// The real frame source, taking at least `delayMs` per frame, so that a test can act while the
// worker is still early in a long movie.
class PacedFrameSource : public IFrameSource {
public:
    explicit PacedFrameSource(int delayMs) : delay_(delayMs) {}
    HRESULT Open(const QString& path, int32_t kind) override { return real_.Open(path, kind); }
    HRESULT GetFrame(int64_t position, int32_t flags, std::unique_ptr<IFrameData>* frame) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
        return real_.GetFrame(position, flags, frame);
    }

private:
    CFrameSource real_;
    int delay_;
};

void UseFrameSource(int delayMs) {
    ComponentRegistry::Instance().Register(
        kFrameSourceName, [delayMs](std::unique_ptr<IComponent>& out) -> HRESULT {
            if (delayMs > 0) {
                out = std::make_unique<PacedFrameSource>(delayMs);
            } else {
                out = std::make_unique<CFrameSource>();
            }
            return S_OK;
        });
}

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& at) {
    const QPointF local(at);
    const QPointF global(target->mapToGlobal(at));
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, local, global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// What the system delivers for a click and for a double-click.
void Click(QWidget* target, const QPoint& at) {
    SendMouse(target, QEvent::MouseButtonPress, at);
    SendMouse(target, QEvent::MouseButtonRelease, at);
}
void DoubleClick(QWidget* target, const QPoint& at) {
    Click(target, at);
    SendMouse(target, QEvent::MouseButtonDblClick, at);
    SendMouse(target, QEvent::MouseButtonRelease, at);
}

bool IsWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return false;
        }
    }
    return true;
}

// The strip in a parent of the pane's size, as the pane lays it out.
struct Strip {
    explicit Strip(const std::filesystem::path& movie, IBRVPreviewContainer* preview = nullptr)
        : path(QString::fromStdString(movie.string())) {
        parent.resize(700, 140);
        view = new CThumbnailWndChapter;  // owned by `parent` once created
        view->SetPreview(preview);
        openResult = view->OpenDocument(path);
        created = view->Create(
            &parent, QRect(4, 36, 690, 64 + view->horizontalScrollBar()->sizeHint().height()));
        parent.show();
    }
    ~Strip() {
        view->DestroyWindow();
        delete view;
    }
    int64_t Start(int p) const {
        int64_t t = -1;
        view->GetDocument().GetUnitStartTime(static_cast<unsigned>(p), &t);
        return t;
    }
    bool WaitForWorker(int timeoutMs = 20000) const {
        return test::WaitUntil([this] { return !view->IsWorkerActive(); }, timeoutMs);
    }
    // A client point on strip position p's image.
    QPoint PointOn(int p) const {
        return QPoint(68 * p + 4 + 20 - view->GetScrollOffset().x(), 30);
    }
    int Selected() const {
        std::vector<int> units;
        view->GetSelectedUnits(units);
        return units.size() == 1 ? units[0] : -1;
    }

    QString path;
    QWidget parent;
    CThumbnailWndChapter* view = nullptr;
    int32_t openResult = -1;
    bool created = false;
};

class ChapterStrip : public ::testing::Test {
protected:
    void SetUp() override { UseFrameSource(0); }
    void TearDown() override { UseFrameSource(0); }
};

TEST_F(ChapterStrip, MakesEveryThumbnailOnceClickSeeksDoubleClickPlaysAndFollowsPlayback) {
    tm::MovieOptions options;
    options.units = 16;  // wider than the strip window
    options.framesPerUnit = 15;
    options.chapters = true;
    options.audio = tm::Audio::None;
    RecordingPreview preview;
    Strip strip(tm::MakeMovieWithBrevio(options), &preview);
    ASSERT_EQ(strip.openResult, 0);
    ASSERT_TRUE(strip.created);
    CThumbnailWndChapter& view = *strip.view;

    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    ASSERT_TRUE(strip.WaitForWorker());
    EXPECT_EQ(view.GetThumbnailsRendered(), 16);
    for (int u = 0; u < 16; ++u) EXPECT_FALSE(IsWhite(view.GetThumbnail(u))) << "chapter " << u;
    EXPECT_EQ(strip.Selected(), 0);

    // Playback reports: exactly at a chapter's start selects it, one tick before the one before.
    view.SelectSceneAt(strip.Start(3));
    EXPECT_EQ(strip.Selected(), 3);
    view.SelectSceneAt(strip.Start(3) - 1);
    EXPECT_EQ(strip.Selected(), 2);
    view.SelectSceneAt(strip.Start(15) + 5);
    EXPECT_EQ(strip.Selected(), 15);
    EXPECT_GT(view.GetScrollOffset().x(), 0) << "the playing chapter is scrolled into view";

    // A click pauses the preview at the chapter's start without telling the pane.
    view.SetScrollOffset(0, 0);
    Click(view.viewport(), strip.PointOn(4));
    ASSERT_EQ(preview.positions.size(), 1u);
    EXPECT_EQ(preview.positions.back(), strip.Start(4));
    EXPECT_FALSE(preview.notified);
    EXPECT_TRUE(preview.playback.empty());
    EXPECT_EQ(strip.Selected(), 4);
    int64_t selectionStart = 0;
    EXPECT_EQ(view.GetSelectionStart(&selectionStart), S_OK);
    EXPECT_EQ(selectionStart, strip.Start(4));

    // A click above the images does nothing; a double-click also plays.
    Click(view.viewport(), QPoint(30, 4));
    EXPECT_EQ(preview.positions.size(), 1u);
    DoubleClick(view.viewport(), strip.PointOn(6));
    EXPECT_EQ(preview.positions.back(), strip.Start(6));
    EXPECT_EQ(preview.playback, std::vector<int32_t>{2});
    EXPECT_EQ(strip.Selected(), 6);

    // Without a preview the mouse still selects.
    view.SetPreview(nullptr);
    DoubleClick(view.viewport(), strip.PointOn(1));
    EXPECT_EQ(strip.Selected(), 1);
    EXPECT_EQ(view.GetThumbnailsRendered(), 16);

    const QString shot = test::SaveScreenshot(&strip.parent, "chapter-strip");
    EXPECT_FALSE(shot.isEmpty());
}

TEST_F(ChapterStrip, CutUndoRedoRemakeNothingAndSelectTheFollowingChapter) {
    tm::MovieOptions options;
    options.units = 10;
    options.framesPerUnit = 30;
    options.chapters = true;
    options.audio = tm::Audio::None;
    Strip strip(tm::MakeMovieWithBrevio(options));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    ASSERT_TRUE(strip.WaitForWorker());

    ASSERT_TRUE(view.SelectScene(4, false));  // chapter 5
    ASSERT_EQ(view.CutSelection(), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 9);
    EXPECT_EQ(strip.Selected(), 4);
    EXPECT_TRUE(view.IsSceneSelected(5)) << "the chapter that was 6 is selected";
    EXPECT_EQ(view.GetMoviePath(), strip.path) << "thumbnails keep coming from the source movie";

    ASSERT_EQ(view.UndoEdit(), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 10);
    EXPECT_TRUE(view.IsSceneSelected(4)) << "the restored chapter is selected";
    ASSERT_EQ(view.RedoEdit(), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 9);
    EXPECT_TRUE(view.IsSceneSelected(5));

    ASSERT_TRUE(strip.WaitForWorker());
    EXPECT_EQ(view.GetThumbnailsRendered(), 10) << "edits never remake a thumbnail";
    for (int u = 0; u < 10; ++u) EXPECT_FALSE(IsWhite(view.GetThumbnail(u))) << "chapter " << u;
}

tm::MovieOptions ManyChapters(int count) {
    tm::MovieOptions options;
    options.units = count;
    options.framesPerUnit = 1;
    options.chapters = true;
    options.audio = tm::Audio::None;
    return options;
}

TEST_F(ChapterStrip, ThumbnailsInViewComeFirstAlsoAfterACut) {
    UseFrameSource(10);  // 300 chapters take seconds: the view asks long before the scan is there
    Strip strip(tm::MakeMovie(ManyChapters(300)));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);

    // After a cut, strip position 150 shows unit 151.
    ASSERT_TRUE(view.SelectScene(10, false));
    ASSERT_EQ(view.CutSelection(), S_OK);
    view.SetScrollOffset(68 * 151 + 1, 0);  // strip position 151 at the left edge
    QElapsedTimer asked;
    asked.start();
    ASSERT_TRUE(test::WaitUntil([&] { return view.GetPriorityStart() == 151; }, 2000))
        << "priority " << view.GetPriorityStart();
    const qint64 requestMs = asked.elapsed();
    EXPECT_LT(requestMs, 1000) << "the priority timer samples every 200 ms";

    ASSERT_TRUE(test::WaitUntil([&] { return view.IsThumbnailMade(151); }, 5000));
    EXPECT_FALSE(view.IsThumbnailMade(100)) << "the worker jumped ahead instead of scanning there";
    std::printf("priority reached in %lld ms; chapter 151 made after %d thumbnails\n",
                static_cast<long long>(requestMs), view.GetThumbnailsRendered());

    ASSERT_TRUE(strip.WaitForWorker(60000));
    EXPECT_EQ(view.GetThumbnailsRendered(), 300) << "every chapter made once, the cut included";
}

TEST_F(ChapterStrip, StoppingTheWorkerWhilePaintingNeverWaits) {
    UseFrameSource(1);
    Strip strip(tm::MakeMovie(ManyChapters(300)));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(view.ShowScenesAt(0), S_OK);
        view.viewport()->repaint();
        view.ResetStrip();  // stops and joins the worker
        EXPECT_FALSE(view.IsWorkerActive());
    }
}

TEST_F(ChapterStrip, AThousandChaptersPaint) {
    Strip strip(tm::MakeMovie(ManyChapters(1000)));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    view.SetScrollOffset(68 * 1000, 0);  // clamped to the end
    ASSERT_EQ(view.GetScrollOffset().x(), 68 * 1000 + 4 - view.ClientRect().width());
    ASSERT_TRUE(test::WaitUntil([&] { return view.IsThumbnailMade(999); }, 20000));

    const QImage shot = view.viewport()->grab().toImage();
    const QImage last = view.GetThumbnail(999);
    const QPoint center(68 * 999 + 4 + 32 - view.GetScrollOffset().x(), 8 + 24);
    EXPECT_FALSE(IsWhite(last));
    EXPECT_EQ(shot.pixel(center) & 0xFFFFFF, last.pixel(32, 24) & 0xFFFFFF);
    ASSERT_TRUE(strip.WaitForWorker(60000));
}

}  // namespace
}  // namespace brevio
