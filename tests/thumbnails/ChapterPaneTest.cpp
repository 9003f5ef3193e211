// The chapter pane on generated chapter movies: the hidden list, the strip kept and followed during
// playback, and Cut scene while more than one chapter remains.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "ChapterTestSupport.h"
#include "interfaces/IBRVUIUpdater.h"
#include "thumbnails/CThumbnailContainerChapter.h"

namespace brevio::chaptertest {
namespace {

using ChapterPane = ChapterStrip;

// The content window's part: refreshes the pane's buttons after each edit.
struct ButtonRefresher : IBRVUIUpdater {
    void RefreshUI() override {
        if (pane != nullptr) pane->UpdateButtons();
    }
    CThumbnailContainer* pane = nullptr;
};

// The chapter pane with its strip, as the main dialog sets it up.
struct Pane {
    explicit Pane(const std::filesystem::path& movie) {
        parent.resize(760, 200);
        pane = new CThumbnailContainerChapter;  // owned by `parent` once created
        pane->SetPreview(&preview);
        preview.sink = pane;
        loadResult = pane->LoadMovie(QString::fromStdString(movie.string()));
        created = pane->Create(&parent, QRect(0, 0, 760, 200));
        updater.pane = pane;
        pane->SetUIUpdater(&updater);
        parent.show();
        view = pane->findChild<CThumbnailWndChapter*>();
    }
    ~Pane() {
        pane->DestroyWindow();
        delete pane;
    }
    int Selected() const {
        std::vector<int> units;
        view->GetSelectedUnits(units);
        return units.size() == 1 ? units[0] : -1;
    }

    RecordingPreview preview;
    ButtonRefresher updater;
    QWidget parent;
    CThumbnailContainerChapter* pane = nullptr;
    CThumbnailWndChapter* view = nullptr;
    int32_t loadResult = -1;
    bool created = false;
};

TEST_F(ChapterPane, KeepsTheStripDuringPlaybackAndCutsWhileTwoChaptersRemain) {
    tm::MovieOptions options = ChapterMovie(16, 15);
    {
        Pane shown(tm::MakeMovieWithBrevio(options));
        ASSERT_EQ(shown.loadResult, 0);
        ASSERT_TRUE(shown.created);
        ASSERT_NE(shown.view, nullptr);
        EXPECT_TRUE(shown.view->IsChapterView());
        EXPECT_TRUE(shown.pane->SelectionList()->isHidden());
        EXPECT_TRUE(shown.pane->SelectionLabel()->text().isEmpty());
        ASSERT_EQ(shown.pane->OnPositionChanged(0), S_OK);
        EXPECT_TRUE(shown.pane->CutButton()->isEnabled());

        // Playing: the strip stays and follows the playing chapter.
        shown.pane->OnPlaybackStarted();
        EXPECT_EQ(shown.view->GetSceneCount(), 16);
        EXPECT_TRUE(shown.pane->CutButton()->isEnabled());
        int64_t start = 0;
        shown.view->GetDocument().GetUnitStartTime(11, &start);
        shown.pane->OnPlayingPosition(start);
        EXPECT_EQ(shown.Selected(), 11);
        ASSERT_TRUE(test::WaitUntil([&] { return !shown.view->IsWorkerActive(); }, 20000));
        shown.pane->OnPlayingPosition(start - 1);
        EXPECT_EQ(shown.Selected(), 10);
        const QString shot = test::SaveScreenshot(&shown.parent, "chapter-pane");
        EXPECT_FALSE(shot.isEmpty());
    }

    options.units = 2;
    Pane two(tm::MakeMovieWithBrevio(options));
    ASSERT_EQ(two.loadResult, 0);
    ASSERT_EQ(two.pane->OnPositionChanged(0), S_OK);
    EXPECT_TRUE(two.pane->CutButton()->isEnabled());
    two.pane->CutButton()->click();
    EXPECT_EQ(two.preview.openedPath, two.view->GetReferenceMoviePath());
    EXPECT_EQ(two.view->GetSceneCount(), 1);
    EXPECT_EQ(two.Selected(), -1) << "a single chapter cannot be selected";
    EXPECT_FALSE(two.pane->CutButton()->isEnabled());
    EXPECT_TRUE(two.pane->UndoButton()->isEnabled());

    two.pane->UndoButton()->click();
    EXPECT_EQ(two.view->GetSceneCount(), 2);
    EXPECT_TRUE(two.pane->CutButton()->isEnabled());
    two.pane->RedoButton()->click();
    EXPECT_EQ(two.view->GetSceneCount(), 1);
    EXPECT_FALSE(two.pane->CutButton()->isEnabled());
}

}  // namespace
}  // namespace brevio::chaptertest
