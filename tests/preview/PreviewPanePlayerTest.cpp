// The preview pane with the real player on a generated movie: play, pause, a drag on the seek bar
// and playing to the end, each as the thumbnail pane hears it; and the pane's picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <algorithm>

#include "PreviewPaneFakes.h"
#include "TestHarness.h"
#include "player/BRLPlayer.h"
#include "preview/CPreviewContainer.h"
#include "testmovies/TestMovies.h"

namespace brevio {
namespace {

namespace tm = testmovies;
using test::WaitUntil;

bool Heard(const std::vector<std::string>& calls, const std::string& prefix) {
    return std::any_of(calls.begin(), calls.end(),
                       [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

void Mouse(QWidget* bar, QEvent::Type type, int x) {
    const QPointF at(x, bar->height() / 2);
    QMouseEvent event(type, at, bar->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &event);
}

TEST(PreviewPaneWithThePlayer, PlayPauseDragAndEndReachTheThumbnailPane) {
    RegisterPlayerComponent();
    tm::MovieOptions options;
    options.units = 2;
    options.framesPerUnit = 45;  // 3 s
    const auto movie = tm::MakeMovie(options);

    test::RecordingParent parent;
    test::RecordingThumbnails thumbs;
    CPreviewContainer pane;
    ASSERT_TRUE(pane.Create(&parent, QRect(0, 0, 10, 10)));
    int32_t width = 0, height = 0;
    ASSERT_EQ(pane.GetControlSize(&width, &height), S_OK);
    pane.setGeometry(0, 0, 328, 248 + height);
    pane.SetThumbnailContainer(&thumbs);
    ASSERT_EQ(pane.LoadInitialMovie(QString::fromStdString(movie.string())), 0);
    EXPECT_EQ(thumbs.Take(), (std::vector<std::string>{"changed 0"}));
    auto* player = qobject_cast<BRLPlayer*>(pane.PlayerWidget());
    ASSERT_NE(player, nullptr);
    const int64_t duration = pane.GetDuration();
    EXPECT_NEAR(duration, 30'030'000, 10'000);

    // A notified seek shows the picture there; the pane as the dialog shows it.
    ASSERT_EQ(pane.SetPosition(duration / 2, true), S_OK);
    EXPECT_EQ(thumbs.Take(), (std::vector<std::string>{"started", "changed 15015000"}));
    ASSERT_TRUE(WaitUntil([&] { return !player->IsSeekPending(); }, 10000));
    const QString shot = test::SaveScreenshot(&pane, QStringLiteral("preview-pane"));
    EXPECT_FALSE(shot.isEmpty());
    const QImage image = pane.grab().toImage();
    EXPECT_EQ(image.size(), QSize(328, 248 + height));
    EXPECT_EQ(image.pixelColor(1, 20), QColor(195, 195, 195));  // the frame's face
    EXPECT_EQ(image.pixelColor(0, 20), QColor(68, 58, 61));     // its outline
    EXPECT_EQ(image.pixelColor(3, 20), QColor(68, 58, 61));     // the inner rectangle

    // Play: the strip is emptied and follows the position.
    ASSERT_EQ(pane.ControlPlayback(2), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return Heard(thumbs.calls, "playing "); }, 5000));
    EXPECT_EQ(thumbs.calls.front(), "started");
    EXPECT_TRUE(pane.HasTicker());

    // Pause: one report of where the picture stands; the ticker stops.
    thumbs.Take();
    ASSERT_EQ(pane.ControlPlayback(4), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return pane.GetPlayState() == 4; }));
    int64_t paused = 0;
    player->GetPosition(&paused);
    EXPECT_EQ(thumbs.Take(),
              (std::vector<std::string>{"started", "changed " + std::to_string(paused)}));
    EXPECT_FALSE(pane.HasTicker());

    // A drag on the seek bar while playing: no report, the ticker goes on, playing resumes.
    ASSERT_EQ(pane.ControlPlayback(2), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return pane.GetPlayState() == 2 && pane.HasTicker(); }));
    thumbs.Take();
    QWidget* bar = player->SeekBarWidget();
    Mouse(bar, QEvent::MouseButtonPress, bar->width() / 8);
    ASSERT_TRUE(WaitUntil([&] { return pane.GetPlayState() == 4; }));
    Mouse(bar, QEvent::MouseMove, bar->width() / 4);
    Mouse(bar, QEvent::MouseButtonRelease, bar->width() / 4);
    ASSERT_TRUE(WaitUntil([&] { return pane.GetPlayState() == 2; }));
    EXPECT_FALSE(Heard(thumbs.calls, "changed"));
    EXPECT_TRUE(pane.HasTicker());
    // Playing again after the release: the next pause reports and stops the ticker.
    EXPECT_FALSE(pane.IsKeepTicker());
    ASSERT_EQ(pane.ControlPlayback(4), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return pane.GetPlayState() == 4; }));
    EXPECT_TRUE(Heard(thumbs.calls, "changed"));
    EXPECT_FALSE(pane.HasTicker());
    ASSERT_EQ(pane.ControlPlayback(2), S_OK);

    // To the end: the last position is reported, then playing position 0.
    ASSERT_TRUE(WaitUntil([&] { return pane.GetPlayState() == 6; }, 8000));
    const std::vector<std::string> end(thumbs.calls.end() - 3, thumbs.calls.end());
    EXPECT_EQ(end, (std::vector<std::string>{"started", "changed " + std::to_string(duration - 1),
                                             "playing 0"}));
    EXPECT_TRUE(parent.closeRequests.empty());
}

}  // namespace
}  // namespace brevio
