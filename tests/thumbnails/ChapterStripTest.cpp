// The chapter strip on generated chapter movies: its real document, worker and frame source, driven
// with the mouse and by playback reports as the preview pane would.
#include <QElapsedTimer>
#include <cstdio>

#include "ChapterTestSupport.h"

namespace brevio::chaptertest {
namespace {

TEST_F(ChapterStrip, MakesEveryThumbnailOnceClickSeeksDoubleClickPlaysAndFollowsPlayback) {
    const tm::MovieOptions options = ChapterMovie(16, 15);
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

    // The keys do as a click: the chapter before or after, the first and the last.
    view.MoveRun(RunMove::Back);
    EXPECT_EQ(strip.Selected(), 5);
    EXPECT_EQ(preview.positions.back(), strip.Start(5));
    view.MoveRun(RunMove::Last);
    EXPECT_EQ(strip.Selected(), 15);
    EXPECT_FALSE(view.MoveRun(RunMove::Forward));
    view.MoveRun(RunMove::First);
    EXPECT_EQ(preview.positions.back(), strip.Start(0));
    EXPECT_EQ(preview.playback, std::vector<int32_t>{2});

    // Without a preview the mouse still selects.
    view.SetPreview(nullptr);
    DoubleClick(view.viewport(), strip.PointOn(1));
    EXPECT_EQ(strip.Selected(), 1);
    EXPECT_EQ(view.GetThumbnailsRendered(), 16);

    const QString shot = test::SaveScreenshot(&strip.parent, "chapter-strip");
    EXPECT_FALSE(shot.isEmpty());
}

// The window destroyed and made again (a dialog run twice): the strip's images are made anew.
TEST_F(ChapterStrip, AWindowMadeAnewShowsItsThumbnailsAgain) {
    Strip strip(tm::MakeMovieWithBrevio(ChapterMovie(4, 15)));
    ASSERT_TRUE(strip.created);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    ASSERT_TRUE(strip.WaitForWorker());
    view.DestroyWindow();
    ASSERT_TRUE(view.Create(&strip.parent, QRect(4, 36, 690, 80)));
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    ASSERT_TRUE(strip.WaitForWorker());
    for (int u = 0; u < 4; ++u) EXPECT_FALSE(IsWhite(view.GetThumbnail(u))) << "chapter " << u;
}

TEST_F(ChapterStrip, CutUndoRedoRemakeNothingAndSelectTheFollowingChapter) {
    UseFrameSource(20);  // the edits happen while the worker is still making thumbnails
    const tm::MovieOptions options = ChapterMovie(10, 30);
    Strip strip(tm::MakeMovieWithBrevio(options));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    EXPECT_TRUE(view.IsWorkerActive());

    ASSERT_TRUE(view.SelectScene(4, false));  // chapter 5
    ASSERT_EQ(view.CutSelection(), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 9);
    EXPECT_EQ(strip.Selected(), 4);
    EXPECT_TRUE(view.IsSceneSelected(5)) << "the chapter that was 6 is selected";
    EXPECT_EQ(view.GetMoviePath(), strip.path) << "thumbnails keep coming from the source movie";

    view.viewport()->repaint();
    ASSERT_EQ(view.UndoEdit(), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 10);
    EXPECT_TRUE(view.IsSceneSelected(4)) << "the restored chapter is selected";
    view.viewport()->repaint();
    ASSERT_EQ(view.RedoEdit(), S_OK);
    EXPECT_EQ(view.GetSceneCount(), 9);
    EXPECT_TRUE(view.IsSceneSelected(5));
    view.viewport()->repaint();

    ASSERT_TRUE(strip.WaitForWorker());
    EXPECT_EQ(view.GetThumbnailsRendered(), 10) << "edits never remake a thumbnail";
    for (int u = 0; u < 10; ++u) EXPECT_FALSE(IsWhite(view.GetThumbnail(u))) << "chapter " << u;
}

TEST_F(ChapterStrip, ThumbnailsInViewComeFirstAlsoAfterACut) {
    UseFrameSource(10);  // 300 chapters take seconds: the view asks long before the scan is there
    Strip strip(tm::MakeMovie(ChapterMovie(300, 1)));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);

    // After a cut, strip position 150 shows unit 151.
    ASSERT_TRUE(view.SelectScene(10, false));
    ASSERT_EQ(view.CutSelection(), S_OK);
    view.SetScrollOffset(68 * 151 + 1, 0);  // strip position 151 at the left edge
    QElapsedTimer asked;
    asked.start();
    // The priority timer samples every 200 ms; how soon is printed, not limited (a loaded machine
    // may be slow).
    ASSERT_TRUE(test::WaitUntil([&] { return view.GetPriorityStart() == 151; }, 5000))
        << "priority " << view.GetPriorityStart();
    const qint64 requestMs = asked.elapsed();

    ASSERT_TRUE(test::WaitUntil([&] { return view.IsThumbnailMade(151); }, 5000));
    EXPECT_FALSE(view.IsThumbnailMade(100)) << "the worker jumped ahead instead of scanning there";
    std::printf("priority reached in %lld ms; chapter 151 made after %d thumbnails\n",
                static_cast<long long>(requestMs), view.GetThumbnailsRendered());

    ASSERT_TRUE(strip.WaitForWorker(60000));
    EXPECT_EQ(view.GetThumbnailsRendered(), 300) << "every chapter made once, the cut included";
}

TEST_F(ChapterStrip, StoppingTheWorkerWhilePaintingNeverWaits) {
    UseFrameSource(1);
    Strip strip(tm::MakeMovie(ChapterMovie(300, 1)));
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
    Strip strip(tm::MakeMovie(ChapterMovie(1000, 1)));
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

TEST_F(ChapterStrip, AFailedThumbnailEmptiesTheStripUntilTheNextPosition) {
    const tm::MovieOptions options = ChapterMovie(10, 30);
    UseFrameSource(-1);
    Strip strip(tm::MakeMovieWithBrevio(options));
    ASSERT_EQ(strip.openResult, 0);
    CThumbnailWndChapter& view = *strip.view;
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    EXPECT_FALSE(view.GetThumbnail(0).isNull());
    ASSERT_TRUE(test::WaitUntil([&] { return view.GetThumbnail(0).isNull(); }, 5000))
        << "the failure report empties the strip";
    EXPECT_EQ(strip.Selected(), -1);

    UseFrameSource(0);
    ASSERT_EQ(view.ShowScenesAt(0), S_OK);
    ASSERT_TRUE(strip.WaitForWorker());
    for (int u = 0; u < 10; ++u) EXPECT_FALSE(IsWhite(view.GetThumbnail(u))) << "chapter " << u;
}

}  // namespace
}  // namespace brevio::chaptertest
