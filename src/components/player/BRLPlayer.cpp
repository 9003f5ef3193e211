#include "BRLPlayer.h"

#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

#include "PictureView.h"
#include "SeekBar.h"
#include "platform/AccessibleFactory.h"
#include "resources/AccessibleTexts.h"

namespace brevio {

namespace {

constexpr int kRefreshMs = 100;

QString FormatTime(int64_t ticks) {
    const int64_t seconds = std::max<int64_t>(ticks, 0) / 10'000'000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

BRLPlayer::BRLPlayer(QWidget* parent)
    : QWidget(parent), core_([this](std::function<void()> task) {
          QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      }) {
    setFixedSize(kPictureWidth, kPictureHeight + kControlBarHeight);
    MakeAccessibleGroup(this, resources::AccessibleString(resources::AccessibleText::Player));
    picture_ = new player::PictureView(this);
    picture_->setGeometry(0, 0, kPictureWidth, kPictureHeight);

    const int row = kPictureHeight + 4;
    playButton_ = new QToolButton(this);
    playButton_->setGeometry(4, row, 24, 24);
    playButton_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    playButton_->setAutoRaise(true);
    stopButton_ = new QToolButton(this);
    stopButton_->setGeometry(30, row, 24, 24);
    stopButton_->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    stopButton_->setAutoRaise(true);
    stopButton_->setAccessibleName(resources::AccessibleString(resources::AccessibleText::Stop));
    stopButton_->setToolTip(resources::AccessibleString(resources::AccessibleText::StopTip));
    NamePlayButton(false);
    // Wide and low, so that a press on it can be told from a press on a button.
    seekBar_ = new player::SeekBar(this);
    seekBar_->setGeometry(58, kPictureHeight + 9, 172, 14);
    timeLabel_ = new QLabel(this);
    timeLabel_->setGeometry(232, row, 86, 24);
    timeLabel_->setAlignment(Qt::AlignCenter);
    QFont small = timeLabel_->font();
    small.setPixelSize(11);
    timeLabel_->setFont(small);

    connect(playButton_, &QToolButton::clicked, this, [this] {
        if (core_.IsPlaying()) {
            core_.Pause();
        } else {
            core_.Play();
        }
    });
    connect(stopButton_, &QToolButton::clicked, this, [this] { core_.Stop(); });
    seekBar_->onPressed = [this](int64_t t) { core_.PressSeekBar(t); };
    seekBar_->onDragged = [this](int64_t t) { core_.DragSeekBar(t); };
    seekBar_->onReleased = [this](int64_t t) { core_.ReleaseSeekBar(t); };
    seekBar_->onPlayPauseKey = [this] { playButton_->click(); };
    core_.onChanged = [this] { RefreshControls(); };
    core_.pixelRatio = [this] { return devicePixelRatioF(); };
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] { RefreshControls(); });
    RefreshControls();
}

// ---- look ----

void BRLPlayer::RefreshControls() {
    const bool loaded = core_.IsLoaded();
    const bool playing = core_.IsPlaying();
    if (playing != refreshTimer_.isActive()) {
        // While playing, the time and the seek bar follow the clock ten times a second.
        if (playing) {
            refreshTimer_.start();
        } else {
            refreshTimer_.stop();
        }
        playButton_->setIcon(
            style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
        NamePlayButton(playing);
    }
    const int64_t position = core_.Position();
    const int64_t duration = core_.Duration();
    picture_->SetPosition(position, duration);
    picture_->SetPicture(core_.Picture());
    playButton_->setEnabled(loaded);
    stopButton_->setEnabled(loaded);
    seekBar_->setEnabled(loaded);
    seekBar_->SetDuration(duration);
    seekBar_->SetValue(position);
    timeLabel_->setText(loaded ? FormatTime(position) + QStringLiteral(" / ") + FormatTime(duration)
                               : QStringLiteral("--:-- / --:--"));
}

void BRLPlayer::NamePlayButton(bool playing) {
    using resources::AccessibleText;
    playButton_->setAccessibleName(
        resources::AccessibleString(playing ? AccessibleText::Pause : AccessibleText::Play));
    playButton_->setToolTip(
        resources::AccessibleString(playing ? AccessibleText::PauseTip : AccessibleText::PlayTip));
}

void BRLPlayer::SetScenePager(std::function<int64_t(int64_t position, int direction)> pager) {
    seekBar_->pageTarget = std::move(pager);
}

QWidget* BRLPlayer::SeekBarWidget() const {
    return seekBar_;
}

void RegisterPlayerComponent() {
    ComponentRegistry::Instance().Register(kPlayerProgId,
                                           [](std::unique_ptr<IComponent>& out) -> HRESULT {
                                               out = std::make_unique<BRLPlayer>();
                                               return S_OK;
                                           });
}

}  // namespace brevio
