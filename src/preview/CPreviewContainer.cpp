#include "CPreviewContainer.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>

#include "document/SourceFileWatch.h"
#include "interfaces/IBRVThumbnailContainer.h"
#include "module/ModuleHelpers.h"
#include "platform/AccessibleFactory.h"
#include "platform/ComponentRegistry.h"
#include "player/IBRLPlayer.h"
#include "preview/BRLEventDispatch.h"
#include "preview/CSeekThread.h"
#include "resources/AccessibleTexts.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"
#include "window/PaneColors.h"

namespace brevio {

CPreviewContainer::CPreviewContainer(QWidget* parent) : WindowBase(parent) {
    // Nothing is erased under the frame; the corners outside its rounding show the dialog's face.
    EnableFlickerFreePaint();
    MakeAccessibleGroup(this, resources::AccessibleString(resources::AccessibleText::Preview));
    Messages().Add(WM_CREATE, [this](uint32_t, uintptr_t, intptr_t, bool&) { return OnCreate(); });
    Messages().Add(WM_DESTROY, [this](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        OnDestroy();
        return 0;
    });
    Messages().Add(WM_SIZE, [this](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        Layout();
        return 0;
    });
    Messages().Add(WM_TIMER, [this](uint32_t, uintptr_t id, intptr_t, bool&) -> LRESULT {
        OnTimer(static_cast<uint32_t>(id));
        return 0;
    });
    Messages().Add(WM_PARENTNOTIFY, [this](uint32_t, uintptr_t w, intptr_t l, bool&) -> LRESULT {
        if (LOWORD(w) == WM_LBUTTONDOWN) {
            OnParentNotifyButtonDown(
                QPoint(LOWORD(static_cast<uintptr_t>(l)), HIWORD(static_cast<uintptr_t>(l))));
        }
        return 0;
    });
    Messages().Add(WM_PREVIEW_TICK, [this](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        OnTick();
        return 0;
    });
}

CPreviewContainer::~CPreviewContainer() {
    // The ticker goes first (it posts to this window), then the sink leaves the player. The
    // player's widget is a Qt child and goes with the QWidget part.
    StopTicker();
    Unadvise();
    if (host_ != nullptr) {
        host_->removeEventFilter(this);
        for (QObject* child : host_->findChildren<QObject*>()) child->removeEventFilter(this);
    }
}

// ---- creation and destruction ----

LRESULT CPreviewContainer::OnCreate() {
    // A window made anew (a dialog run again) starts from the beginning with its new player.
    playState_ = 0;
    lastReported_ = 0;
    lastTicked_ = 0;
    duration_ = 0;
    clickPoint_ = QPoint();
    sourceWatch_.Rearm();
    keepTicker_ = false;
    tickerStopped_ = false;
    int32_t width = 0;
    int32_t height = 0;
    GetControlSize(&width, &height);  // with no control yet: a temporary one is asked
    if (FAILED(CreatePlayer())) PostCloseRequest(BRVDLG_FAILURE);
    if (caption_.isEmpty()) caption_ = LoadString(ids::kCaption);
    return 0;
}

HRESULT CPreviewContainer::CreatePlayer() {
    // A window made anew (a dialog run again) gets a new control.
    if (host_ != nullptr) {
        host_->hide();
        host_->deleteLater();
    }
    host_ = nullptr;
    player_ = nullptr;
    playback_ = nullptr;
    connectionPoint_ = nullptr;

    std::unique_ptr<IComponent> component;
    if (FAILED(ComponentRegistry::Instance().Create(kPlayerProgId, component))) return E_FAIL;
    auto* widget = dynamic_cast<QWidget*>(component.get());
    if (widget == nullptr) return E_FAIL;
    component.release();  // owned by Qt from here on: a child of the pane
    widget->setParent(this);
    host_ = widget;
    WatchPresses(widget);
    widget->show();

    player_ = dynamic_cast<IBRLPlayer*>(widget);
    if (player_ == nullptr) return E_NOINTERFACE;
    playback_ = dynamic_cast<IBRLPlayback*>(widget);
    if (playback_ == nullptr) return E_NOINTERFACE;
    auto dispatch = std::make_unique<BRLEventDispatch>();
    dispatch->SetTarget(this);
    connectionPoint_ = dynamic_cast<IBRLEventSource*>(widget);
    if (connectionPoint_ == nullptr) return E_NOINTERFACE;
    uint32_t cookie = 0;
    const HRESULT hr = connectionPoint_->Advise(dispatch.get(), &cookie);
    if (FAILED(hr)) return hr;
    cookie_ = cookie;
    dispatch_ = std::move(dispatch);  // the pane keeps the sink until it is unadvised
    player_->SetNotifications(0);
    player_->SetDisplayMode(0);
    player_->SetAutoStart(0);
    return S_OK;
}

void CPreviewContainer::OnDestroy() {
    Unadvise();
    StopTicker();
}

void CPreviewContainer::Unadvise() {
    if (connectionPoint_ == nullptr) return;
    if (cookie_ != 0 && host_ != nullptr) connectionPoint_->Unadvise(cookie_);
    cookie_ = 0;
    connectionPoint_ = nullptr;
    dispatch_.reset();
}

void CPreviewContainer::WatchPresses(QObject* object) {
    object->installEventFilter(this);
    for (QObject* child : object->children()) WatchPresses(child);
}

bool CPreviewContainer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child != nullptr && child->isWidgetType()) WatchPresses(child);
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress || !IsWindow()) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto* press = static_cast<QMouseEvent*>(event);
    if (widget == nullptr || press->button() != Qt::LeftButton) return false;
    // Once, at the widget pressed: Qt passes an ignored press on to the parents.
    const QPoint local = press->position().toPoint();
    if (widget->childAt(local) != nullptr) return false;
    const QPoint point = widget->mapTo(this, local);
    const auto packed =
        MAKEWPARAM(static_cast<uint16_t>(point.x()), static_cast<uint16_t>(point.y()));
    SendMessage(WM_PARENTNOTIFY, MAKEWPARAM(static_cast<uint16_t>(WM_LBUTTONDOWN), 0),
                static_cast<intptr_t>(packed));
    // A press that found the movie changed does not reach the unloaded player.
    return sourceWatch_.ChangeReported();
}

