// The editing call end to end: BREditDialog on real movies, the dialog driven as a user drives it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
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
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "entry/EditCallEnvironment.h"
#include "module/ModuleHelpers.h"
#include "platform/ComponentRegistry.h"
#include "playback/IPlaybackComponent.h"
#include "player/SeekBar.h"
#include "save/CSaveProgressDlg.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailContainer.h"
#include "thumbnails/CThumbnailWnd.h"

namespace brevio {
namespace {

using driver::AnswerNextMessageBox;
using driver::AnswerSaveAs;
using driver::DialogDriver;
using driver::FindEditDialog;
using driver::WaitUntil;

constexpr int kTimeoutMs = 60000;
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
             uint32_t capacity = 512, int32_t playerValue = 0, const char16_t* caption = nullptr,
             void* owner = nullptr) {
    Call call;
    call.saved.fill(u'#');
    // A timer of this call only: it never fires into a later call when this one shows nothing.
    QTimer starter;
    starter.setSingleShot(true);
    QObject::connect(&starter, &QTimer::timeout, [&] {
        if (!WaitUntil([] { return FindEditDialog() != nullptr; }, 2000)) return;
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
    call.result = BREditDialog(path.c_str(), owner, call.saved.data(), capacity, playerValue,
                               &call.playerValueOut, 0, caption);
    return call;
}

// Waits for the strip, selects four scenes from `scene` and cuts them.
void SelectFourAndCut(DialogDriver& driver, int scene) {
    ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
    ASSERT_TRUE(driver.ChooseSelectionLength(4));
    ASSERT_TRUE(driver.ClickScene(scene));
    ASSERT_TRUE(driver.CutSelection(kTimeoutMs));
}

// The strip's view inside the running dialog.
CThumbnailWnd* View(DialogDriver& driver) {
    auto* dialog = dynamic_cast<CBRVDialog*>(driver.Dialog());
    if (dialog == nullptr || dialog->Content().ThumbnailPane() == nullptr) return nullptr;
    return dialog->Content().ThumbnailPane()->findChild<CThumbnailWnd*>();
}

// A key as the keyboard gives it to the widget with the focus, shortcuts included.
void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr) target = QApplication::activeWindow();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

// The accessible interfaces under `iface`, depth first.
void CollectAccessible(QAccessibleInterface* iface, std::vector<QAccessibleInterface*>& out) {
    if (iface == nullptr || !iface->isValid()) return;
    out.push_back(iface);
    for (int i = 0; i < iface->childCount(); ++i) CollectAccessible(iface->child(i), out);
}

// TMPDIR on a folder that takes no reference movie: a small file system filled up where this
// process may mount one, else a folder whose "BrevioEdit" is a file.
class FullTempFolder {
public:
    explicit FullTempFolder(const QString& root) : path_(root + QStringLiteral("/full")) {
        QDir().mkpath(path_);
        const QByteArray native = QFile::encodeName(path_);
        mounted_ = ::mount("brevio-full", native.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                           "size=64k") == 0;
        if (mounted_) {
            const int fd = ::open((native + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
            const std::array<char, 4096> block{};
            while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
            }
            if (fd >= 0) ::close(fd);
        } else {
            QFile blocker(path_ + QStringLiteral("/BrevioEdit"));
            blocker.open(QIODevice::WriteOnly);
        }
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", native);
    }
    ~FullTempFolder() {
        qputenv("TMPDIR", oldTmp_);
        if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    FullTempFolder(const FullTempFolder&) = delete;
    FullTempFolder& operator=(const FullTempFolder&) = delete;

private:
    QString path_;
    bool mounted_ = false;
    QByteArray oldTmp_;
};

// Files of this process may grow no larger than `bytes` while it lives (SIGXFSZ ignored), as on
// a disk that is full.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

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
    const Call empty = RunCall(QStringLiteral(""), nullptr);  // an empty path is not a null one
    EXPECT_EQ(empty.result, 5);
    EXPECT_FALSE(empty.dialogShown);
    EXPECT_EQ(empty.playerValueOut, 0);

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
            ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
            ASSERT_TRUE(driver.ClickPlayPause());
            driver::Pause(1500);
            ASSERT_TRUE(driver.ClickPlayPause());
            SelectFourAndCut(driver, 5);
            ASSERT_TRUE(driver.ClickButton(kUndo));
            ASSERT_TRUE(WaitUntil([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
            ASSERT_TRUE(driver.ClickButton(kRedo));
            ASSERT_TRUE(WaitUntil([&] { return !driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
            auto answered = AnswerSaveAs(destination, kTimeoutMs);
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

TEST_F(EditCallTest, KeyboardOnlyChoosesCutsUndoesRedoesAndSaves) {
    testmovies::MovieOptions options;
    options.units = 20;
    options.framesPerUnit = 30;
    const std::filesystem::path source = testmovies::MakeMovie(options);
    const QString destination = dir_.file(QStringLiteral("keys.mov"));
    QStringList tabOrder;
    int64_t seekAfterPageDown = -1;
    std::vector<int> runAfterMoves;
    bool enterKeptEdits = false;
    QWidget* focusAfterButtonCut = nullptr;
    QWidget* strip = nullptr;
    const Call call = RunCall(QString::fromStdString(source.string()), [&](DialogDriver& driver) {
        strip = driver.Strip();
        CThumbnailWnd* view = View(driver);
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        driver.Dialog()->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == driver.Dialog(); }));
        // Tab from the first focus to the strip, then on to the list: Home there chooses 4.
        for (int i = 0; i < 8 && QApplication::focusWidget() != strip; ++i) {
            QWidget* focused = QApplication::focusWidget();
            tabOrder << QString::fromLatin1(focused->metaObject()->className());
            if (auto* bar = qobject_cast<player::SeekBar*>(focused)) {
                // The seek bar goes a scene on and back to the start.
                Key(Qt::Key_PageDown);
                seekAfterPageDown = bar->Value();
                Key(Qt::Key_Home);
                EXPECT_EQ(bar->Value(), 0);
            }
            Key(Qt::Key_Tab);
        }
        ASSERT_EQ(QApplication::focusWidget(), strip);
        Key(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), driver.SelectionList());
        Key(Qt::Key_Home);
        Key(Qt::Key_Tab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), strip);
        for (int i = 0; i < 3; ++i) Key(Qt::Key_Right);
        view->GetSelectedUnits(runAfterMoves);
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        Key(Qt::Key_Delete);
        ASSERT_TRUE(WaitUntil([&] { return driver.Button(kUndo)->isEnabled(); }, kTimeoutMs));
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        Key(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_TRUE(WaitUntil([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_TRUE(WaitUntil([&] { return !driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));

        // A cut with the button, then Enter three times: the focus is in the strip, not on
        // Cancel, and a close question (were one asked) takes Enter as Cancel.
        ASSERT_TRUE(driver.CutSelection(kTimeoutMs));
        ASSERT_TRUE(driver.StripSettled() ||
                    WaitUntil([&] { return driver.StripSettled(); }, kTimeoutMs));
        focusAfterButtonCut = QApplication::focusWidget();
        for (int i = 0; i < 3; ++i) {
            auto answered = driver::AnswerNext<QMessageBox>(
                [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, 2000);
            Key(Qt::Key_Return);
            driver::Pause(100);
        }
        enterKeptEdits = driver.Dialog()->isVisible() && view->IsEdited();
        // Enter on Cancel asks; Enter again answers Cancel, the default: the edits stay.
        driver.Button(kCancel)->setFocus();
        auto asked = driver::AnswerNext<QMessageBox>(
            [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, kTimeoutMs);
        Key(Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return *asked; }, kTimeoutMs));
        driver::Pause(100);
        enterKeptEdits = enterKeptEdits && driver.Dialog()->isVisible();
        driver.Dialog()->activateWindow();  // a window manager's part once the box is gone
        ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == driver.Dialog(); }));
        strip->setFocus();
        // That cut goes again; Ctrl+S saves the movie without the run cut by Delete.
        Key(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_TRUE(WaitUntil([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
        auto saved = AnswerSaveAs(destination, kTimeoutMs);
        Key(Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(*saved);
    });
    EXPECT_EQ(tabOrder, (QStringList{QStringLiteral("QToolButton"), QStringLiteral("QToolButton"),
                                     QStringLiteral("brevio::player::SeekBar")}));
    EXPECT_EQ(seekAfterPageDown, 30 * 1001 * 10'000'000LL / 30000);  // the second unit's start
    EXPECT_EQ(runAfterMoves, (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(focusAfterButtonCut, strip);
    EXPECT_TRUE(enterKeptEdits);
    ASSERT_EQ(call.result, 0);
    const std::filesystem::path result = destination.toStdString();
    engine::CVarnoMovFile file(engine::FileLocator{result});
    engine::CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid());
    EXPECT_EQ(movie.GetShootingUnitCount(), 16u);
    // Frame for frame the source without units 4 to 7 (3 to 6 counted from 0).
    std::vector<std::string> expected = testmovies::FrameMd5(source);
    ASSERT_EQ(expected.size(), 20u * 30u);
    expected.erase(expected.begin() + 3 * 30, expected.begin() + 7 * 30);
    EXPECT_EQ(testmovies::FrameMd5(result), expected);
}

TEST_F(EditCallTest, AccessibilityTreeNamesEveryControlAndEveryScene) {
    const QString movie = Movie(12);
    bool checked = false;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        CThumbnailWnd* view = View(driver);
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        ASSERT_TRUE(driver.ChooseSelectionLength(5));
        std::vector<QAccessibleInterface*> tree;
        CollectAccessible(QAccessible::queryAccessibleInterface(driver.Dialog()), tree);

        // Every visible control, the kinds a user works, has a name; so has each group of them
        // (the content window, the panes, the player) and the picture. No container is left a
        // nameless filler.
        const QList<QAccessible::Role> controls = {QAccessible::PushButton, QAccessible::ComboBox,
                                                   QAccessible::Slider,     QAccessible::List,
                                                   QAccessible::Grouping,   QAccessible::Graphic};
        int named = 0;
        QStringList groups;
        for (QAccessibleInterface* iface : tree) {
            if (iface->state().invisible) continue;
            const char* kind = iface->object() ? iface->object()->metaObject()->className() : "";
            EXPECT_NE(iface->role(), QAccessible::Client) << kind;
            if (!controls.contains(iface->role())) continue;
            EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty()) << kind;
            if (iface->role() == QAccessible::Grouping) groups << iface->text(QAccessible::Name);
            ++named;
        }
        EXPECT_GE(named, 16);  // play, stop, seek bar, strip, list, five buttons, picture, 5 groups
        groups.sort();
        QStringList expectedGroups{QStringLiteral("短片 %1").arg(QFileInfo(movie).fileName()),
                                   QStringLiteral("预览"), QStringLiteral("播放器"),
                                   QStringLiteral("剪辑"), QStringLiteral("操作步骤")};
        expectedGroups.sort();
        EXPECT_EQ(groups.join(u'|').toStdString(), expectedGroups.join(u'|').toStdString());
        // The picture is an image that says where the movie stands.
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(
            driver::FindByClass(driver.Player(), "brevio::player::PictureView"));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->role(), QAccessible::Graphic);
        EXPECT_EQ(picture->text(QAccessible::Name), QStringLiteral("短片画面"));
        EXPECT_TRUE(WaitUntil(
            [&] {
                return picture->text(QAccessible::Description) ==
                       QStringLiteral("0:00 处的画面，共 0:48");
            },
            kTimeoutMs))
            << picture->text(QAccessible::Description).toStdString();
        // The list by its label, its value the number shown.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(driver.SelectionList());
        EXPECT_EQ(list->text(QAccessible::Name),
                  driver.Dialog()->findChild<QLabel*>(QStringLiteral("0"))->text());
        EXPECT_EQ(list->text(QAccessible::Value), QStringLiteral("5"));
        ASSERT_EQ(list->childCount(), 1);  // the drop-down list, by the same label
        EXPECT_EQ(list->child(0)->text(QAccessible::Name), list->text(QAccessible::Name));
        // The seek bar is a slider with its position as its value.
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(
            driver::FindByClass(driver.Player(), "brevio::player::SeekBar"));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->role(), QAccessible::Slider);
        ASSERT_NE(bar->valueInterface(), nullptr);
        EXPECT_EQ(bar->text(QAccessible::Value), QStringLiteral("0:00，共 0:48"));

        // The strip: one named item per scene shown, as many selected as the run is long, the
        // run's first scene focused once the strip has the focus.
        QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(view);
        ASSERT_EQ(strip->role(), QAccessible::List);
        EXPECT_FALSE(strip->text(QAccessible::Name).isEmpty());
        ASSERT_EQ(strip->childCount(), view->GetSceneCount());
        EXPECT_EQ(strip->childCount(), 12);
        QStringList names;
        int selected = 0;
        for (int i = 0; i < strip->childCount(); ++i) {
            QAccessibleInterface* item = strip->child(i);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->role(), QAccessible::ListItem);
            EXPECT_EQ(strip->indexOfChild(item), i);
            names << item->text(QAccessible::Name);
            if (item->state().selected) ++selected;
        }
        EXPECT_EQ(names.front(), QStringLiteral("场景 1，0:00 至 0:04"));
        EXPECT_EQ(names.back(), QStringLiteral("场景 12，0:44 至 0:48"));
        EXPECT_EQ(names.removeDuplicates(), 0);
        EXPECT_EQ(selected, 5);
        view->setFocus();
        ASSERT_NE(strip->focusChild(), nullptr);
        EXPECT_EQ(strip->indexOfChild(strip->focusChild()), view->GetSelectionPosition());
        EXPECT_TRUE(strip->focusChild()->state().focused);

        // Space in the strip plays; Play's name follows its state.
        QAbstractButton* play = driver.Player()->findChild<QToolButton*>();
        const QString paused = play->accessibleName();
        Key(Qt::Key_Space);
        EXPECT_TRUE(WaitUntil([&] { return play->accessibleName() != paused; }, kTimeoutMs));
        ASSERT_TRUE(driver.ClickPlayPause());
        ASSERT_TRUE(driver.ClickButton(kCancel));
        checked = true;
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(call.result, 1);
}

TEST_F(EditCallTest, CancelWithEditsAsksAndCancelKeepsTheDialog) {
    const QString movie = Movie(16);  // two cuts of four leave a strip that still selects
    std::shared_ptr<driver::MessageBoxRecord> firstAnswer;
    std::shared_ptr<driver::MessageBoxRecord> secondAnswer;
    QString title;
    bool openAfterEsc = false;
    bool openAfterDecline = false;
    bool enterUndidOnce = false;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        title = driver.Dialog()->windowTitle();
        driver.PressKey(Qt::Key_Escape);
        driver::Pause(100);
        openAfterEsc = driver.Dialog()->isVisible();

        SelectFourAndCut(driver, 2);
        // The second cut from the keyboard: the strip takes the focus with the click and its
        // Delete key cuts.
        driver.Dialog()->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        ASSERT_TRUE(driver.ClickScene(2));
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        driver.PressKey(Qt::Key_Delete);
        driver::Pause(300);  // the strip posts the cut to the pane
        // Enter on the focused Undo button undoes exactly one of the two cuts.
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        driver.Button(kUndo)->setFocus();
        driver.PressKey(Qt::Key_Return, driver.Button(kUndo));
        WaitUntil([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs);
        driver::Pause(200);
        enterUndidOnce = driver.Button(kUndo)->isEnabled() && driver.Button(kRedo)->isEnabled();

        firstAnswer = AnswerNextMessageBox(QMessageBox::Cancel, kTimeoutMs);
        ASSERT_TRUE(driver.ClickButton(kCancel));
        ASSERT_TRUE(WaitUntil([&] { return firstAnswer->seen; }, kTimeoutMs));
        driver::Pause(100);
        openAfterDecline = driver.Dialog()->isVisible();
        // The close box is Cancel too; this time the loss is confirmed.
        secondAnswer = AnswerNextMessageBox(QMessageBox::Ok, kTimeoutMs);
        driver.Dialog()->close();
    });
    EXPECT_EQ(title, LoadString(128));  // no caption given
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(enterUndidOnce);
    EXPECT_TRUE(openAfterDecline);
    ASSERT_TRUE(firstAnswer && secondAnswer);
    EXPECT_EQ(firstAnswer->text, LoadString(153));
    EXPECT_EQ(secondAnswer->text, LoadString(153));
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(call.SavedPath().left(3), QStringLiteral("###"));  // nothing written
}

TEST_F(EditCallTest, SourceChangedOnDiskEndsWithFailure) {
    const QString movie = dir_.file(QStringLiteral("touched.mov"));
    testmovies::CopyMovie(Movie(8).toStdString(), movie.toStdString());
    std::shared_ptr<driver::MessageBoxRecord> notice;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        // Another program rewrites the movie while it is being edited.
        struct stat info {};
        ASSERT_EQ(::stat(movie.toLocal8Bit().constData(), &info), 0);
        const struct timespec times[2] = {{info.st_atime + 10, 0}, {info.st_mtime + 10, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, movie.toLocal8Bit().constData(), times, 0), 0);
        notice = AnswerNextMessageBox(QMessageBox::Ok, kTimeoutMs);
        EXPECT_TRUE(driver.ClickButton(kCancel));
    });
    EXPECT_EQ(call.result, 7);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->text, LoadString(155));
}

TEST_F(EditCallTest, SavedPathMustFitWithItsTerminator) {
    const QString movie = Movie(12);
    // Two destinations of the same length: the first call's capacity equals it.
    const QString first = dir_.file(QStringLiteral("cutA.mov"));
    const QString second = dir_.file(QStringLiteral("cutB.mov"));
    const auto saveTo = [&](const QString& destination) {
        return [destination](DialogDriver& driver) {
            SelectFourAndCut(driver, 1);
            auto answered = AnswerSaveAs(destination, kTimeoutMs);
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

// Whatever the reference movies' folder (the temporary folder without XDG_RUNTIME_DIR, a tmpfs
// with it), Save-As after cuts, an undo and a redo opens in the folder of the opened movie, and
// pressing Save there saves beside it. The reference movie shows nowhere in the dialog.
TEST_F(EditCallTest, SaveAsOpensBesideTheOpenedMovieAfterEdits) {
    const QString folder = dir_.file(QStringLiteral("holiday"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString movie = folder + QStringLiteral("/day.mov");
    testmovies::CopyMovie(Movie(16).toStdString(), movie.toStdString());
    const QString runtime = dir_.file(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    const QByteArray runtimeNative = QFile::encodeName(runtime);
    const bool mounted = ::mount("brevio-run", runtimeNative.constData(), "tmpfs",
                                 MS_NOSUID | MS_NODEV, "size=64m,mode=0700") == 0;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");

    for (const bool onTmpfs : {false, true}) {
        SCOPED_TRACE(onTmpfs ? "XDG_RUNTIME_DIR on a tmpfs" : "XDG_RUNTIME_DIR unset");
        if (onTmpfs && !mounted) {
            ADD_FAILURE() << "cannot mount a tmpfs here: " << std::strerror(errno);
            break;
        }
        if (onTmpfs) {
            qputenv("XDG_RUNTIME_DIR", runtimeNative);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        const QString destination =
            folder + (onTmpfs ? QStringLiteral("/cut-b.mov") : QStringLiteral("/cut-a.mov"));
        QString reference;
        QString shownFolder;
        QStringList shownTexts;
        const Call call = RunCall(movie, [&](DialogDriver& driver) {
            SelectFourAndCut(driver, 1);
            SelectFourAndCut(driver, 2);
            ASSERT_TRUE(driver.ClickButton(kUndo));
            ASSERT_TRUE(WaitUntil([&] { return driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
            ASSERT_TRUE(driver.ClickButton(kRedo));
            ASSERT_TRUE(WaitUntil([&] { return !driver.Button(kRedo)->isEnabled(); }, kTimeoutMs));
            // The view may hold the movie by its folder's descriptor (/proc/self/fd/N/name):
            // resolve it while the dialog keeps that descriptor open.
            reference = View(driver) != nullptr
                            ? QFileInfo(View(driver)->GetMoviePath()).canonicalFilePath()
                            : QString();
            // The user only types a name and presses Save.
            auto answered = driver::AnswerNext<QFileDialog>([&](QFileDialog* dialog) {
                shownFolder = dialog->directory().absolutePath();
                for (const QLineEdit* edit : dialog->findChildren<QLineEdit*>())
                    shownTexts += edit->text();
                for (const QComboBox* box : dialog->findChildren<QComboBox*>()) {
                    for (int i = 0; i < box->count(); ++i) shownTexts += box->itemText(i);
                }
                if (auto* edit = dialog->findChild<QLineEdit*>())
                    edit->setText(QFileInfo(destination).fileName());
                QMetaObject::invokeMethod(dialog, "accept");
            });
            ASSERT_TRUE(driver.ClickButton(kSave));
            EXPECT_TRUE(*answered);
        });
        // The edits really went through a reference movie elsewhere.
        ASSERT_FALSE(reference.isEmpty());
        EXPECT_NE(QFileInfo(reference).absolutePath(), folder);
        if (onTmpfs) {
            EXPECT_TRUE(reference.startsWith(runtime)) << qPrintable(reference);
        }
        EXPECT_EQ(shownFolder.toStdString(), folder.toStdString());
        for (const QString& text : shownTexts) {
            EXPECT_FALSE(text.contains(QFileInfo(reference).absolutePath())) << qPrintable(text);
        }
        ASSERT_EQ(call.result, 0);
        EXPECT_EQ(call.SavedPath().toStdString(), destination.toStdString());
        EXPECT_EQ(testmovies::ProbeStreamEntry(destination.toStdString(), "v:0", "nb_frames"),
                  std::to_string(8 * 120));
    }
    if (oldRuntime.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
    }
    if (mounted) ::umount2(runtimeNative.constData(), MNT_DETACH);
}

TEST_F(EditCallTest, ChapterMovieGetsTheChapterPanes) {
    const QString movie = Movie(5, true);
    QByteArray panel;
    QByteArray pane;
    QString chapterName;
    const std::u16string caption = u"Photos";
    QString title;
    // The module's progress dialog outlives calls: a caption left on it from before is not kept,
    // and the host's caption does not reach it.
    const QString stale = QStringLiteral("Earlier");
    CSaveProgressDlg::Instance()->SetCaption(&stale);
    QString progressCaption;
    const Call call = RunCall(
        movie,
        [&](DialogDriver& driver) {
            title = driver.Dialog()->windowTitle();
            progressCaption = CSaveProgressDlg::Instance()->GetCaption();
            if (auto* w = driver::FindByClass(driver.Dialog(), "brevio::CInfoMessageWndChapter")) {
                panel = w->metaObject()->className();
            }
            if (auto* w =
                    driver::FindByClass(driver.Dialog(), "brevio::CThumbnailContainerChapter")) {
                pane = w->metaObject()->className();
            }
            // The strip names its items by chapter.
            if (CThumbnailWnd* view = View(driver)) {
                QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(view);
                if (strip->childCount() > 1) chapterName = strip->child(1)->text(QAccessible::Name);
            }
            ASSERT_TRUE(driver.ClickButton(kCancel));
        },
        512, 0, caption.c_str());
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(title, QStringLiteral("Photos"));
    EXPECT_EQ(progressCaption, LoadString(128));
    EXPECT_EQ(panel, QByteArray("brevio::CInfoMessageWndChapter"));
    EXPECT_EQ(pane, QByteArray("brevio::CThumbnailContainerChapter"));
    EXPECT_EQ(chapterName, QStringLiteral("章节 2，0:04 至 0:08"));
}

TEST_F(EditCallTest, EndRequestAcceptedWhileAskingKeepsItsCode) {
    const QString movie = Movie(12);
    bool questionClosed = false;
    QObject checks;  // the check below ends with the test
    QPointer<QWidget> question;
    std::shared_ptr<bool> asked;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        SelectFourAndCut(driver, 3);
        auto* dialog = dynamic_cast<CBRVDialog*>(driver.Dialog());
        ASSERT_NE(dialog, nullptr);
        // While the unsaved-edits question is open, a pane ends the dialog with 7 (as after a
        // change of the movie file); the question then no longer decides anything.
        asked = driver::AnswerNext<QMessageBox>(
            [&, dialog](QMessageBox* box) {
                question = box;
                dialog->PostMessage(WM_BRV_CLOSE_REQUEST, 7, 0);
                QTimer::singleShot(1000, Qt::PreciseTimer, &checks, [&] {
                    questionClosed = question.isNull() || !question->isVisible();
                    if (!questionClosed) question->close();
                });
            },
            kTimeoutMs);
        ASSERT_TRUE(driver.ClickButton(kCancel));
    });
    driver::Pause(2500);  // the check one second after the question appeared
    EXPECT_TRUE(asked && *asked);
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
    bool previewOnTop = false;
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
        // Where the panes overlap, the preview pane's bottom edge shows.
        const QPoint edge(preview.left() + 20, preview.bottom());
        const QWidget* atEdge = dialog->Content().childAt(edge);
        previewOnTop = atEdge != nullptr && (atEdge == &dialog->Content().Preview() ||
                                             dialog->Content().Preview().isAncestorOf(atEdge));
        driver.ClickButton(kCancel);
    });
    EXPECT_EQ(call.result, 1);
    const int h = idealHeight - 503;
    EXPECT_GT(h, 0);
    EXPECT_EQ(outer, QSize(730, h + 503));
    EXPECT_EQ(preview, QRect(11, 13, 328, h + 248));
    EXPECT_TRUE(previewOnTop);
    // The content window fills the client area, inside the frame.
    const int w = client.width();
    EXPECT_LE(w, 730);
    EXPECT_EQ(panel, QRect(359, 13, w - 359, h + 238));
    EXPECT_EQ(pane, QRect((w - 698) / 2, h + 251, 698, client.height() - h - 251));
}

TEST_F(EditCallTest, AFailedReferenceWriteUndoesTheCutWholeAndASecondDeleteWaits) {
    const QString movie = Movie(20);
    const FullTempFolder temp(dir_.path());
    driver::MessageBoxLog boxes;
    bool stripBack = false;
    int units = -1;
    bool edited = true;
    QString thumbnailsFrom;
    bool undoEnabled = true;
    bool saveEnabled = true;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        ASSERT_TRUE(driver.ChooseSelectionLength(4));
        ASSERT_TRUE(driver.ClickScene(5));
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        // Delete twice: the second arrives while the box of the first cut is open.
        driver.PressKey(Qt::Key_Delete, driver.Strip());
        driver.PressKey(Qt::Key_Delete, driver.Strip());
        ASSERT_TRUE(WaitUntil([&] { return !boxes.texts.isEmpty(); }, kTimeoutMs));
        // The strip is made again where the selection stood, from the movie as it was.
        stripBack = WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs);
        driver::Pause(300);
        const CThumbnailWnd* view = View(driver);
        ASSERT_NE(view, nullptr);
        units = static_cast<int>(view->GetDocument().GetUnitCount());
        edited = view->IsEdited();
        thumbnailsFrom = view->GetMoviePath();
        undoEnabled = driver.Button(kUndo)->isEnabled();
        saveEnabled = driver.Button(kSave)->isEnabled();
        ASSERT_TRUE(driver.ClickButton(kCancel));  // nothing to lose: no question
    });
    EXPECT_EQ(call.result, 1);
    // One box, its reason on the second line: the system's words for the full disk.
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith(LoadString(135) + u'\n')) << boxes.texts[0].toStdString();
    if (::geteuid() == 0) {  // the full memory file system
        EXPECT_TRUE(boxes.texts[0].endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))))
            << boxes.texts[0].toStdString();
    }
    EXPECT_TRUE(stripBack);
    EXPECT_EQ(units, 20);
    EXPECT_FALSE(edited);
    EXPECT_EQ(thumbnailsFrom, movie);
    EXPECT_FALSE(undoEnabled);
    EXPECT_FALSE(saveEnabled);
}

TEST_F(EditCallTest, TheOwnerIsUsedOnlyWhileItIsALiveWindowOfTheHost) {
    const QString movie = Movie(12);
    // Not a window of this application: no owner, the dialog is centred in the work area.
    const Call stray = RunCall(
        movie, [](DialogDriver& driver) { ASSERT_TRUE(driver.ClickButton(kCancel)); }, 512, 0,
        nullptr, reinterpret_cast<void*>(0x10));
    EXPECT_TRUE(stray.dialogShown);
    EXPECT_EQ(stray.result, 1);

    // The host's window goes away after a save failed: the call fails and hands back no path.
    QPointer<QWidget> host = new QWidget;
    host->resize(800, 600);
    host->show();
    driver::MessageBoxLog boxes;
    const QString destination = dir_.file(QStringLiteral("never.mov"));
    const Call orphaned = RunCall(
        movie,
        [&](DialogDriver& driver) {
            SelectFourAndCut(driver, 1);
            auto answered = AnswerSaveAs(destination, kTimeoutMs);
            {
                const FileSizeLimit full(4096);
                ASSERT_TRUE(driver.ClickButton(kSave));
            }
            EXPECT_TRUE(*answered);
            ASSERT_TRUE(WaitUntil([&] { return !boxes.texts.isEmpty(); }, kTimeoutMs));
            delete host.data();
        },
        512, 50, nullptr, host.data());
    delete host.data();
    EXPECT_EQ(orphaned.result, 7);
    // String 157, and on its second line the system's reason.
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0],
              LoadString(157) + u'\n' + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(orphaned.saved[0], u'#');
    EXPECT_EQ(orphaned.playerValueOut, 0);
    EXPECT_FALSE(QFileInfo::exists(destination));
}

TEST_F(EditCallTest, TheStripComesBackAfterSaveWhenTheSeekBarWasDraggedDuringPlayback) {
    const QString movie = Movie(12);
    bool stripBack = false;
    std::shared_ptr<bool> cancelled;
    std::shared_ptr<driver::MessageBoxRecord> question;
    const Call call = RunCall(movie, [&](DialogDriver& driver) {
        SelectFourAndCut(driver, 1);
        ASSERT_TRUE(WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs));
        ASSERT_TRUE(driver.ClickPlayPause());
        driver::Pause(300);
        ASSERT_TRUE(driver.DragSeekBar(40, 90));
        driver::Pause(500);  // playing on from the new place
        // Save pauses the preview first; the Save-As dialog is then cancelled.
        cancelled = driver::CancelSaveAs();
        driver.ClickButton(kSave);
        stripBack = WaitUntil([&] { return driver.HasSelectionFrame(); }, 10000);
        question = AnswerNextMessageBox(QMessageBox::Ok, kTimeoutMs);
        ASSERT_TRUE(driver.ClickButton(kCancel));
    });
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(*cancelled);
    EXPECT_TRUE(stripBack);
    EXPECT_EQ(call.result, 1);
}

}  // namespace
}  // namespace brevio
