#pragma once
// The strip of a movie with chapters: every remaining chapter in one scrolling row, exactly one
// selected. A click moves the preview to the chapter's start, a double-click also plays from there,
// and while the movie plays the strip follows the playing chapter.
//
// The thumbnails are made once per opening, for every chapter of the movie as opened: item u of the
// cache holds the thumbnail of unit u of the first editing state, and strip position a shows unit
// state[a] of the current state, so edits never remake a thumbnail. The chapter worker opens its
// own edit document on the source movie and makes the chapters on screen first: every 200 ms the
// priority timer (4011) hands it the unit at the left edge of the visible area.
//
// Threads: UI thread for everything except the worker hooks (NeedsThumbnail, StoreThumbnail,
// ThumbnailMade, on the worker thread of the CCreateThumbnailThread base). The two share the
// `made_` flags and the images of the cache (swapped under each item's lock, so the UI thread
// never draws a half-written thumbnail and never waits for one being made); the worker tells the
// view by posted messages only.
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/HResult.h"
#include "thumbnails/CThumbnailWnd.h"

namespace brevio {

class IBRVPreviewContainer;

class CThumbnailWndChapter : public CThumbnailWnd {
    Q_OBJECT
public:
    static constexpr uint32_t kPriorityTimerId = 4011;
    static constexpr int kPriorityTimerMs = 200;

    explicit CThumbnailWndChapter(QWidget* parent = nullptr);
    ~CThumbnailWndChapter() override;

    // The preview pane the mouse handlers move; not owned. Set by the pane before OpenDocument.
    void SetPreview(IBRVPreviewContainer* preview) { preview_ = preview; }

    bool SelectScene(int p, bool scroll) override;
    void GetSelectedUnits(std::vector<int>& units) const override;
    // The remaining chapters.
    int GetSceneCount() const override;
    int32_t OpenDocument(const QString& path) override;
    // A selection is always one chapter: the argument is ignored.
    HRESULT SetSelectionLength(unsigned n) override;
    HRESULT ShowScenesAt(int64_t position) override;
    // Rewrites the reference movie; the thumbnails keep coming from the source movie.
    HRESULT RefreshReferenceMovie() override;
    HRESULT GetSelectionStart(int64_t* ticks) const override;
    bool IsChapterView() const override { return true; }
    // Selects the last chapter that starts at or before the position.
    void SelectSceneAt(int64_t position) override;
    bool AnchorAtUnit(int index) override;
    // Makes the cache once per opening, one item per chapter; later calls change nothing.
    HRESULT InitThumbnailCache(int n) override;

    // A chapter at a time, as a click selects one: the preview moves to its start.
    bool MoveRun(RunMove move) override;
    QString SceneName(int i) const override;
    QString StripName() const override;
    bool IsInRun(int i) const override;

    // The content rectangle of the strip (68 per chapter plus 4, by 64); returns the scene count.
    int GetContentRect(QRect* rect) const;
    // Starts the chapter worker on the cache as it is, with the priority timer. Before the window
    // exists the start waits for its creation: the worker reports to the window.
    void StartWorker();

    // --- State, for tests ---
    int GetTotalUnits() const { return totalUnits_; }
    // Whether the worker has made the thumbnail of unit u since the strip was last emptied.
    bool IsThumbnailMade(int u) const;
    // Thumbnails made by worker runs since the view was created (each made once per opening).
    int GetThumbnailsRendered() const { return rendered_.load(); }

protected:
    LRESULT OnCreate() override;
    LRESULT OnLButtonDown(uintptr_t flags, int x, int y) override;
    LRESULT OnLButtonDblClk(int x, int y);
    void OnTimer(uint32_t id);
    void DoPaint(QPainter& dc) override;
    bool ProcessWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                              LRESULT& result) override;

    // Worker thread: a thumbnail made by an earlier run of this opening is not made again.
    bool NeedsThumbnail(int u) const override;
    void ThumbnailMade(int u) override;

private:
    // Moves the preview to the start of the chapter under a client point and selects it; false
    // when there is no chapter there.
    bool SeekToChapter(int x, int y);
    bool AllThumbnailsMade() const;

    IBRVPreviewContainer* preview_ = nullptr;
    int totalUnits_ = 0;
    // A start asked for before the window existed: the worker starts when it is created.
    bool workerPending_ = false;
    // Per unit: 1 once its thumbnail is in the cache; cleared when the strip is emptied.
    std::unique_ptr<std::atomic<uint8_t>[]> made_;
    std::atomic<int> rendered_{0};
};

}  // namespace brevio
