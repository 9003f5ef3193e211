// The thumbnail pane on real movies, driven through its controls as a user drives them: the
// selected-seconds list against the strip, the Delete key, cut and undo, Save with its file
// dialog and progress dialog, and a source movie changed on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <functional>

#include "TestHarness.h"
#include "framesource/IFrameSource.h"
#include "interfaces/IBRVPreviewContainer.h"
#include "interfaces/IBRVUIUpdater.h"
#include "module/ModuleHelpers.h"
#include "save/CMovieSaveDlg.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailContainer.h"
#include "thumbnails/CThumbnailWnd.h"
#include "window/WindowBase.h"

namespace brevio {
namespace {

namespace fs = std::filesystem;

constexpr int kFramesPerUnit = 30;
constexpr int64_t kUnit = 10'010'000;  // ticks of a 30-frame unit

// The content window's place: records the close requests the pane passes on.
class Host : public WindowBase {
public:
    Host() {
        Messages().Add(WM_BRV_CLOSE_REQUEST, [this](uint32_t, uintptr_t code, intptr_t, bool&) {
            closeRequests.push_back(static_cast<int>(code));
            return LRESULT{0};
        });
    }
    std::vector<int> closeRequests;
};

// The preview pane as the thumbnail pane sees it: a notified seek reports playback started and
// the new position back to the pane, as the real pane does once the player has moved.
class FakePreview : public IBRVPreviewContainer {
public:
    HRESULT OpenMovie(const QString& path) override {
        opened.push_back(path);
        return S_OK;
    }
    HRESULT ControlPlayback(int32_t code) override {
        playbackCodes.push_back(code);
        return S_OK;
    }
    HRESULT SetPosition(int64_t ticks, bool notify) override {
        positions.push_back(ticks);
        if (notify && pane != nullptr) {
            pane->OnPlaybackStarted();
            pane->OnPositionChanged(ticks);
        }
        return S_OK;
    }
    void CloseMovie() override { ++closed; }

    CThumbnailContainer* pane = nullptr;
    std::vector<QString> opened;
    std::vector<int32_t> playbackCodes;
    std::vector<int64_t> positions;
    int closed = 0;
};

class Updater : public IBRVUIUpdater {
public:
    void RefreshUI() override {
        if (pane != nullptr) pane->UpdateButtons();
    }
    CThumbnailContainer* pane = nullptr;
};

fs::path UnitMovie(int units, int framesPerUnit = kFramesPerUnit) {
    testmovies::MovieOptions options;
    options.units = units;
    options.framesPerUnit = framesPerUnit;
    options.width = 160;
    options.height = 120;
    return testmovies::MakeMovie(options);
}

void PressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

class ThumbnailContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterFrameSourceComponent();
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp_.path().toUtf8());
    }
    void TearDown() override {
        if (pane_ != nullptr) pane_->DestroyWindow();
        pane_.reset();
        qputenv("TMPDIR", oldTmp_);
    }

    // The pane on `movie` as the main dialog sets it up: preview, LoadMovie, window, updater.
    void Open(const fs::path& movie) {
        pane_ = std::make_unique<CThumbnailContainer>();
        preview_.pane = pane_.get();
        updater_.pane = pane_.get();
        pane_->SetPreview(&preview_);
        ASSERT_EQ(pane_->LoadMovie(QString::fromStdString(movie.string())), 0);
        const QString caption = QStringLiteral("Trip");
        pane_->SetMessageCaption(&caption);
        ASSERT_TRUE(host_.IsWindow() || host_.Create(nullptr, QRect(0, 0, 714, 200)));
        ASSERT_TRUE(pane_->Create(&host_, QRect(0, 0, 714, 200)));
        pane_->SetUIUpdater(&updater_);
        updater_.RefreshUI();
    }
    // The strip at a position, with its thumbnails made.
    void ShowAt(int64_t ticks) {
        pane_->OnPlaybackStarted();
        ASSERT_EQ(pane_->OnPositionChanged(ticks), S_OK);
        ASSERT_TRUE(WaitIdle());
    }
    bool WaitIdle() {
        return test::WaitUntil([this] { return !View()->IsBusy(); }, 30000);
    }
    CThumbnailWnd* View() const { return pane_->findChild<CThumbnailWnd*>(); }
    QComboBox* List() const { return pane_->findChild<QComboBox*>(QStringLiteral("1008")); }
    QPushButton* Button(uint16_t id) const {
        return pane_->findChild<QPushButton*>(QString::number(id));
    }
    // A user's choice in the closed list with the arrow keys.
    void ChooseLength(int length) {
        QComboBox* list = List();
        while (list->currentText().toInt() > length) PressKey(list, Qt::Key_Up);
        while (list->currentText().toInt() < length) PressKey(list, Qt::Key_Down);
    }
    // Answers the next Save-As dialog by typing `name` and pressing Save.
    std::shared_ptr<bool> AnswerSaveAs(const QString& name,
                                       std::function<void(QWidget*)> look = {}) {
        return test::AnswerNextModal([name, look](QWidget* modal) {
            auto* dialog = qobject_cast<CMovieSaveDlg*>(modal);
            ASSERT_NE(dialog, nullptr);
            if (look) look(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            dialog->findChild<QPushButton*>(QStringLiteral("1"))->click();
        });
    }

    test::TempDir tmp_{QStringLiteral("pane")};
    QByteArray oldTmp_;
    Host host_;
    FakePreview preview_;
    Updater updater_;
    std::unique_ptr<CThumbnailContainer> pane_;
};

