#include "CCreateThumbnailThread.h"

#include <optional>

#include "document/CBRVWrapper.h"
#include "framesource/CThumbnailMaker.h"
#include "preview/ThumbnailScan.h"

namespace brevio {

CCreateThumbnailThread::~CCreateThumbnailThread() {
    StopWorker();
}

bool CCreateThumbnailThread::StartRun(Job job) {
    StopWorker();
    // Set here, before the thread exists: from this moment the strip refuses clicks and cuts.
    if (!job.chapters) busy_.store(1);
    runFlag_.store(1);
    job.run = run_.fetch_add(1) + 1;
    job_ = std::move(job);
    active_.store(1);
    if (Start()) return true;
    active_.store(0);
    return false;
}

void CCreateThumbnailThread::StopWorker() {
    runFlag_.store(0);
    Join();
}

void CCreateThumbnailThread::Post(uint32_t message) const {
    job_.view.PostMessage(message, job_.run, 0);
}

HRESULT CCreateThumbnailThread::MakeThumbnail(CThumbnailMaker& maker, int index, int64_t position) {
    QImage image;
    const HRESULT hr = maker.RenderThumbnail(position, &image);
    // A frame that does not decode still leaves its black thumbnail in place.
    if (!image.isNull() && !StoreThumbnail(index, image)) return E_FAIL;
    if (FAILED(hr)) return hr;
    if (image.isNull()) return E_FAIL;
    ThumbnailMade(index);
    return S_OK;
}

uint32_t CCreateThumbnailThread::Run() {
    bool failed = false;
    bool stopped = runFlag_.load() < 1;  // a stop asked before the thread got going opens nothing
    CThumbnailMaker maker;               // this run's own frame source
    maker.SetPixelRatio(job_.pixelRatio);
    // A movie the frame source cannot open leaves the thumbnails blank, without a message.
    if (!stopped && SUCCEEDED(maker.Open(job_.moviePath))) {
        // A chapter run takes its start times from a document of its own: the user's edits never
        // disturb it.
        std::optional<CBRVWrapper> document;
        if (job_.chapters) {
            document.emplace();
            failed = document->Open(job_.moviePath) != 0;
        }
        ThumbnailScanHooks hooks;
        hooks.keepRunning = [&] {
            stopped = runFlag_.load() < 1;
            return !stopped;
        };
        hooks.priorityStart = [this] { return priorityStart_.load(); };
        hooks.make = [&](uint32_t i) -> HRESULT {
            const int index = static_cast<int>(i);
            if (!NeedsThumbnail(index)) return S_OK;  // made by an earlier run
            int64_t position = job_.firstStart + int64_t{index} * job_.unitDuration;
            if (document) {
                const HRESULT hr = document->GetUnitStartTime(i, &position);
                if (FAILED(hr)) return hr;
            }
            return MakeThumbnail(maker, index, position);
        };
        hooks.invalidate = [this] { Post(WM_THUMBNAILS_CHANGED); };
        if (!failed) {
            failed = FAILED(MakeThumbnailsInOrder(static_cast<uint32_t>(job_.count), hooks));
        }
        if (failed) {
            Post(WM_THUMBNAIL_FAILED);
        } else if (!stopped && job_.count > 0 && !job_.chapters) {
            busy_.store(0);
            Post(WM_THUMBNAILS_CHANGED);
        }
    }
    active_.store(0);
    return 0;
}

}  // namespace brevio
