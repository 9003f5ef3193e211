#pragma once
// The thumbnail worker of both strips: on its own thread and with its own frame source, makes one
// 64 x 48 thumbnail per index of a run and hands each to StoreThumbnail. One loop serves both
// views (ThumbnailScan): the shooting-unit strip makes its thumbnails in strip order, the chapter
// strip every chapter, those the view asks for first (SetPriorityStart) ahead of the rest. It tells
// the view by posted messages only:
//  - WM_THUMBNAILS_CHANGED (wParam the run) after every even thumbnail, after the last one and
//    when a complete pass has cleared `busy`, for the view to repaint;
//  - WM_THUMBNAIL_FAILED (wParam the run) when a thumbnail cannot be made.
// Runs are numbered on the UI thread so that a message from an earlier run can be told apart.
//
// The UI thread takes every input as a value before the thread starts; the worker reads nothing
// of the view or its document (a chapter run opens a document of its own). In a strip run `busy`
// is set on the UI thread at the start and cleared by the worker only after a complete pass; a
// stopped run, an empty run or a movie the frame source cannot open leave it at 1. A chapter run
// leaves `busy` alone. A subclass that overrides one of the worker-thread hooks must stop and join
// the worker in its own destructor.
#include <QImage>
#include <QString>
#include <atomic>
#include <cstdint>

#include "platform/CThreadBase.h"
#include "platform/HResult.h"
#include "platform/WindowHandle.h"
#include "window/WindowMessages.h"

namespace brevio {

class CBRVWrapper;
class CThumbnailMaker;

class CCreateThumbnailThread : public CThreadBase {
public:
    // A class-private message of the strip window: thumbnails have changed, repaint.
    static constexpr uint32_t WM_THUMBNAILS_CHANGED = WM_USER + 1;

    // What one run makes: `count` thumbnails of the movie at `moviePath`; messages go to `view`.
    // Thumbnail i is the frame at firstStart + i × unitDuration, or in a chapter run the frame at
    // the start of unit i of the movie as it is on disk.
    struct Job {
        QString moviePath;
        int64_t firstStart = 0;
        int64_t unitDuration = 0;
        int count = 0;
        bool chapters = false;
        qreal pixelRatio = 1.0;  // the view's device pixels per logical pixel
        WindowHandle view;
        uint32_t run = 0;  // set by StartRun
    };

    CCreateThumbnailThread() = default;
    ~CCreateThumbnailThread() override;

    // UI thread: stops a running worker, then (strip runs) sets busy = 1, sets runFlag = 1, numbers
    // the run and starts the thread on the job. False when the thread could not be started (busy
    // stays 1).
    bool StartRun(Job job);
    // UI thread: clears runFlag and waits without time limit for the thread to end.
    void StopWorker();

    // 1 while a strip pass is being made (see above).
    bool IsBusy() const { return busy_.load() >= 1; }
    // From StartRun until the run has ended, however it ended.
    bool IsWorkerActive() const { return active_.load() >= 1; }
    // The number of the last run started on the UI thread (0 before the first).
    uint32_t CurrentRun() const { return run_.load(); }
    // The index the view wants made first; read by the worker every third thumbnail.
    void SetPriorityStart(uint32_t index) { priorityStart_.store(index); }
    uint32_t GetPriorityStart() const { return priorityStart_.load(); }

protected:
    uint32_t Run() override;
    // Worker thread: thumbnail `index` of the run is made (black when its frame did not decode);
    // take it (swap it into place). False when it has nowhere to go, which fails the run.
    virtual bool StoreThumbnail(int index, QImage& image) = 0;
    // Worker thread: whether thumbnail `index` is still to be made; one that is not is skipped.
    virtual bool NeedsThumbnail(int /*index*/) const { return true; }
    // Worker thread: thumbnail `index` was stored and shows its frame.
    virtual void ThumbnailMade(int /*index*/) {}

    std::atomic<int32_t> runFlag_{1};
    std::atomic<int32_t> busy_{0};

private:
    // Makes thumbnail `index` from the frame at `position` and stores it.
    HRESULT MakeThumbnail(CThumbnailMaker& maker, int index, int64_t position);
    void Post(uint32_t message) const;

    Job job_;  // written by the UI thread before Start, read by the worker only
    std::atomic<uint32_t> run_{0};
    std::atomic<int32_t> active_{0};
    std::atomic<uint32_t> priorityStart_{0};
};

}  // namespace brevio
