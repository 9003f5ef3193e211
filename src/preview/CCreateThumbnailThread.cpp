#include "CCreateThumbnailThread.h"

#include "preview/CThumbnailMaker.h"

namespace brevio {

CCreateThumbnailThread::~CCreateThumbnailThread() {
    StopWorker();
}

bool CCreateThumbnailThread::StartWorker(Job job) {
    StopWorker();
    // Set here, before the thread exists: from this moment the UI refuses clicks and cuts.
    busy_.store(1);
    runFlag_.store(1);
    job.run = run_.fetch_add(1) + 1;
    job_ = std::move(job);
    return Start();
}

void CCreateThumbnailThread::StopWorker() {
    runFlag_.store(0);
    Join();
}

void CCreateThumbnailThread::Post(uint32_t message) const {
    job_.view.PostMessage(message, job_.run, 0);
}

uint32_t CCreateThumbnailThread::Run() {
    CThumbnailMaker maker;                             // this run's own frame source
    if (FAILED(maker.Open(job_.moviePath))) return 0;  // thumbnails stay blank, busy stays 1

    bool failed = false;
    bool stopped = false;
    for (int i = 0; i < job_.count; ++i) {
        if (runFlag_.load() < 1) {
            stopped = true;
            break;
        }
        QImage image;
        const HRESULT hr =
            maker.RenderThumbnail(job_.firstStart + int64_t{i} * job_.unitDuration, &image);
        // A frame that does not decode still leaves its black thumbnail in place.
        if (!image.isNull() && !StoreThumbnail(i, image)) failed = true;
        if (FAILED(hr) || image.isNull()) failed = true;
        if (failed) break;
        if (i % 2 == 0 || i == job_.count - 1) Post(WM_THUMBNAILS_CHANGED);
    }
    if (failed) {
        Post(WM_THUMBNAIL_FAILED);
    } else if (!stopped && job_.count > 0) {
        busy_.store(0);
        Post(WM_THUMBNAILS_CHANGED);
    }
    return 0;
}

}  // namespace brevio
