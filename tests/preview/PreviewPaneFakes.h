#pragma once
// A player that records the calls it gets and sends the states a test tells it to, a thumbnail
// pane that records what it hears, and a parent window that records close requests.
#include <QMouseEvent>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/IBRVThumbnailContainer.h"
#include "player/IBRLPlayer.h"
#include "window/WindowBase.h"

namespace brevio::test {

// A child of the fake player that counts the presses it receives.
class PressCounter : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
};

class FakePlayer : public QWidget,
                   public IComponent,
                   public IBRLPlayer,
                   public IBRLPlayback,
                   public IBRLEventSource {
public:
    static constexpr int32_t kControlHeight = 30;

    FakePlayer() {
        resize(320, 240 + kControlHeight);
        picture = new PressCounter(this);
        picture->setGeometry(0, 0, 320, 240);
        button = new PressCounter(this);
        button->setGeometry(4, 243, 24, 24);
        seekBar = new PressCounter(this);  // wide and low: lower than 20, wider than 160
        seekBar->setGeometry(40, 248, 200, 12);
    }

    // Sends a play state as the player's event.
    void Send(int32_t state) {
        for (auto* sink : sinks) sink->Invoke(kDispIdPlayStateChange, {state});
    }

    HRESULT Open(const QString& path) override {
        calls.push_back("Open " + path.toStdString());
        return openResult;
    }
    HRESULT SetAutoStart(int32_t on) override { return Record("SetAutoStart", on); }
    HRESULT SetRepeat(int32_t on) override { return Record("SetRepeat", on); }
    HRESULT SetNotifications(int32_t on) override { return Record("SetNotifications", on); }
    HRESULT GetControlSize(int32_t* width, int32_t* height) override {
        *width = 320;
        *height = kControlHeight;
        return S_OK;
    }
    HRESULT SetDisplayMode(int32_t mode) override { return Record("SetDisplayMode", mode); }
    HRESULT GetMovie(std::unique_ptr<IBRLMovie>* movie) override {
        struct Movie : IBRLMovie {
            explicit Movie(int64_t d) : d_(d) {}
            HRESULT GetDuration(int64_t* ticks) override {
                *ticks = d_;
                return S_OK;
            }
            int64_t d_;
        };
        *movie = std::make_unique<Movie>(duration);
        return S_OK;
    }
    HRESULT Play() override { return Record("Play", 0, playResult); }
    HRESULT Stop() override { return Record("Stop", 0); }
    HRESULT Pause() override { return Record("Pause", 0); }
    HRESULT SetVolume(int32_t value) override {
        volume = value;
        return Record("SetVolume", value);
    }
    HRESULT GetVolume(int32_t* value) override {
        *value = volume;
        return S_OK;
    }
    HRESULT SetPosition(int64_t ticks) override {
        position = ticks;
        calls.push_back("SetPosition " + std::to_string(ticks));
        return S_OK;
    }
    HRESULT GetPosition(int64_t* ticks) override {
        *ticks = position;
        return S_OK;
    }
    HRESULT Advise(IBRLPlayerEvents* sink, uint32_t* cookie) override {
        sinks.push_back(sink);
        *cookie = 7;
        calls.push_back("Advise");
        return adviseResult;
    }
    HRESULT Unadvise(uint32_t cookie) override {
        calls.push_back("Unadvise " + std::to_string(cookie));
        ++unadvised;
        sinks.clear();
        return S_OK;
    }

    static inline int unadvised = 0;  // by every fake player
    std::vector<std::string> calls;
    std::vector<IBRLPlayerEvents*> sinks;
    HRESULT openResult = S_OK;
    HRESULT playResult = S_OK;
    HRESULT adviseResult = S_OK;
    int64_t position = 0;
    int64_t duration = 100'000'000;
    int32_t volume = 5000;
    PressCounter* picture;
    PressCounter* button;
    PressCounter* seekBar;

private:
    HRESULT Record(const char* name, int32_t value, HRESULT result = S_OK) {
        calls.push_back(std::string(name) + " " + std::to_string(value));
        return result;
    }
};

class RecordingThumbnails : public IBRVThumbnailContainer {
public:
    int32_t LoadMovie(const QString&) override { return 0; }
    void UnloadMovie() override {}
    HRESULT OnPositionChanged(int64_t ticks) override {
        calls.push_back("changed " + std::to_string(ticks));
        return positionResult;
    }
    void OnPlaybackStarted() override { calls.push_back("started"); }
    void OnPlayingPosition(int64_t ticks) override {
        calls.push_back("playing " + std::to_string(ticks));
    }
    std::vector<std::string> Take() { return std::exchange(calls, {}); }
    std::vector<std::string> calls;
    HRESULT positionResult = S_OK;
};

// The pane's parent: records the close requests posted to it.
class RecordingParent : public WindowBase {
public:
    RecordingParent() {
        Messages().Add(WM_BRV_CLOSE_REQUEST, [this](uint32_t, uintptr_t code, intptr_t, bool&) {
            closeRequests.push_back(static_cast<int>(code));
            return LRESULT{0};
        });
        Create(nullptr, QRect(100, 100, 400, 340));
    }
    std::vector<int> closeRequests;
};

}  // namespace brevio::test
