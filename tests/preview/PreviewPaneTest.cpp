// The preview pane against a player that records its calls: creation and hosting, loading, seeking,
// the play-state table with its ticker and timers, the press on the seek bar, the source file
// watch, the event sink and the ticker thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <atomic>
#include <thread>

#include "PreviewPaneFakes.h"
#include "TestHarness.h"
#include "module/Module.h"
#include "module/ModuleHelpers.h"
#include "player/IBRLPlayer.h"
#include "preview/BRLEventDispatch.h"
#include "preview/CPreviewContainer.h"
#include "preview/CSeekThread.h"

namespace brevio {
namespace {

using test::FakePlayer;
using test::RecordingParent;
using test::RecordingThumbnails;
using test::WaitUntil;
using Calls = std::vector<std::string>;

int LockCount() {
    return Module::Instance().DllModule().GetLockCount();
}

void Press(QWidget* widget, QPoint at = {5, 5}) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), widget->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), widget->mapToGlobal(QPointF(at)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Every player the pane makes is a FakePlayer; made counts them.
class PreviewPane : public ::testing::Test {
protected:
    void SetUp() override {
        ComponentRegistry::Instance().Register(kPlayerProgId, [this](auto& out) {
            ++made;
            out = std::make_unique<FakePlayer>();
            return S_OK;
        });
        pane = std::make_unique<CPreviewContainer>();
        ASSERT_TRUE(pane->Create(&parent, QRect(0, 0, 10, 10)));
        pane->setGeometry(0, 0, 328, 248 + FakePlayer::kControlHeight);
        pane->SetThumbnailContainer(&thumbs);
        player = dynamic_cast<FakePlayer*>(pane->PlayerWidget());
        ASSERT_NE(player, nullptr);
    }
    void TearDown() override { ComponentRegistry::Instance().Unregister(kPlayerProgId); }

    // A movie "file" for the snapshot; the fake player never reads it.
    QString MovieFile() {
        const QString path = dir.file(QStringLiteral("movie.mov"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("movie");
        return path;
    }

    int made = 0;
    test::TempDir dir{QStringLiteral("pane")};
    RecordingParent parent;
    RecordingThumbnails thumbs;
    std::unique_ptr<CPreviewContainer> pane;
    FakePlayer* player = nullptr;
};

TEST_F(PreviewPane, HostsThePlayerAndLetsItGoWithTheWindow) {
    EXPECT_EQ(made, 2);  // one asked for its size before the window's own
    EXPECT_EQ(player->calls,
              (Calls{"Advise", "SetNotifications 0", "SetDisplayMode 0", "SetAutoStart 0"}));
    EXPECT_EQ(player->geometry(), QRect(4, 4, 320, 240 + FakePlayer::kControlHeight));
    EXPECT_TRUE(player->isVisible());
    EXPECT_EQ(pane->GetMessageCaption(), LoadString(128));
    EXPECT_TRUE(pane->IsAdvised());
    const int locks = LockCount();
    player->Send(2);
    player->Send(9);

    pane->DestroyWindow();
    EXPECT_FALSE(pane->HasTicker());
    EXPECT_EQ(player->calls.back(), "Unadvise 7");
    EXPECT_EQ(LockCount(), locks - 1);  // the sink is gone after it left the player
    // Made again (a dialog run once more): a new player, advised anew.
    ASSERT_TRUE(pane->Create(&parent, QRect(0, 0, 328, 278)));
    EXPECT_EQ(made, 3);  // the old player answered the size
    EXPECT_TRUE(pane->IsAdvised());
    EXPECT_NE(pane->PlayerWidget(), player);
    EXPECT_EQ(pane->GetPlayState(), 0);
    EXPECT_FALSE(pane->IsKeepTicker());

    // Deleting the object without destroying the window still takes the sink off the player.
    const int unadvised = FakePlayer::unadvised;
    pane.reset();
    EXPECT_EQ(FakePlayer::unadvised, unadvised + 1);
    EXPECT_EQ(LockCount(), locks - 1);
}

TEST_F(PreviewPane, WithoutAPlayerAsksToCloseAndAnswersZero) {
    ComponentRegistry::Instance().Unregister(kPlayerProgId);
    CPreviewContainer alone;
    ASSERT_TRUE(alone.Create(&parent, QRect(0, 0, 328, 278)));
    ASSERT_TRUE(WaitUntil([&] { return !parent.closeRequests.empty(); }));
    EXPECT_EQ(parent.closeRequests, (std::vector<int>{7}));
    EXPECT_FALSE(alone.HasPlayer());
    EXPECT_EQ(alone.GetMessageCaption(), LoadString(128));
    EXPECT_EQ(alone.ControlPlayback(2), 0);
    EXPECT_EQ(alone.SetPosition(5, true), 0);
    EXPECT_EQ(alone.LoadInitialMovie(MovieFile()), 7);
    int32_t w = 0, h = 0;
    EXPECT_EQ(alone.GetControlSize(&w, &h), REGDB_E_CLASSNOTREG);
}

TEST_F(PreviewPane, LoadsSeeksWithinTheMovieAndControlsPlayback) {
    const QString path = MovieFile();
    player->calls.clear();
    EXPECT_EQ(pane->LoadInitialMovie(path), 0);
    EXPECT_EQ(player->calls, (Calls{"Open " + path.toStdString(), "SetRepeat 0"}));
    EXPECT_EQ(thumbs.Take(), (Calls{"changed 0"}));
    EXPECT_EQ(pane->GetDuration(), player->duration);

    // Not paused: a seek pauses first. Positions are kept within 0 .. duration - 1.
    player->calls.clear();
    EXPECT_EQ(pane->SetPosition(-5, false), S_OK);
    player->Send(4);
    thumbs.Take();
    EXPECT_EQ(pane->SetPosition(player->duration + 9, false), S_OK);
    EXPECT_EQ(pane->SetPosition(50, true), S_OK);
    EXPECT_EQ(player->calls,
              (Calls{"Pause 0", "SetPosition 0", "SetPosition 99999999", "SetPosition 50"}));
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 50"}));
    EXPECT_EQ(pane->GetLastReportedPosition(), 50);
    // A sink that fails keeps the last reported position; the seek fails after "started".
    thumbs.positionResult = E_FAIL;
    EXPECT_EQ(pane->SetPosition(70, true), E_FAIL);
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 70", "started"}));
    EXPECT_EQ(pane->GetLastReportedPosition(), 50);
    thumbs.positionResult = S_OK;

    player->calls.clear();
    EXPECT_EQ(pane->ControlPlayback(-1), 1);  // paused: nothing
    EXPECT_EQ(pane->ControlPlayback(5), 1);
    player->playResult = 0x123;
    EXPECT_EQ(pane->ControlPlayback(2), 0x123);
    EXPECT_EQ(pane->ControlPlayback(6), S_OK);
    EXPECT_EQ(player->calls, (Calls{"Play 0", "Stop 0"}));

    EXPECT_EQ(pane->SetPlayerSetting(1234, false), S_OK);
    EXPECT_EQ(player->volume, 1234);
    pane->SetPlayerSetting(1234, true);
    EXPECT_EQ(player->volume, 0);
    int32_t value = -1;
    int32_t flag = -7;
    EXPECT_EQ(pane->GetPlayerSetting(&value, nullptr), E_POINTER);
    EXPECT_EQ(pane->GetPlayerSetting(&value, &flag), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(flag, -7);

    // A failed load unloads the player and empties the strip.
    player->calls.clear();
    player->openResult = E_ACCESSDENIED;
    EXPECT_EQ(pane->OpenMovie(path), E_ACCESSDENIED);
    EXPECT_EQ(player->calls, (Calls{"Open " + path.toStdString(), "Open "}));
    EXPECT_EQ(thumbs.Take(), (Calls{"started"}));
    EXPECT_EQ(pane->LoadInitialMovie(path), 7);
    EXPECT_EQ(pane->OpenMovie(QString()), E_FAIL);
}

TEST_F(PreviewPane, PlayStatesDriveTheTickerTimersAndReports) {
    player->Send(2);
    EXPECT_EQ(thumbs.Take(), (Calls{"started"}));
    ASSERT_TRUE(pane->HasTicker());
    player->position = 123;
    ASSERT_TRUE(WaitUntil([&] { return !thumbs.calls.empty(); }, 1000));
    EXPECT_EQ(thumbs.Take(), (Calls{"playing 123"}));
    player->Send(3);  // while playing: ignored
    EXPECT_EQ(pane->GetPlayState(), 2);
    player->Send(2);  // the ticker that runs is kept
    EXPECT_TRUE(pane->HasTicker());
    thumbs.Take();

    // A pause reports, stops the ticker and polls the position every 450 ms.
    player->position = 200;
    player->Send(4);
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 200"}));
    EXPECT_FALSE(pane->HasTicker());
    EXPECT_TRUE(pane->IsTickerStopped());
    player->position = 300;
    ASSERT_TRUE(WaitUntil([&] { return !thumbs.calls.empty(); }, 1500));
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 300"}));
    player->Send(3);
    EXPECT_EQ(pane->GetPlayState(), 3);
    player->Send(6);
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 300", "playing 0"}));
    player->position = 400;  // timer 4009 is gone with the stop
    WaitUntil([] { return false; }, 600);
    EXPECT_TRUE(thumbs.calls.empty());

    // A seek-bar release (9) keeps the ticker through a pause for 300 ms; without a ticker it
    // only sets keep ticker, and playing again clears it.
    player->Send(9);
    EXPECT_TRUE(pane->IsKeepTicker());
    EXPECT_FALSE(pane->HasTicker());
    player->Send(2);
    EXPECT_FALSE(pane->IsKeepTicker());
    ASSERT_TRUE(pane->HasTicker());
    player->Send(9);
    player->Send(4);
    EXPECT_TRUE(pane->HasTicker());
    ASSERT_TRUE(WaitUntil([&] { return !pane->HasTicker(); }, 1000));
    EXPECT_FALSE(pane->IsKeepTicker());
    EXPECT_TRUE(pane->IsTickerStopped());  // the drag ended paused: queued ticks are dropped
    // Released into playback (9, then 2, as our player reports it): the next pause stops the
    // ticker as every pause does.
    player->Send(2);
    player->Send(9);
    player->Send(2);
    player->Send(4);
    EXPECT_FALSE(pane->HasTicker());
    EXPECT_FALSE(pane->IsKeepTicker());
    EXPECT_TRUE(pane->IsTickerStopped());

    // Event 2 and unknown states change nothing.
    thumbs.Take();
    player->sinks.front()->Invoke(kDispIdPlayerNotify, {1, 2});
    player->Send(8);
    EXPECT_TRUE(thumbs.calls.empty());
    EXPECT_EQ(pane->GetPlayState(), 8);
}

TEST_F(PreviewPane, APauseByAPressOnTheSeekBarKeepsTheTickerAndReportsNothing) {
    player->Send(2);
    Press(player->seekBar);
    EXPECT_EQ(player->seekBar->presses, 1);  // passed on to the player
    thumbs.Take();
    player->Send(4);
    EXPECT_TRUE(thumbs.calls.empty());
    EXPECT_TRUE(pane->HasTicker());
    EXPECT_EQ(pane->GetPlayState(), 4);

    // The pane's own pause after such a press (before Save or Cancel) reports as usual.
    player->Send(2);
    Press(player->seekBar);
    thumbs.Take();
    pane->ControlPlayback(4);
    player->Send(4);
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 0"}));

    // A press on a button (not wide and low) is an ordinary pause.
    player->Send(2);
    Press(player->button);
    thumbs.Take();
    player->Send(4);
    EXPECT_EQ(thumbs.Take(), (Calls{"started", "changed 0"}));
    EXPECT_FALSE(pane->HasTicker());
}

TEST_F(PreviewPane, AChangedMovieFileIsReportedOnceAndThePressStaysWithThePane) {
    const QString path = MovieFile();
    ASSERT_EQ(pane->LoadInitialMovie(path), 0);
    const QString caption = QStringLiteral("Host");
    pane->SetMessageCaption(&caption);
    Press(player->picture);
    EXPECT_EQ(player->picture->presses, 1);
    EXPECT_FALSE(pane->CheckSourceFileChanged());

    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("changed");
    }
    player->calls.clear();
    auto box = test::AnswerNextMessageBox(QMessageBox::Ok);
    Press(player->picture);
    ASSERT_TRUE(box->seen);
    EXPECT_EQ(box->text, LoadString(155));
    EXPECT_EQ(box->title, caption);
    EXPECT_EQ(box->icon, QMessageBox::Warning);
    EXPECT_EQ(player->picture->presses, 1);  // swallowed: the player is unloaded
    EXPECT_EQ(player->calls, (Calls{"Open "}));
    ASSERT_TRUE(WaitUntil([&] { return !parent.closeRequests.empty(); }));

    auto second = test::AnswerNextMessageBox(QMessageBox::Ok, 300);
    Press(player->seekBar);
    EXPECT_TRUE(pane->CheckSourceFileChanged());
    WaitUntil([] { return false; }, 400);
    EXPECT_FALSE(second->seen);
    EXPECT_EQ(parent.closeRequests, (std::vector<int>{7}));
}

class RecordingTarget : public IBRLUserEvent {
public:
    void OnPlayStateChange(int32_t state) override { calls.push_back({state}); }
    void OnPlayerNotify(int32_t a, int32_t b) override { calls.push_back({a, b}); }
    std::vector<std::vector<int32_t>> calls;
};

TEST(PreviewEventSink, DispatchesInDeclaredOrderAndRefusesShortEvents) {
    const int locks = LockCount();
    RecordingTarget target;
    {
        BRLEventDispatch sink;
        EXPECT_EQ(LockCount(), locks + 1);
        EXPECT_EQ(sink.Invoke(kDispIdPlayStateChange, {4}), DISP_E_MEMBERNOTFOUND);  // no target
        sink.SetTarget(&target);
        EXPECT_EQ(sink.Invoke(kDispIdPlayStateChange, {}), DISP_E_BADPARAMCOUNT);
        EXPECT_EQ(sink.Invoke(kDispIdPlayerNotify, {5}), DISP_E_BADPARAMCOUNT);
        EXPECT_EQ(sink.Invoke(kDispIdPlayStateChange, {4}), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(sink.Invoke(kDispIdPlayerNotify, {1, 2}), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(sink.Invoke(17, {1}), DISP_E_MEMBERNOTFOUND);
    }
    EXPECT_EQ(LockCount(), locks);
    EXPECT_EQ(target.calls, (std::vector<std::vector<int32_t>>{{4}, {1, 2}}));
}

// A window that counts its ticks.
class TickCounter : public WindowBase {
public:
    TickCounter() {
        Messages().Add(WM_PREVIEW_TICK, [this](uint32_t, uintptr_t, intptr_t, bool&) {
            ++ticks;
            return LRESULT{0};
        });
        Create(nullptr, QRect(0, 0, 20, 20));
    }
    int ticks = 0;
};

TEST(PreviewSeekThread, TicksEvery200MsAndStopsWithoutWaitingOutTheInterval) {
    TickCounter window;
    CSeekThread never(window.Handle());
    never.Stop();  // never started: returns at once

    CSeekThread ticker(window.Handle());
    ASSERT_TRUE(ticker.Start());
    WaitUntil([] { return false; }, 700);
    EXPECT_GE(window.ticks, 3);
    EXPECT_LE(window.ticks, 5);
    QElapsedTimer timer;
    timer.start();
    ticker.Stop();
    EXPECT_LT(timer.elapsed(), 100);
    EXPECT_FALSE(ticker.IsRunning());
    const int ticks = window.ticks;
    WaitUntil([] { return false; }, 300);
    EXPECT_LE(window.ticks, ticks + 1);  // at most one already queued

    // Posting to a window that is gone does nothing; the owner still stops it.
    CSeekThread orphan(window.Handle());
    window.DestroyWindow();
    ASSERT_TRUE(orphan.Start());
    WaitUntil([] { return false; }, 250);
    orphan.Stop();
}

}  // namespace
}  // namespace brevio