void CPreviewContainer::OnParentNotifyButtonDown(const QPoint& point) {
    if (!CheckSourceFileChanged()) clickPoint_ = point;
}

void CPreviewContainer::PostCloseRequest(uintptr_t code) {
    ParentHandle(this).PostMessage(WM_BRV_CLOSE_REQUEST, code, 0);
}

// ---- layout and painting ----

void CPreviewContainer::Layout() {
    if (host_ == nullptr) return;
    int32_t width = 0;
    int32_t height = 0;
    if (player_ == nullptr || FAILED(player_->GetControlSize(&width, &height))) height = 0;
    host_->setGeometry(kMargin, kMargin, kPictureWidth, kPictureHeight + height);
}

void CPreviewContainer::PaintContent(QPainter& painter) {
    const QRect client = rect();
    if (client.width() < 1 || client.height() < 1) return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(kPaneFrameFace);
    painter.setPen(QPen(kPaneFrameLine, 1));
    // Win32 rectangles leave out their right and bottom edges: the outlines end one pixel in.
    painter.drawRoundedRect(QRect(0, 0, client.width() - 1, client.height() - 1), 1.5, 1.5);
    painter.drawRect(QRect(3, 3, client.width() - 7, client.height() - 7));
}

// ---- loading ----

HRESULT CPreviewContainer::OpenStep(const QString& path) {
    if (path.isNull() || !HasPlayer()) return E_FAIL;
    HRESULT hr = player_->Open(path);
    if (FAILED(hr)) return hr;
    player_->SetRepeat(0);
    std::unique_ptr<IBRLMovie> movie;
    hr = player_->GetMovie(&movie);
    if (FAILED(hr)) return hr;
    if (movie == nullptr) return E_FAIL;
    int64_t duration = 0;
    hr = movie->GetDuration(&duration);
    if (FAILED(hr)) return hr;
    duration_ = duration;
    return S_OK;
}