TEST_F(ThumbnailContainerTest, ListFollowsTheStrip) {
    CThumbnailContainer empty;
    EXPECT_EQ(empty.LoadMovie(QString()), 7);
    EXPECT_FALSE(empty.IsEdited());
    EXPECT_EQ(empty.SceneStartBeside(5, 1), 5);

    // 16 thumbnails: 4 to 8 offered, 8 shown, Cut scene enabled.
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(20)));
    EXPECT_EQ(pane_->findChild<QLabel*>()->text(), LoadString(147));
    EXPECT_EQ(Button(1002)->text(), LoadString(144));
    EXPECT_EQ(Button(1006)->text(), LoadString(145));
    ASSERT_NO_FATAL_FAILURE(ShowAt(10 * kUnit));
    EXPECT_EQ(View()->GetSceneCount(), 16);
    EXPECT_EQ(Items(List()), QStringList({"4", "5", "6", "7", "8"}));
    EXPECT_EQ(List()->currentText(), "8");
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_TRUE(Button(1002)->isEnabled());
    test::SaveScreenshot(&host_, QStringLiteral("thumbnail-pane"));
    // Playback empties the strip and disables Cut scene and the list.
    pane_->OnPlaybackStarted();
    EXPECT_FALSE(Button(1002)->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    // Cancel pauses and asks to end with 1.
    Button(1006)->click();
    EXPECT_EQ(preview_.playbackCodes, std::vector<int32_t>{4});
    ASSERT_TRUE(test::WaitUntil([this] { return !host_.closeRequests.empty(); }));
    EXPECT_EQ(host_.closeRequests, std::vector<int>{1});

    // 6 thumbnails with length 8: the length becomes 6, Cut scene disabled until 5 is chosen.
    pane_->DestroyWindow();
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(6)));
    ASSERT_NO_FATAL_FAILURE(ShowAt(0));
    EXPECT_EQ(View()->GetSceneCount(), 6);
    EXPECT_EQ(Items(List()), QStringList({"4", "5", "6"}));
    EXPECT_EQ(List()->currentText(), "6");
    EXPECT_FALSE(Button(1002)->isEnabled());
    ChooseLength(5);
    unsigned length = 0;
    View()->GetSelectionLength(&length);
    EXPECT_EQ(length, 5u);
    EXPECT_TRUE(Button(1002)->isEnabled());

    // 3 thumbnails: the list (still 4 to 8) and Cut scene disabled.
    pane_->DestroyWindow();
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(3, 60)));
    ASSERT_NO_FATAL_FAILURE(ShowAt(0));
    EXPECT_EQ(View()->GetSceneCount(), 3);
    EXPECT_EQ(Items(List()), QStringList({"4", "5", "6", "7", "8"}));
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_FALSE(Button(1002)->isEnabled());
}

TEST_F(ThumbnailContainerTest, EscapeOnTheOpenListRestoresTheNumber) {
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(20)));
    ASSERT_NO_FATAL_FAILURE(ShowAt(10 * kUnit));
    QComboBox* list = List();
    ChooseLength(6);
    // The shown number drifts from the strip's length without a choice (as a list moved by the
    // keyboard while open shows), then the list is opened and left with Escape.
    list->setCurrentIndex(0);
    list->showPopup();
    QWidget* popup = list->view()->window();
    ASSERT_TRUE(test::WaitUntil([popup] { return popup->isVisible(); }));
    PressKey(list->view(), Qt::Key_Escape);
    ASSERT_TRUE(test::WaitUntil([popup] { return !popup->isVisible(); }));
    EXPECT_TRUE(test::WaitUntil([list] { return list->currentText() == "6"; }, 1000));
    unsigned length = 0;
    View()->GetSelectionLength(&length);
    EXPECT_EQ(length, 6u);

    // A choice in the open list is no cancel: it is kept.
    list->showPopup();
    ASSERT_TRUE(test::WaitUntil([popup] { return popup->isVisible(); }));
    list->view()->setCurrentIndex(list->model()->index(3, 0));
    PressKey(list->view(), Qt::Key_Return);
    ASSERT_TRUE(test::WaitUntil([popup] { return !popup->isVisible(); }));
    QApplication::processEvents();
    EXPECT_EQ(list->currentText(), "7");
    View()->GetSelectionLength(&length);
    EXPECT_EQ(length, 7u);
}

