// Cut, undo and redo through the strip on a real movie: what the document keeps, which scenes come
// back selected, and that the reference movie the preview plays holds exactly the kept units.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <functional>

#include "framesource/CThumbnailMaker.h"

#include "StripTestSupport.h"
#include "module/ModuleHelpers.h"

namespace brevio::test {
namespace {

constexpr int kUnits = 20;
constexpr int kFramesPerUnit = 30;

class StripEdit : public ::testing::Test {
protected:
    static void SetUpTestSuite() { movie_ = UnitMovie(kUnits); }
    void SetUp() override {
        // The reference movie goes to this test's own temporary folder.
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp_.path().toUtf8());
        ASSERT_NO_FATAL_FAILURE(f_.Open(movie_));
    }
    void TearDown() override { qputenv("TMPDIR", oldTmp_); }

    std::vector<unsigned> State() {
        std::vector<unsigned> state;
        EXPECT_EQ(f_.view->GetDocument().ReadEditingState(state), S_OK);
        return state;
    }
    std::vector<int> SelectedUnits() {
        std::vector<int> units;
        f_.view->GetSelectedUnits(units);
        return units;
    }
    // The reference movie holds the frames of the kept units only (ffprobe reads its tables; its
    // media stays in the source, which only our frame source follows), and the strip's thumbnails,
    // made from it, show the first frames of the kept units they stand for.
    void ExpectReferenceHolds(const std::vector<unsigned>& kept) {
        CThumbnailWnd& view = *f_.view;
        // The view reads it through its folder's descriptor; ffprobe, another process, through
        // this process's entry of /proc.
        std::string ref = view.GetReferenceMoviePath().toStdString();
        if (ref.rfind("/proc/self/", 0) == 0)
            ref.replace(0, 11, "/proc/" + std::to_string(::getpid()) + "/");
        EXPECT_EQ(testmovies::ProbeStreamEntry(ref, "v:0", "nb_frames"),
                  std::to_string(kept.size() * kFramesPerUnit));
        ASSERT_TRUE(f_.WaitIdle());
        ASSERT_EQ(view.GetMoviePath(), view.GetReferenceMoviePath());
        CThumbnailMaker source;
        ASSERT_EQ(source.Open(QString::fromStdString(movie_.string())), S_OK);
        ASSERT_GT(view.GetSceneCount(), 0);
        for (int i = 0; i < view.GetSceneCount(); ++i) {
            const unsigned unit = kept.at(size_t(view.GetFirstUnit() + i));
            QImage expected;
            ASSERT_EQ(source.RenderThumbnail(unit * kUnit, &expected), S_OK);
            EXPECT_EQ(view.GetThumbnail(i), expected)
                << "strip position " << i << ", unit " << unit;
        }
    }
    static std::vector<unsigned> Without(unsigned first, unsigned last) {
        std::vector<unsigned> v;
        for (unsigned u = 0; u < kUnits; ++u) {
            if (u < first || u > last) v.push_back(u);
        }
        return v;
    }

    static inline std::filesystem::path movie_;
    TempDir tmp_{QStringLiteral("strip-edit")};
    QByteArray oldTmp_;
    StripFixture f_;
};

TEST_F(StripEdit, CutUndoRedoKeepTheReferenceMovieInStep) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(8 * kUnit), S_OK);  // units 4..19, 8..15 selected
    // Right after a rebuild the thumbnails are being made: nothing is cut.
    EXPECT_EQ(view.CutSelection(), S_FALSE);
    EXPECT_EQ(State().size(), size_t{kUnits});
    ASSERT_TRUE(f_.WaitIdle());
    view.SetSelectionLength(5);
    ASSERT_EQ(SelectedUnits(), (std::vector<int>{8, 9, 10, 11, 12}));
    // The units look different, so a thumbnail of the wrong unit would be seen.
    EXPECT_NE(view.GetThumbnail(8 - 4), view.GetThumbnail(13 - 4));

    ASSERT_EQ(view.CutSelection(), S_OK);
    EXPECT_EQ(State(), Without(8, 12));
    EXPECT_EQ(view.GetMoviePath(), view.GetReferenceMoviePath());
    // Rebuilt at the scene that followed the cut ones (old unit 13, now unit 8).
    EXPECT_EQ(SelectedUnits(), (std::vector<int>{8, 9, 10, 11, 12}));
    EXPECT_TRUE(view.CanUndo());
    ExpectReferenceHolds(Without(8, 12));

    // Undo: the five restored scenes come back selected and the length follows them.
    ASSERT_EQ(view.UndoEdit(), S_OK);
    EXPECT_EQ(State().size(), size_t{kUnits});
    unsigned length = 0;
    view.GetSelectionLength(&length);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(SelectedUnits(), (std::vector<int>{8, 9, 10, 11, 12}));
    EXPECT_TRUE(view.HasSelection());
    ExpectReferenceHolds(Without(kUnits, kUnits));

    // Redo: cut again, the length stays.
    ASSERT_EQ(view.RedoEdit(), S_OK);
    EXPECT_EQ(State(), Without(8, 12));
    view.GetSelectionLength(&length);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(SelectedUnits().front(), 8);
    ExpectReferenceHolds(Without(8, 12));

    // Nothing left to redo: the document's failure, the strip as it was.
    const std::vector<int> before = SelectedUnits();
    EXPECT_TRUE(FAILED(view.RedoEdit()));
    EXPECT_EQ(SelectedUnits(), before);
    EXPECT_EQ(view.GetSceneCount(), 15);
}