int32_t CPreviewContainer::LoadInitialMovie(const QString& path) {
    if (FAILED(OpenStep(path))) {
        CloseMovie();
        if (sink_ != nullptr) sink_->OnPlaybackStarted();
        return BRVDLG_FAILURE;
    }
    sourceWatch_.Watch(path);
    if (sink_ != nullptr) sink_->OnPositionChanged(0);
    return BRVDLG_SAVED;
}

HRESULT CPreviewContainer::OpenMovie(const QString& path) {
    const HRESULT hr = OpenStep(path);
    if (FAILED(hr)) {
        CloseMovie();
        if (sink_ != nullptr) sink_->OnPlaybackStarted();
        return hr;
    }
    return S_OK;
}

void CPreviewContainer::CloseMovie() {
    KillTimer(kReportTimerId);
    if (player_ != nullptr) player_->Open(QStringLiteral(""));
}

// ---- playback ----

HRESULT CPreviewContainer::ControlPlayback(int32_t code) {
    if (!HasPlayer()) return 0;
    switch (code) {
        case kPlay:
            return playback_->Play();
        case kPause:
        case kStop:
            // A pause or stop of our own is no press on the seek bar: whatever press was stored
            // last must not swallow its report.
            clickPoint_ = QPoint();
            return code == kPause ? playback_->Pause() : playback_->Stop();
        case kPlayUnlessPaused:
            if (playState_ == BRLStatePaused) return 1;
            return playback_->Play();
        default:
            return 1;
    }
}

HRESULT CPreviewContainer::SetPosition(int64_t ticks, bool notify) {
    if (!HasPlayer()) return 0;
    const auto fail = [this](HRESULT hr) {
        if (sink_ != nullptr) sink_->OnPlaybackStarted();
        return hr;
    };
    HRESULT hr = S_OK;
    if (playState_ != BRLStatePaused) {
        hr = ControlPlayback(kPause);
        if (FAILED(hr)) return fail(hr);
    }
    int64_t position = ticks <= 0 ? 0 : ticks;
    if (position >= duration_ - 1) position = duration_ - 1;  // -1 with no movie
    hr = playback_->SetPosition(position);
    if (FAILED(hr)) return fail(hr);
    if (notify) {
        hr = ReportPosition();
        if (FAILED(hr)) return fail(hr);
    }
    return hr;
}

HRESULT CPreviewContainer::ReportPosition() {
    if (playback_ == nullptr || sink_ == nullptr) return E_FAIL;
    int64_t position = 0;
    HRESULT hr = playback_->GetPosition(&position);
    if (FAILED(hr)) return hr;
    sink_->OnPlaybackStarted();
    hr = sink_->OnPositionChanged(position);
    if (FAILED(hr)) return hr;
    lastReported_ = position;
    return S_OK;
}

void CPreviewContainer::OnPlayStateChange(int32_t state) {
    switch (state) {
        case BRLStatePlaying:
            KillTimer(kReportTimerId);
            if (sink_ != nullptr) sink_->OnPlaybackStarted();
            // Playing again ends a seek-bar drag (our player reports its release, 9, and then 2):
            // the ticker runs on for the playback, and the next pause stops it.
            KillTimer(kKeepTickerTimerId);
            keepTicker_ = false;
            if (ticker_ == nullptr) {
                tickerStopped_ = false;
                StartTicker();
            }
            break;
        case BRLStateSeeking:
            if (playState_ == BRLStatePlaying) return;
            break;
        case BRLStatePaused:
            if (ClickTest()) {
                // A pause by a press on the seek bar: the ticker follows the drag, no report.
                playState_ = BRLStatePaused;
                return;
            }
            if (sink_ != nullptr && playState_ == BRLStatePlaying) ReportPosition();
            SetTimer(kReportTimerId, kReportIntervalMs);
            StopStep();
            break;
        case BRLStateStopped:
            KillTimer(kReportTimerId);
            if (sink_ != nullptr) {
                ReportPosition();
                sink_->OnPlayingPosition(0);
            }
            StopStep();
            break;
        case BRLStateSeekReleased:
            keepTicker_ = true;
            if (ticker_ != nullptr) SetTimer(kKeepTickerTimerId, kKeepTickerMs);
            break;
        default:
            break;
    }
    playState_ = state;
}

