#pragma once
// What the chapter strip tests share: a preview pane that records what it is asked, frame sources
// that are slow or have no frames, mouse input as the system delivers it, and the strip set up in a
// parent as the pane lays it out.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "TestHarness.h"
#include "framesource/FrameSource.h"
#include "interfaces/IBRVPreviewContainer.h"
#include "interfaces/IBRVThumbnailContainer.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailWndChapter.h"

namespace brevio::chaptertest {

namespace tm = testmovies;

// A generated chapter movie without sound.
inline tm::MovieOptions ChapterMovie(int chapters, int framesPerChapter) {
    tm::MovieOptions options;
    options.units = chapters;
    options.framesPerUnit = framesPerChapter;
    options.chapters = true;
    options.audio = tm::Audio::None;
    return options;
}

// The preview pane as the strip sees it: records what it was asked.
class RecordingPreview : public IBRVPreviewContainer {
public:
    HRESULT OpenMovie(const QString& path) override {
        openedPath = path;
        return S_OK;
    }
    HRESULT ControlPlayback(int32_t code) override {
        playback.push_back(code);
        return S_OK;
    }
    HRESULT SetPosition(int64_t ticks, bool notify) override {
        positions.push_back(ticks);
        notified = notify;
        if (notify && sink != nullptr) {
            sink->OnPlaybackStarted();
            sink->OnPositionChanged(ticks);
        }
        return S_OK;
    }
    void CloseMovie() override {}

    IBRVThumbnailContainer* sink = nullptr;  // told of notified seeks, as the preview pane does
    QString openedPath;
    std::vector<int32_t> playback;
    std::vector<int64_t> positions;
    bool notified = false;
};

// The real frame source, taking at least `delayMs` per frame, so that a test can act while the
// worker is still early in a long movie.
class PacedFrameSource : public IFrameSource {
public:
    explicit PacedFrameSource(int delayMs) : delay_(delayMs) {}
    HRESULT Open(const QString& path, int32_t kind) override { return real_.Open(path, kind); }
    HRESULT GetFrame(int64_t position, int32_t flags, std::unique_ptr<IFrameData>* frame) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
        return real_.GetFrame(position, flags, frame);
    }
    HRESULT GetFrameSize(QSize* size) override { return real_.GetFrameSize(size); }
    HRESULT GetScaledFrame(int64_t position, QSize size, QImage* picture) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
        return real_.GetScaledFrame(position, size, picture);
    }

private:
    FrameSource real_;
    int delay_;
};

// Opens movies but has no frames to give.
class FramelessSource : public IFrameSource {
public:
    HRESULT Open(const QString&, int32_t) override { return S_OK; }
    HRESULT GetFrame(int64_t, int32_t, std::unique_ptr<IFrameData>*) override { return E_FAIL; }
};

// delayMs < 0: a frame source without frames.
inline void UseFrameSource(int delayMs) {
    ComponentRegistry::Instance().Register(
        kFrameSourceName, [delayMs](std::unique_ptr<IComponent>& out) -> HRESULT {
            if (delayMs < 0) {
                out = std::make_unique<FramelessSource>();
            } else if (delayMs > 0) {
                out = std::make_unique<PacedFrameSource>(delayMs);
            } else {
                out = std::make_unique<FrameSource>();
            }
            return S_OK;
        });
}

inline void SendMouse(QWidget* target, QEvent::Type type, const QPoint& at) {
    const QPointF local(at);
    const QPointF global(target->mapToGlobal(at));
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, local, global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// What the system delivers for a click and for a double-click.
inline void Click(QWidget* target, const QPoint& at) {
    SendMouse(target, QEvent::MouseButtonPress, at);
    SendMouse(target, QEvent::MouseButtonRelease, at);
}
inline void DoubleClick(QWidget* target, const QPoint& at) {
    Click(target, at);
    SendMouse(target, QEvent::MouseButtonDblClick, at);
    SendMouse(target, QEvent::MouseButtonRelease, at);
}

inline bool IsWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return false;
        }
    }
    return true;
}

// The strip in a parent of the pane's size, as the pane lays it out.
struct Strip {
    explicit Strip(const std::filesystem::path& movie, IBRVPreviewContainer* preview = nullptr)
        : path(QString::fromStdString(movie.string())) {
        parent.resize(700, 140);
        view = new CThumbnailWndChapter;  // owned by `parent` once created
        view->SetPreview(preview);
        openResult = view->OpenDocument(path);
        created = view->Create(
            &parent, QRect(4, 36, 690, 64 + view->horizontalScrollBar()->sizeHint().height()));
        parent.show();
    }
    ~Strip() {
        view->DestroyWindow();
        delete view;
    }
    int64_t Start(int p) const {
        int64_t t = -1;
        view->GetDocument().GetUnitStartTime(static_cast<unsigned>(p), &t);
        return t;
    }
    bool WaitForWorker(int timeoutMs = 20000) const {
        return test::WaitUntil([this] { return !view->IsWorkerActive(); }, timeoutMs);
    }
    // A client point on strip position p's image.
    QPoint PointOn(int p) const {
        return QPoint(68 * p + 4 + 20 - view->GetScrollOffset().x(), 30);
    }
    int Selected() const {
        std::vector<int> units;
        view->GetSelectedUnits(units);
        return units.size() == 1 ? units[0] : -1;
    }

    QString path;
    QWidget parent;
    CThumbnailWndChapter* view = nullptr;
    int32_t openResult = -1;
    bool created = false;
};

class ChapterStrip : public ::testing::Test {
protected:
    void SetUp() override { UseFrameSource(0); }
    void TearDown() override { UseFrameSource(0); }
};

}  // namespace brevio::chaptertest