TEST_F(StripEdit, UndoAtTheFirstStateLeavesTheStripAsItWas) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(8 * kUnit), S_OK);
    ASSERT_TRUE(f_.WaitIdle());
    EXPECT_TRUE(FAILED(view.UndoEdit()));
    EXPECT_EQ(view.GetSceneCount(), 16);
    EXPECT_FALSE(view.IsBusy());
    EXPECT_EQ(SelectedUnits().front(), 8);
}

// Cut, undo and redo whose reference movie cannot be written (a folder where it should go): the
// message, an empty strip, and the document, the history and the thumbnails' movie as before.
TEST_F(StripEdit, AnEditWhoseReferenceMovieCannotBeWrittenIsUndoneWhole) {
    CThumbnailWnd& view = *f_.view;
    const QString ref = view.GetReferenceMoviePath();
    ASSERT_FALSE(ref.isEmpty());
    const auto selectSix = [&] {
        ASSERT_EQ(view.ShowScenesAt(8 * kUnit), S_OK);
        ASSERT_TRUE(f_.WaitIdle());
        view.SetSelectionLength(6);
    };
    const auto blockReference = [&] {
        QFile::remove(ref);
        ASSERT_TRUE(QDir().mkdir(ref));
    };
    const auto expectRefused = [&](const std::function<HRESULT()>& edit,
                                   const std::vector<unsigned>& state, const QString& movie) {
        auto box = AnswerNextMessageBox(QMessageBox::Ok);
        EXPECT_TRUE(FAILED(edit()));
        ASSERT_TRUE(box->seen);
        // The reason on a second line: the file and the system's words.
        EXPECT_TRUE(box->text.startsWith(LoadString(135) + u'\n')) << box->text.toStdString();
        EXPECT_TRUE(box->text.endsWith(QString::fromLocal8Bit(std::strerror(EISDIR))))
            << box->text.toStdString();
        EXPECT_EQ(box->title, LoadString(128));
        EXPECT_EQ(box->icon, QMessageBox::Warning);
        EXPECT_EQ(view.GetSceneCount(), 0);
        unsigned length = 0;
        view.GetSelectionLength(&length);
        EXPECT_EQ(length, 8u);
        EXPECT_EQ(State(), state);
        EXPECT_EQ(view.GetMoviePath(), movie);
    };
    const QString source = QString::fromStdString(movie_.string());

    ASSERT_NO_FATAL_FAILURE(selectSix());
    ASSERT_NO_FATAL_FAILURE(blockReference());
    expectRefused([&] { return view.CutSelection(); }, Without(kUnits, kUnits), source);
    EXPECT_FALSE(view.IsEdited());
    EXPECT_FALSE(view.CanUndo());

    ASSERT_TRUE(QDir().rmdir(ref));
    ASSERT_NO_FATAL_FAILURE(selectSix());
    ASSERT_EQ(view.CutSelection(), S_OK);
    ASSERT_NO_FATAL_FAILURE(blockReference());
    expectRefused([&] { return view.UndoEdit(); }, Without(8, 13), ref);
    EXPECT_TRUE(view.CanUndo());
    EXPECT_FALSE(view.CanRedo());

    ASSERT_TRUE(QDir().rmdir(ref));
    ASSERT_EQ(view.UndoEdit(), S_OK);
    ASSERT_NO_FATAL_FAILURE(blockReference());
    expectRefused([&] { return view.RedoEdit(); }, Without(kUnits, kUnits), ref);
    EXPECT_TRUE(view.CanRedo());
    EXPECT_FALSE(view.IsEdited());
    QDir().rmdir(ref);
}

// A strip whose run covers every remaining unit (6 units, length 8) cuts nothing.
TEST_F(StripEdit, TheLastUnitsAreNeverCut) {
    StripFixture six;
    ASSERT_NO_FATAL_FAILURE(six.Open(UnitMovie(6)));
    ASSERT_EQ(six.view->ShowScenesAt(0), S_OK);
    ASSERT_TRUE(six.WaitIdle());
    std::vector<int> selected;
    six.view->GetSelectedUnits(selected);
    ASSERT_EQ(selected.size(), 6u);
    EXPECT_EQ(six.view->CutSelection(), S_FALSE);
    EXPECT_EQ(six.view->GetDocument().GetUnitCount(), 6u);
    EXPECT_FALSE(six.view->IsEdited());
    EXPECT_EQ(six.view->GetSceneCount(), 6);
}

TEST_F(StripEdit, ClosingStopsTheWorkerAndEmptiesTheStrip) {
    CThumbnailWnd& view = *f_.view;
    ASSERT_EQ(view.ShowScenesAt(8 * kUnit), S_OK);
    view.CloseDocument();
    EXPECT_EQ(view.GetSceneCount(), 0);
    EXPECT_TRUE(view.GetMoviePath().isEmpty());
    EXPECT_EQ(view.ShowScenesAt(0), S_FALSE);
    EXPECT_EQ(view.OpenDocument(QString()), 7);
}

}  // namespace
}  // namespace brevio::test