TEST_F(ThumbnailContainerTest, DeleteCutsOnlyWhileCutSceneIsEnabledAndUndoShowsTheRestoredCount) {
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(20)));
    CThumbnailWnd* view = View();
    // Playing: Cut scene disabled, Delete does nothing.
    pane_->OnPlaybackStarted();
    PressKey(view, Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_FALSE(view->CanUndo());
    EXPECT_TRUE(preview_.opened.empty());
    EXPECT_FALSE(Button(1003)->isEnabled());
    EXPECT_FALSE(Button(1005)->isEnabled());

    // Paused at unit 10 with 5 chosen: Delete cuts units 10 to 14 and gives the strip the focus.
    ASSERT_NO_FATAL_FAILURE(ShowAt(10 * kUnit));
    ChooseLength(5);
    pane_->activateWindow();
    PressKey(view, Qt::Key_Delete);
    ASSERT_TRUE(test::WaitUntil([view] { return view->CanUndo(); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view->GetDocument().GetUnitCount(), 15u);
    ASSERT_EQ(preview_.opened.size(), 1u);
    EXPECT_EQ(preview_.opened[0], view->GetReferenceMoviePath());
    EXPECT_EQ(preview_.positions.back(), 10 * kUnit);
    EXPECT_TRUE(Button(1003)->isEnabled());
    EXPECT_FALSE(Button(1004)->isEnabled());
    EXPECT_TRUE(Button(1005)->isEnabled());

    // The list set back to 8, then Undo: the list shows the 5 restored scenes.
    ChooseLength(8);
    Button(1003)->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view->GetDocument().GetUnitCount(), 20u);
    EXPECT_EQ(List()->currentText(), "5");
    EXPECT_FALSE(Button(1003)->isEnabled());
    EXPECT_TRUE(Button(1004)->isEnabled());
    EXPECT_FALSE(Button(1005)->isEnabled());
    EXPECT_EQ(preview_.opened.size(), 2u);
}

TEST_F(ThumbnailContainerTest, SaveRefusesAnExistingNameAndWritesNothing) {
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(20)));
    ASSERT_NO_FATAL_FAILURE(ShowAt(0));
    Button(1002)->click();
    ASSERT_TRUE(pane_->IsEdited());
    ASSERT_TRUE(WaitIdle());

    const QString existing = tmp_.file(QStringLiteral("taken.mov"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    std::shared_ptr<test::MessageBoxRecord> box;
    auto saveAs = test::AnswerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CMovieSaveDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), LoadString(129));
        EXPECT_EQ(dialog->GetFlags() & OFN_FILEMUSTEXIST, 0u);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(existing);
        box = test::AnswerNextMessageBox(QMessageBox::Ok);
        dialog->findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    Button(1005)->click();
    ASSERT_TRUE(*saveAs);
    ASSERT_TRUE(box && box->seen);
    EXPECT_EQ(box->text, LoadString(140));
    EXPECT_EQ(box->title, QStringLiteral("Trip"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep"));
    QString saved;
    EXPECT_EQ(pane_->GetSavedPath(&saved), E_FAIL);
    EXPECT_EQ(pane_->GetSavedPath(nullptr), E_POINTER);
    QApplication::processEvents();
    EXPECT_TRUE(host_.closeRequests.empty());
}

// Names are bytes: a name that would make a hidden file is refused with its own message, and a
// folder whose name is not UTF-8 (shown by Qt with replacement characters) takes the movie under
// exactly its bytes.
TEST_F(ThumbnailContainerTest, SavesIntoANonUtf8FolderAndRefusesHiddenNames) {
    ASSERT_NO_FATAL_FAILURE(Open(UnitMovie(20)));
    ASSERT_NO_FATAL_FAILURE(ShowAt(0));
    Button(1002)->click();
    ASSERT_TRUE(WaitIdle());
    const QByteArray folder = QFile::encodeName(tmp_.path()) + "/clips-\xff\xfe";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QString shown = QFile::decodeName(folder);
    ASSERT_NE(QFile::encodeName(shown), folder);

    std::shared_ptr<test::MessageBoxRecord> refusal;
    bool stayedOpen = false;
    auto saveAs = test::AnswerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CMovieSaveDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        refusal = test::AnswerNextMessageBox(QMessageBox::Ok);
        name->setText(shown + QStringLiteral("/.mov"));
        dialog->findChild<QPushButton*>(QStringLiteral("1"))->click();
        stayedOpen = dialog->isVisible();
        name->setText(shown + QStringLiteral("/cut"));
        dialog->findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    Button(1005)->click();
    ASSERT_TRUE(*saveAs);
    ASSERT_TRUE(refusal && refusal->seen);
    EXPECT_EQ(refusal->text, LoadString(165));
    EXPECT_TRUE(stayedOpen);
    ASSERT_TRUE(test::WaitUntil([this] { return !host_.closeRequests.empty(); }, 60000));
    EXPECT_EQ(host_.closeRequests, std::vector<int>{0});
    const fs::path saved = (folder + "/cut.mov").toStdString();
    EXPECT_EQ(testmovies::FfprobeErrors(saved), "");
    EXPECT_FALSE(fs::exists(saved.parent_path() / ".mov"));
}

TEST_F(ThumbnailContainerTest, ASourceTouchedOnDiskIsReportedOnceAndEndsWith7) {
    const fs::path movie =
        testmovies::CopyMovie(UnitMovie(20), tmp_.path().toStdString() + "/src.mov");
    ASSERT_NO_FATAL_FAILURE(Open(movie));
    ASSERT_NO_FATAL_FAILURE(ShowAt(0));

    QFile file(QString::fromStdString(movie.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                 QFileDevice::FileModificationTime));
    file.close();

    auto first = test::AnswerNextMessageBox(QMessageBox::Ok);
    Button(1002)->click();
    ASSERT_TRUE(first->seen);
    EXPECT_EQ(first->text, LoadString(155));
    EXPECT_EQ(first->title, QStringLiteral("Trip"));
    EXPECT_EQ(preview_.closed, 1);

    // Every later operation is refused without a second message.
    auto second = test::AnswerNextMessageBox(QMessageBox::Ok, 300);
    Button(1003)->click();
    Button(1005)->click();
    EXPECT_EQ(pane_->OnPositionChanged(0), S_FALSE);
    test::WaitUntil([&] { return second->seen; }, 500);
    EXPECT_FALSE(second->seen);
    EXPECT_FALSE(pane_->IsEdited());
    ASSERT_TRUE(test::WaitUntil([this] { return !host_.closeRequests.empty(); }));
    QApplication::processEvents();
    EXPECT_EQ(host_.closeRequests, std::vector<int>{7});
}

TEST_F(ThumbnailContainerTest, SavesTheKeptUnitsThroughTheFileAndProgressDialogs) {
    const fs::path source = UnitMovie(12);
    const std::vector<std::string> sourceFrames = testmovies::FrameMd5(source);
    ASSERT_EQ(sourceFrames.size(), size_t{12 * kFramesPerUnit});
    const auto sourceSize = fs::file_size(source);
    const auto sourceTime = fs::last_write_time(source);

    ASSERT_NO_FATAL_FAILURE(Open(source));
    ASSERT_NO_FATAL_FAILURE(ShowAt(2 * kUnit));
    Button(1002)->click();  // units 2 to 9 go
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(View()->GetDocument().GetUnitCount(), 4u);

    // A destination folder whose path is longer than 260 characters; the name without extension.
    QString folder = tmp_.path();
    for (int i = 0; i < 8; ++i)
        folder += QStringLiteral("/a-long-folder-name-for-the-movie-%1").arg(i);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_GT(folder.size(), 260);
    auto saveAs = AnswerSaveAs(folder + QStringLiteral("/edited"), [](QWidget* dialog) {
        test::SaveScreenshot(dialog, QStringLiteral("save-as"));
    });
    Button(1005)->click();
    ASSERT_TRUE(*saveAs);
    ASSERT_TRUE(test::WaitUntil([this] { return !host_.closeRequests.empty(); }, 60000));
    EXPECT_EQ(host_.closeRequests, std::vector<int>{0});

    QString saved;
    ASSERT_EQ(pane_->GetSavedPath(&saved), S_OK);
    EXPECT_EQ(saved, folder + QStringLiteral("/edited.mov"));
    const fs::path out = saved.toStdString();
    EXPECT_EQ(testmovies::FfprobeErrors(out), "");
    std::vector<std::string> expected;
    for (int unit : {0, 1, 10, 11}) {
        for (int i = 0; i < kFramesPerUnit; ++i) {
            expected.push_back(sourceFrames[static_cast<size_t>(unit * kFramesPerUnit + i)]);
        }
    }
    EXPECT_EQ(testmovies::FrameMd5(out), expected);
    EXPECT_EQ(fs::file_size(source), sourceSize);
    EXPECT_EQ(fs::last_write_time(source), sourceTime);
    EXPECT_EQ(testmovies::FrameMd5(source), sourceFrames);
}

}  // namespace
}  // namespace brevio