void CPreviewContainer::OnPlayerNotify(int32_t /*a*/, int32_t /*b*/) {}

bool CPreviewContainer::ClickTest() const {
    if (playState_ != BRLStatePlaying) return false;
    if (!rect().contains(clickPoint_)) return false;
    // The window under the press: the pane is never covered inside the dialog, so the window at
    // that screen point is the pane's own descendant there.
    const QWidget* pressed = childAt(clickPoint_);
    if (pressed == nullptr) return false;
    int32_t width = 0;
    int32_t height = 0;
    if (player_ == nullptr || FAILED(player_->GetControlSize(&width, &height))) return false;
    return pressed->height() < (2 * height) / 3 && pressed->width() > width / 2;
}

void CPreviewContainer::StartTicker() {
    auto ticker = std::make_unique<CSeekThread>(Handle());
    if (ticker->Start()) ticker_ = std::move(ticker);
}

void CPreviewContainer::StopTicker() {
    if (ticker_ == nullptr) return;
    ticker_->Stop();
    ticker_.reset();
}

void CPreviewContainer::StopStep() {
    if (keepTicker_ || ticker_ == nullptr) return;
    StopTicker();
    tickerStopped_ = true;
}

void CPreviewContainer::OnTimer(uint32_t id) {
    if (id == kReportTimerId) {
        if (playback_ == nullptr || sink_ == nullptr) return;
        int64_t position = 0;
        if (SUCCEEDED(playback_->GetPosition(&position)) && position != lastReported_) {
            ReportPosition();
        }
    } else if (id == kKeepTickerTimerId) {
        KillTimer(kKeepTickerTimerId);
        StopTicker();
        keepTicker_ = false;
        // The drag ended in a pause or a stop: ticks already queued come too late.
        if (playState_ != BRLStatePlaying) tickerStopped_ = true;
    }
}

void CPreviewContainer::OnTick() {
    if (!HasPlayer() || sink_ == nullptr || tickerStopped_) return;
    int64_t position = 0;
    if (FAILED(playback_->GetPosition(&position)) || position == lastTicked_) return;
    sink_->OnPlayingPosition(position);
    lastTicked_ = position;
}

// ---- settings and the source file ----

HRESULT CPreviewContainer::GetControlSize(int32_t* width, int32_t* height) {
    if (width == nullptr || height == nullptr) return E_POINTER;
    if (player_ != nullptr) return player_->GetControlSize(width, height);
    std::unique_ptr<IBRLPlayer> temporary;
    const HRESULT hr = ComponentRegistry::Instance().CreateAs(kPlayerProgId, temporary);
    if (FAILED(hr)) return hr;
    return temporary->GetControlSize(width, height);
}

HRESULT CPreviewContainer::SetPlayerSetting(int32_t value, bool reset) {
    if (!HasPlayer()) return 0;
    return playback_->SetVolume(reset ? 0 : value);
}

HRESULT CPreviewContainer::GetPlayerSetting(int32_t* value, int32_t* flag) {
    if (value == nullptr || flag == nullptr) return E_POINTER;
    if (playback_ != nullptr) playback_->GetVolume(value);
    return S_OK;
}

void CPreviewContainer::SetMessageCaption(const QString* text) {
    caption_ = resources::CaptionOrDefault(text);
}

bool CPreviewContainer::CheckSourceFileChanged() {
    return sourceWatch_.CheckChanged([this] {
        CloseMovie();
        ShowMessage(this, ids::kSourceChanged, &caption_, MB_OK | MB_ICONEXCLAMATION);
        PostCloseRequest(BRVDLG_FAILURE);
    });
}

}  // namespace brevio
