#pragma once
// The thumbnail worker of the strip: on its own thread and with its own frame source, makes one
// 64 x 48 thumbnail per scene, in strip order, from the frame at the start of each scene, and hands
// each to StoreThumbnail. It tells the view by posted messages only:
//  - WM_THUMBNAILS_CHANGED (wParam the run) after every even thumbnail, after the last one and
//    when a complete pass has cleared `busy`, for the view to repaint;
//  - WM_THUMBNAIL_FAILED (wParam the run) when a thumbnail cannot be made.
// Runs are numbered on the UI thread so that a message from an earlier run can be told apart.
//
// The UI thread sets `busy` and `runFlag` and takes every input as a value before the thread
// starts; the worker reads nothing of the view or its document. The worker clears `busy` only
// after a complete pass; a stopped run, an empty run or a movie the frame source cannot open leave
// it at 1. A subclass that overrides StoreThumbnail or Run must stop and join the worker in its own
// destructor.
#include <QImage>
#include <QString>
#include <atomic>
#include <cstdint>

#include "platform/CThreadBase.h"
#include "platform/WindowHandle.h"
#include "window/WindowMessages.h"

namespace brevio {

class CCreateThumbnailThread : public CThreadBase {
public:
    // A class-private message of the strip window: thumbnails have changed, repaint.
    static constexpr uint32_t WM_THUMBNAILS_CHANGED = WM_USER + 1;

    // What one run makes: `count` thumbnails of the movie at `moviePath`, thumbnail i from the
    // frame at firstStart + i × unitDuration; messages go to `view`.
    struct Job {
        QString moviePath;
        int64_t firstStart = 0;
        int64_t unitDuration = 0;
        int count = 0;
        WindowHandle view;
        uint32_t run = 0;  // set by StartWorker
    };

    CCreateThumbnailThread() = default;
    ~CCreateThumbnailThread() override;

    // UI thread: stops a running worker, then sets busy = 1 and runFlag = 1, numbers the run and
    // starts the thread on the job. False when the thread could not be started (busy stays 1).
    bool StartWorker(Job job);
    // UI thread: clears runFlag and waits without time limit for the thread to end.
    void StopWorker();

    // 1 while a pass is being made (see above).
    bool IsBusy() const { return busy_.load() >= 1; }
    // The number of the last run started on the UI thread (0 before the first).
    uint32_t CurrentRun() const { return run_.load(); }

protected:
    uint32_t Run() override;
    // Worker thread: thumbnail `index` of the run is made; take it (swap it into place). False
    // when it has nowhere to go, which fails the run.
    virtual bool StoreThumbnail(int index, QImage& image) = 0;

    std::atomic<int32_t> runFlag_{1};
    std::atomic<int32_t> busy_{0};

private:
    void Post(uint32_t message) const;

    Job job_;  // written by the UI thread before Start, read by the worker only
    std::atomic<uint32_t> run_{0};
};

}  // namespace brevio
