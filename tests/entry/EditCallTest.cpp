// The editing call end to end: BREditDialog on real movies, the dialog driven as a user drives it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "DialogDriver.h"
#include "TestHarness.h"
#include "brevioedit/BREditDialog.h"
#include "dialog/CBRVDialog.h"
#include "dialog/CInfoMessageWnd.h"
#include "entry/EditCallEnvironment.h"
#include "module/ModuleHelpers.h"
#include "platform/ComponentRegistry.h"
#include "playback/IPlaybackComponent.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailContainer.h"

namespace brevio {
namespace {

using brevioedit::DialogDriver;
using brevioedit::FindEditDialog;
using brevioedit::WaitFor;

constexpr int kTimeoutMs = 60000;
constexpr int kCut = 1002;
constexpr int kUndo = 1003;
constexpr int kRedo = 1004;
constexpr int kSave = 1005;
constexpr int kCancel = 1006;

std::u16string U16(const QString& text) {
    return text.toStdU16String();
}

// What one call got back.
struct Call {
    int32_t result = -1;
    std::array<char16_t, 512> saved{};
    int32_t playerValueOut = -1;
    bool dialogShown = false;

    QString SavedPath() const { return QString::fromUtf16(saved.data()); }
};

// Calls BREditDialog on `movie`; `user` runs inside the dialog's loop once the dialog is shown.
Call RunCall(const QString& movie, const std::function<void(DialogDriver&)>& user,
             uint32_t capacity = 512, int32_t playerValue = 0, const char16_t* caption = nullptr) {
    Call call;
    call.saved.fill(u'#');
    // A timer of this call only: it never fires into a later call when this one shows nothing.
    QTimer starter;
    starter.setSingleShot(true);
    QObject::connect(&starter, &QTimer::timeout, [&] {
        if (!WaitFor([] { return FindEditDialog() != nullptr; }, 2000)) return;
        call.dialogShown = true;
        DialogDriver driver(FindEditDialog());
        if (user) user(driver);
        // A step that failed leaves the dialog open: end it rather than hang the test.
        QTimer::singleShot(kTimeoutMs, [dialog = QPointer<QDialog>(driver.Dialog())] {
            if (dialog && dialog->isVisible()) dialog->done(0);
        });
    });
    starter.start(0);
    const std::u16string path = U16(movie);
    call.result = BREditDialog(path.c_str(), nullptr, call.saved.data(), capacity, playerValue,
                               &call.playerValueOut, 0, caption);
    return call;
}

// Waits for the strip, selects four scenes from `scene` and cuts them.
void SelectFourAndCut(DialogDriver& driver, int scene) {
    ASSERT_TRUE(WaitFor([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
    ASSERT_TRUE(driver.ChooseSelectionLength(4));
    ASSERT_TRUE(driver.ClickScene(scene));
    ASSERT_TRUE(driver.CutSelection(kTimeoutMs));
}

class EditCallTest : public ::testing::Test {
protected:
    static QString Movie(int units, bool chapters = false) {
        testmovies::MovieOptions options;
        options.units = units;
        options.chapters = chapters;
        return QString::fromStdString(testmovies::MakeMovie(options).string());
    }
    test::TempDir dir_{QStringLiteral("entry")};
};

TEST_F(EditCallTest, RefusedCallsShowNoWindow) {
    const QString movie = Movie(6);
    const std::u16string path = U16(movie);
    std::array<char16_t, 64> saved{};
    int32_t playerValue = -1;
    EXPECT_EQ(BREditDialog(nullptr, nullptr, saved.data(), 64, 0, &playerValue, 0, nullptr), 2);
    EXPECT_EQ(BREditDialog(path.c_str(), nullptr, nullptr, 64, 0, &playerValue, 0, nullptr), 2);
    EXPECT_EQ(playerValue, -1);

    const Call missing = RunCall(dir_.file(QStringLiteral("missing.mov")), nullptr);
    EXPECT_EQ(missing.result, 5);
    EXPECT_FALSE(missing.dialogShown);
    EXPECT_EQ(missing.playerValueOut, 0);  // a failed open hands back the initial value

    RegisterEditCallComponents();
    ComponentRegistry::Instance().Unregister(kPlaybackComponentName);
    const Call noComponent = RunCall(movie, nullptr);
    RegisterPlaybackComponent();
    EXPECT_EQ(noComponent.result, 6);
    EXPECT_FALSE(noComponent.dialogShown);
    EXPECT_EQ(noComponent.playerValueOut, -1);
}

TEST_F(EditCallTest, PauseSelectCutUndoRedoSaveReturnsTheSavedMovie) {
    const QString movie = Movie(12);
    const QString destination = dir_.file(QStringLiteral("edited.mov"));
    int ffmpegLevel = 0;
    QString saveLabel;
    const Call call = RunCall(
        movie,
        [&](DialogDriver& driver) {
            ffmpegLevel = av_log_get_level();
            ASSERT_TRUE(WaitFor([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
            ASSERT_TRUE(driver.ClickPlayPause());
            brevioedit::Pause(1500);
            ASSERT_TRUE(driver.ClickPlayPause());
            SelectFourAndCut(driver, 5);
            ASSERT_TRUE(driver.ClickButton(kUndo));
            ASSERT_TRUE(WaitFor([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
            ASSERT_TRUE(driver.ClickButton(kRedo));
            ASSERT_TRUE(WaitFor([&] { return !driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
            auto answered = DialogDriver::AnswerSaveAs(destination, kTimeoutMs);
            saveLabel = QCoreApplication::translate("QFileDialog", "&Save");
            ASSERT_TRUE(driver.ClickButton(kSave));
            EXPECT_TRUE(*answered);
        },
        512, 6000);
    EXPECT_EQ(ffmpegLevel, AV_LOG_QUIET);
    EXPECT_NE(av_log_get_level(), AV_LOG_QUIET);
    // The toolkit's own texts speak the dialog's language during the call, and the host's after.
    EXPECT_EQ(saveLabel, QStringLiteral("保存(&S)"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save"), QStringLiteral("&Save"));
    ASSERT_EQ(call.result, 0);
    EXPECT_EQ(QFileInfo(call.SavedPath()).canonicalFilePath(),
              QFileInfo(destination).canonicalFilePath());
    EXPECT_EQ(call.playerValueOut, 6000);
    const std::filesystem::path saved = destination.toStdString();
    EXPECT_EQ(testmovies::FfprobeErrors(saved), "");
    EXPECT_EQ(testmovies::ProbeStreamEntry(saved, "v:0", "nb_frames"), std::to_string(8 * 120));
}

TEST_F(EditCallTest, CancelWithEditsAsksAndCancelKeepsTheDialog) {
    const QString movie = Movie(16);  // two cuts of four leave a strip that still selects
    std::shared_ptr<QString> firstAnswer;
    std::shared_ptr<QString> secondAnswer;
    QString title;
    bool openAfterEsc = false;
    bool openAfterDecline = false;
    bool enterUndidOnce = false;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        title = driver.Dialog()->windowTitle();
        driver.PressKey(Qt::Key_Escape);
        brevioedit::Pause(100);
        openAfterEsc = driver.Dialog()->isVisible();

        SelectFourAndCut(driver, 2);
        // The second cut from the keyboard: the strip takes the focus with the click and its
        // Delete key cuts.
        driver.Dialog()->activateWindow();
        ASSERT_TRUE(WaitFor([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        ASSERT_TRUE(driver.ClickScene(2));
        ASSERT_TRUE(WaitFor([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        driver.PressKey(Qt::Key_Delete);
        brevioedit::Pause(300);  // the strip posts the cut to the pane
        // Enter on the focused Undo button undoes exactly one of the two cuts.
        ASSERT_TRUE(WaitFor([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        driver.Button(kUndo)->setFocus();
        driver.PressKey(Qt::Key_Return, driver.Button(kUndo));
        WaitFor([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs);
        brevioedit::Pause(200);
        enterUndidOnce = driver.Button(kUndo)->isEnabled() && driver.Button(kRedo)->isEnabled();

        firstAnswer = DialogDriver::AnswerMessageBox(false, kTimeoutMs);
        ASSERT_TRUE(driver.ClickButton(kCancel));
        ASSERT_TRUE(WaitFor([&] { return !firstAnswer->isEmpty(); }, kTimeoutMs));
        brevioedit::Pause(100);
        openAfterDecline = driver.Dialog()->isVisible();
        // The close box is Cancel too; this time the loss is confirmed.
        secondAnswer = DialogDriver::AnswerMessageBox(true, kTimeoutMs);
        driver.Dialog()->close();
    });
    EXPECT_EQ(title, LoadString(128));  // no caption given
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(enterUndidOnce);
    EXPECT_TRUE(openAfterDecline);
    ASSERT_TRUE(firstAnswer && secondAnswer);
    EXPECT_EQ(*firstAnswer, LoadString(153));
    EXPECT_EQ(*secondAnswer, LoadString(153));
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(call.SavedPath().left(3), QStringLiteral("###"));  // nothing written
}

TEST_F(EditCallTest, SourceChangedOnDiskEndsWithFailure) {
    const QString movie = dir_.file(QStringLiteral("touched.mov"));
    testmovies::CopyMovie(Movie(8).toStdString(), movie.toStdString());
    std::shared_ptr<QString> notice;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        ASSERT_TRUE(WaitFor([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        // Another program rewrites the movie while it is being edited.
        struct stat info {};
        ASSERT_EQ(::stat(movie.toLocal8Bit().constData(), &info), 0);
        const struct timespec times[2] = {{info.st_atime + 10, 0}, {info.st_mtime + 10, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, movie.toLocal8Bit().constData(), times, 0), 0);
        notice = DialogDriver::AnswerMessageBox(true, kTimeoutMs);
        EXPECT_TRUE(driver.ClickButton(kCancel));
    });
    EXPECT_EQ(call.result, 7);
    ASSERT_TRUE(notice);
    EXPECT_EQ(*notice, LoadString(155));
}

TEST_F(EditCallTest, SavedPathMustFitWithItsTerminator) {
    const QString movie = Movie(12);
    // Two destinations of the same length: the first call's capacity equals it.
    const QString first = dir_.file(QStringLiteral("cutA.mov"));
    const QString second = dir_.file(QStringLiteral("cutB.mov"));
    const auto saveTo = [&](const QString& destination) {
        return [destination](DialogDriver& driver) {
            SelectFourAndCut(driver, 1);
            auto answered = DialogDriver::AnswerSaveAs(destination, kTimeoutMs);
            ASSERT_TRUE(driver.ClickButton(kSave));
        };
    };
    const auto length = static_cast<uint32_t>(first.size());
    const Call tight = RunCall(movie, saveTo(first), length, 100);
    EXPECT_EQ(tight.result, 2);
    EXPECT_TRUE(QFileInfo::exists(first));  // the saved movie stays
    EXPECT_EQ(tight.saved[0], u'#');
    EXPECT_EQ(tight.playerValueOut, -1);

    const Call fits = RunCall(movie, saveTo(second), length + 1, 100);
    EXPECT_EQ(fits.result, 0);
    EXPECT_EQ(fits.SavedPath(), second);
    EXPECT_EQ(fits.saved[length], u'\0');
    EXPECT_EQ(fits.playerValueOut, 100);
}

TEST_F(EditCallTest, ChapterMovieGetsTheChapterPanes) {
    const QString movie = Movie(5, true);
    QByteArray panel;
    QByteArray pane;
    const std::u16string caption = u"Photos";
    QString title;
    const Call call = RunCall(
        movie,
        [&](DialogDriver& driver) {
            title = driver.Dialog()->windowTitle();
            if (auto* w =
                    brevioedit::FindByClass(driver.Dialog(), "brevio::CInfoMessageWndChapter")) {
                panel = w->metaObject()->className();
            }
            if (auto* w = brevioedit::FindByClass(driver.Dialog(),
                                                  "brevio::CThumbnailContainerChapter")) {
                pane = w->metaObject()->className();
            }
            ASSERT_TRUE(driver.ClickButton(kCancel));
        },
        512, 0, caption.c_str());
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(title, QStringLiteral("Photos"));
    EXPECT_EQ(panel, QByteArray("brevio::CInfoMessageWndChapter"));
    EXPECT_EQ(pane, QByteArray("brevio::CThumbnailContainerChapter"));
}

TEST_F(EditCallTest, EndRequestAcceptedWhileAskingKeepsItsCode) {
    const QString movie = Movie(12);
    bool questionClosed = false;
    QTimer watch;
    QPointer<QWidget> question;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        SelectFourAndCut(driver, 3);
        auto* dialog = dynamic_cast<CBRVDialog*>(driver.Dialog());
        ASSERT_NE(dialog, nullptr);
        // While the unsaved-edits question is open, a pane ends the dialog with 7 (as after a
        // change of the movie file); the question then no longer decides anything.
        QObject::connect(&watch, &QTimer::timeout, [&, dialog] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (question.isNull() && box != nullptr) {
                question = box;
                dialog->PostMessage(WM_BRV_CLOSE_REQUEST, 7, 0);
                QTimer::singleShot(1000, Qt::PreciseTimer, &watch, [&] {
                    questionClosed = question.isNull() || !question->isVisible();
                    if (!questionClosed) question->close();
                });
            }
        });
        watch.start(20);
        ASSERT_TRUE(driver.ClickButton(kCancel));
    });
    watch.stop();
    brevioedit::Pause(2500);  // the check one second after the question appeared
    EXPECT_TRUE(questionClosed);
    EXPECT_EQ(call.result, 7);
}

TEST_F(EditCallTest, DialogIsSizedFromThePlayerAndLaidOut) {
    const QString movie = Movie(6);
    CBRVDialog unopened;
    int32_t value = 0;
    ASSERT_EQ(unopened.Open(movie), 0);
    EXPECT_EQ(unopened.Content().GetPlayerValue(&value), S_OK);
    EXPECT_EQ(value, 10000);  // no preview window: the rule's value
    int32_t width = 0;
    EXPECT_EQ(unopened.Content().GetIdealSize(&width, nullptr), E_POINTER);
    EXPECT_EQ(unopened.Content().GetIdealSize(nullptr, &width), E_POINTER);

    QSize outer;
    QSize client;
    QRect preview;
    QRect panel;
    QRect pane;
    int32_t idealHeight = 0;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        auto* dialog = dynamic_cast<CBRVDialog*>(driver.Dialog());
        ASSERT_NE(dialog, nullptr);
        int32_t w = 0;
        ASSERT_EQ(dialog->Content().GetIdealSize(&w, &idealHeight), S_OK);
        EXPECT_EQ(w, 730);
        outer = dialog->frameGeometry().size();
        client = dialog->Content().size();
        preview = dialog->Content().Preview().geometry();
        panel = dialog->Content().InfoPanel()->geometry();
        pane = dialog->Content().ThumbnailPane()->geometry();
        driver.ClickButton(kCancel);
    });
    EXPECT_EQ(call.result, 1);
    const int h = idealHeight - 503;
    EXPECT_GT(h, 0);
    EXPECT_EQ(outer, QSize(730, h + 503));
    EXPECT_EQ(preview, QRect(11, 13, 328, h + 248));
    // The content window fills the client area, inside the frame.
    const int w = client.width();
    EXPECT_LE(w, 730);
    EXPECT_EQ(panel, QRect(359, 13, w - 359, h + 238));
    EXPECT_EQ(pane, QRect((w - 698) / 2, h + 251, 698, client.height() - h - 251));
}

}  // namespace
}  // namespace brevio
