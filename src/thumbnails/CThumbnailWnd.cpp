#include "CThumbnailWnd.h"

#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "module/CUIWaitCursor.h"
#include "module/ModuleHelpers.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"
#include "save/CSaveProgressDlg.h"
#include "thumbnails/StripAccessible.h"
#include "thumbnails/StripRules.h"

namespace brevio {

CThumbnailWnd::CThumbnailWnd(QWidget* parent) : CScrollWindowImpl(parent) {
    InstallStripAccessibility();
    // Tab brings the focus; a click takes it in OnLButtonDown (never while thumbnails are made).
    setFocusPolicy(Qt::TabFocus);
    RegisterMessages();
}

CThumbnailWnd::~CThumbnailWnd() {
    // The worker calls StoreThumbnail on this object, and the document's save thread calls
    // OnMovieSaved: both end here, while every member still exists.
    StopWorker();
    document_.Close();
    document_.SetNotifySink(nullptr);
}

void CThumbnailWnd::RegisterMessages() {
    MessageMap& map = Messages();
    map.Add(WM_CREATE, [this](uint32_t, uintptr_t, intptr_t, bool&) { return OnCreate(); });
    map.Add(WM_DESTROY, [this](uint32_t, uintptr_t, intptr_t, bool&) {
        OnDestroy();
        return LRESULT{0};
    });
    map.Add(WM_KEYDOWN, [this](uint32_t, uintptr_t key, intptr_t, bool&) {
        OnKeyDown(key);
        return LRESULT{0};
    });
    map.Add(WM_LBUTTONDOWN, [this](uint32_t, uintptr_t flags, intptr_t lParam, bool&) {
        return OnLButtonDown(flags, PointParamX(lParam), PointParamY(lParam));
    });
    map.Add(WM_THUMBNAIL_FAILED, [this](uint32_t, uintptr_t run, intptr_t, bool&) {
        // A report of an earlier run comes too late: the strip it was about is gone.
        if (run == CurrentRun()) ResetStrip();
        return LRESULT{0};
    });
    map.Add(WM_THUMBNAILS_CHANGED, [this](uint32_t, uintptr_t run, intptr_t, bool&) {
        if (run == CurrentRun()) InvalidateClient();
        return LRESULT{0};
    });
}

// ---------------------------------------------------------------------------------------------
// Window

LRESULT CThumbnailWnd::OnCreate() {
    parentHandle_ = brevio::ParentHandle(this);
    const QRect client = ClientRect();
    SetScrollSize(client.width() + 1, client.height());
    SetScrollLine(kPitch, 10);
    SetScrollPage(kPitch, 100);
    SetScrollExtendedStyle(GetScrollExtendedStyle() | SCRL_DISABLENOSCROLLH);
    refMovie_.MakeTempName();
    if (messageCaption_.isEmpty()) messageCaption_ = LoadString(ids::kCaption);
    document_.SetNotifySink(this);
    if (FAILED(InitThumbnailCache(kCacheLength))) {
        parentHandle_.PostMessage(WM_BRV_CLOSE_REQUEST, BRVDLG_FAILURE, 0);
    } else {
        // The images are ready, the strip is empty until the first ShowScenesAt.
        cache_.SetCount(0);
    }
    return 0;
}

void CThumbnailWnd::OnDestroy() {
    StopWorker();
    ResetStrip();
    cache_.ReleaseAll();
}

LRESULT CThumbnailWnd::OnLButtonDown(uintptr_t /*flags*/, int x, int y) {
    if (IsBusy()) return 0;  // not even the focus while thumbnails are being made
    setFocus(Qt::MouseFocusReason);
    const int p = HitTest(x, y);
    if (p < 0 || p >= GetSceneCount()) return 0;
    SelectScene(p, false);
    InvalidateClient();
    return 0;
}

int CThumbnailWnd::HitTest(int x, int y) const {
    if (y < kImageTop || y > kHitBottom) return -1;
    return (x + GetScrollOffset().x() - 2) / kPitch;  // truncated toward zero
}

void CThumbnailWnd::FillStripWhite(QPainter& dc, int sceneCount) {
    const QRect client = ClientRect();
    const int width = std::max(kPitch * sceneCount + 4, client.right() + 1);
    dc.fillRect(QRect(0, 0, width, client.bottom() + 1), QColor::fromRgb(kBackground));
}

void CThumbnailWnd::DoPaint(QPainter& dc) {
    const int n = GetSceneCount();
    FillStripWhite(dc, n);
    // The frames would mark scenes the worker is still making: only after a complete pass.
    const bool drawFrames = !IsBusy();
    for (int i = 0; i < n; ++i) {
        if (!cache_.HasImage(i)) continue;
        if (drawFrames && cache_.IsSelected(i)) {
            // Border one column outside the image and on rows 0 and 63, selection fill inside.
            const int left = kPitch * i + 3;
            dc.fillRect(QRect(left, 0, 66, kStripHeight), QColor::fromRgb(kSelectionBorder));
            dc.fillRect(QRect(left + 1, 1, 64, kStripHeight - 2), QColor::fromRgb(kSelectionFill));
        }
        cache_.DrawImage(i, dc, QRect(kPitch * i + 4, kImageTop, kImageWidth, kImageHeight));
    }
    if (hasFocus()) {
        if (hasSelection_) {
            DrawFocusFrame(dc, selectionStart_,
                           selectionStart_ + static_cast<int>(selectionLength_));
        } else {
            DrawFocusFrame(dc, 0, n);
        }
    }
}

bool CThumbnailWnd::StoreThumbnail(int index, QImage& image) {
    return cache_.SwapImage(index, image);
}

void CThumbnailWnd::OnMovieSaved() {
    // Save thread: the parent's handle was taken on the UI thread; posting is all done here.
    parentHandle_.PostMessage(WM_BRV_CLOSE_REQUEST, BRVDLG_SAVED, 0);
}

// ---------------------------------------------------------------------------------------------
// Document

int32_t CThumbnailWnd::OpenDocument(const QString& path) {
    int32_t rc = BRVDLG_FAILURE;
    if (!path.isNull()) rc = document_.Open(path);
    if (rc != 0) {
        document_.Close();
        moviePath_.clear();
        return rc;
    }
    moviePath_ = path;
    return 0;
}

void CThumbnailWnd::CloseDocument() {
    // The worker goes first: nothing may read the movie while it is being closed.
    StopWorker();
    document_.Close();
    moviePath_.clear();
    ResetStrip();
}

HRESULT CThumbnailWnd::GetSelectionLength(unsigned* n) const {
    if (n == nullptr) return E_POINTER;
    *n = selectionLength_;
    return S_OK;
}

HRESULT CThumbnailWnd::GetTotalTime(int64_t* ticks) const {
    if (ticks == nullptr) return E_POINTER;
    return document_.GetTotalTime(ticks);
}

HRESULT CThumbnailWnd::SaveAs(const QString& path) {
    if (path.isNull()) return E_POINTER;
    return SaveBehindDialog(document_, path, CSaveProgressDlg::Instance());
}

void CThumbnailWnd::SetMessageCaption(const QString* text) {
    messageCaption_ = resources::CaptionOrDefault(text);
    document_.SetMessageCaption(text);
}

// ---------------------------------------------------------------------------------------------
// The strip

int CThumbnailWnd::GetSceneCount() const {
    return cache_.GetCount();
}

HRESULT CThumbnailWnd::InitThumbnailCache(int n) {
    return cache_.Init(n, kImageWidth, kImageHeight, kBackground);
}

HRESULT CThumbnailWnd::ComputeWindow(int64_t unitStart, int64_t unitDuration, int64_t total,
                                     int64_t* first, int64_t* last) const {
    if (first == nullptr || last == nullptr) return E_POINTER;
    const TickSpan span = StripWindow(unitStart, unitDuration, total, kUnitsBefore, kCacheLength);
    *first = span.first;
    *last = span.last;
    return S_OK;
}

HRESULT CThumbnailWnd::ComputeUnitWindow(int64_t position, int64_t total, int64_t* first,
                                         int64_t* last) const {
    if (first == nullptr || last == nullptr) return E_POINTER;
    unsigned unit = 0;
    HRESULT hr = document_.GetUnitIndexAtTime(position, &unit);
    if (FAILED(hr)) return hr;
    int64_t start = 0;
    hr = document_.GetUnitStartTime(unit, &start);
    if (FAILED(hr)) return hr;
    const int64_t d = document_.GetUnitDuration();
    if (d <= 0) return E_FAIL;
    return ComputeWindow(start, d, total, first, last);
}

HRESULT CThumbnailWnd::ShowScenesAt(int64_t position) {
    if (moviePath_.isEmpty()) return S_FALSE;
    int64_t total = 0;
    HRESULT hr = document_.GetTotalTime(&total);
    if (FAILED(hr)) return FailStrip(hr);
    if (position >= total - 1) position = total - 1;
    int64_t first = 0;
    int64_t last = 0;
    hr = ComputeUnitWindow(position, total, &first, &last);
    if (FAILED(hr)) return FailStrip(hr);

    ResetStrip();  // stops the worker first
    unsigned firstIndex = 0;
    hr = document_.GetUnitIndexAtTime(first, &firstIndex);
    if (FAILED(hr)) return FailStrip(hr);
    firstUnit_ = static_cast<int>(firstIndex);
    if (!QFileInfo::exists(moviePath_)) return FailStrip(E_FAIL);
    const int64_t d = document_.GetUnitDuration();
    if (d <= 0) return FailStrip(E_FAIL);
    const int64_t n = (last - first) / d;
    if (n < 0 || n > cache_.GetLength()) return FailStrip(E_FAIL);
    hr = cache_.SetCount(static_cast<int>(n));
    if (FAILED(hr)) return FailStrip(hr);
    hr = StartStripWorker();
    if (FAILED(hr)) return FailStrip(hr);

    selectionStart_ = static_cast<int>(position / d - firstUnit_);
    if (IsWindow()) {
        SetScrollSize(kPitch * GetSceneCount() + 4, kStripHeight);
        InvalidateClient();
    }
    // To the end of the strip first, then back as far as the selected run needs.
    int minPos = 0;
    int maxPos = 0;
    if (GetScrollRange(Qt::Horizontal, &minPos, &maxPos)) ScrollToView(QPoint(maxPos, 0));
    SelectScene(selectionStart_ >= 0 ? selectionStart_ : static_cast<int>(n) - 1, true);
    return S_OK;
}

HRESULT CThumbnailWnd::FailStrip(HRESULT hr) {
    ResetStrip();
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT CThumbnailWnd::StartStripWorker() {
    // Everything the worker needs is taken here, on the UI thread: it never reads the document.
    int64_t firstStart = 0;
    const HRESULT hr = document_.GetUnitStartTime(static_cast<unsigned>(firstUnit_), &firstStart);
    if (FAILED(hr)) return hr;
    Job job;
    job.moviePath = moviePath_;
    job.firstStart = firstStart;
    job.unitDuration = document_.GetUnitDuration();
    job.count = cache_.GetCount();
    job.pixelRatio = devicePixelRatioF();
    job.view = Handle();
    return StartRun(std::move(job)) ? S_OK : E_FAIL;
}

bool CThumbnailWnd::SelectScene(int p, bool scroll) {
    const int c = GetSceneCount();
    if (p >= c) return false;
    cache_.ClearSelection();
    const SceneRun run = SelectedRun(
        p, c, selectionLength_, hasSelection_ ? std::optional<int>(selectionStart_) : std::nullopt,
        kFewestToSelect);
    NotifyAccessibility();
    if (run.empty()) {
        hasSelection_ = false;
        return true;
    }
    for (int j = run.start; j < run.end; ++j) cache_.Select(j);
    if (scroll) {
        ScrollToScenes(false, run.start);
    } else if (IsWindow()) {
        InvalidateClient();
    }
    selectionStart_ = run.start;
    hasSelection_ = true;
    return true;
}

HRESULT CThumbnailWnd::SetSelectionLength(unsigned n) {
    selectionLength_ = n;
    if (selectionStart_ >= 0 && !SelectScene(selectionStart_, false)) cache_.ClearSelection();
    return S_OK;
}

HRESULT CThumbnailWnd::GetSelectionStart(int64_t* ticks) const {
    if (ticks == nullptr) return E_FAIL;
    if (!hasSelection_) return S_FALSE;
    const int64_t d = document_.GetUnitDuration();
    if (d <= 0) return E_FAIL;
    *ticks = (int64_t{selectionStart_} + firstUnit_) * d;
    return S_OK;
}

void CThumbnailWnd::GetSelectedUnits(std::vector<int>& units) const {
    units.clear();
    for (int j = 0; j < cache_.GetCount(); ++j) {
        if (cache_.IsSelected(j)) units.push_back(firstUnit_ + j);
    }
}

bool CThumbnailWnd::AnchorAtUnit(int index) {
    if (index < 0) return false;
    firstUnit_ = std::max(0, index - kUnitsBefore);
    selectionStart_ = index - firstUnit_;
    return true;
}

void CThumbnailWnd::ScrollToScenes(bool resetSize, int p) {
    if (!IsWindow()) return;
    if (resetSize) SetScrollSize(kPitch * GetSceneCount() + 4, kStripHeight);
    if (p >= 0) {
        const int64_t left = int64_t{kPitch} * p - kScrollMargin;
        const int64_t right =
            int64_t{kPitch} * p + int64_t{kPitch} * selectionLength_ + kScrollMargin;
        const auto clampInt = [](int64_t v) {
            return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
        };
        ScrollToView(clampInt(left), 0, clampInt(right), 0);
    }
    InvalidateClient();
}

void CThumbnailWnd::ClearSelection() {
    NotifyAccessibility();
    cache_.ClearSelection();
    hasSelection_ = false;
    if (IsWindow()) InvalidateClient();
}

void CThumbnailWnd::ResetStrip() {
    NotifyAccessibility();
    ++stripsBuilt_;
    StopWorker();
    cache_.ClearSelection();
    cache_.SetCount(0);
    selectionStart_ = -1;
    firstUnit_ = 0;
    hasSelection_ = false;
    if (IsWindow()) {
        SetScrollSize(4, kStripHeight);
        InvalidateClient();
    }
}

// ---------------------------------------------------------------------------------------------
// Edit commands

HRESULT CThumbnailWnd::RefreshReferenceMovie() {
    CUIWaitCursor wait;
    StopWorker();
    const HRESULT rc = refMovie_.WriteMovie(document_);
    if (FAILED(rc)) {
        ShowMessage(this, ids::kTempFileFailed, &messageCaption_, MB_ICONEXCLAMATION,
                    refMovie_.FailureReason());
    } else {
        moviePath_ = refMovie_.PlayerPath();
    }
    return rc;
}

HRESULT CThumbnailWnd::FailEdit(HRESULT hr) {
    selectionLength_ = kDefaultSelectionLength;
    return FailStrip(hr);
}

HRESULT CThumbnailWnd::FollowEdit(CBRVWrapper::HistoryMark mark) {
    const HRESULT hr = RefreshReferenceMovie();
    if (SUCCEEDED(hr)) return hr;
    // The preview and the thumbnails go on showing the movie as it was: so does the document.
    document_.RestoreHistory(std::move(mark));
    return FailEdit(hr);
}

HRESULT CThumbnailWnd::CutSelection() {
    if (IsBusy() || !hasSelection_) return S_FALSE;
    std::vector<int> selected;
    GetSelectedUnits(selected);
    // A run over every remaining unit is never cut: the last unit always stays.
    if (selected.empty() || selected.size() >= document_.GetUnitCount()) return S_FALSE;
    int64_t t = 0;
    HRESULT hr = document_.GetUnitStartTime(static_cast<unsigned>(selected.front()), &t);
    if (FAILED(hr)) return FailEdit(hr);
    StopWorker();
    CBRVWrapper::HistoryMark mark = document_.MarkHistory();
    hr = document_.CutUnits(std::vector<unsigned>(selected.begin(), selected.end()));
    if (FAILED(hr)) return FailEdit(hr);
    hr = FollowEdit(std::move(mark));
    if (FAILED(hr)) return hr;
    hr = ShowScenesAt(t);
    return FAILED(hr) ? FailEdit(hr) : hr;
}

HRESULT CThumbnailWnd::UndoEdit() {
    std::vector<unsigned> before;
    HRESULT hr = document_.ReadEditingState(before);
    if (FAILED(hr)) return hr;
    // Nothing may read the movie while its state changes.
    if (document_.CanUndo()) StopWorker();
    CBRVWrapper::HistoryMark mark = document_.MarkHistory();
    const HRESULT rc = document_.Undo();
    if (FAILED(rc)) return rc;
    std::vector<unsigned> after;
    hr = document_.ReadEditingState(after);
    if (FAILED(hr)) return FailEdit(hr);
    const std::optional<RestoredScenes> restored =
        FindRestoredScenes(before, after, kDefaultSelectionLength);
    if (!restored) return rc;

    hr = FollowEdit(std::move(mark));
    if (FAILED(hr)) return hr;
    int64_t t = 0;
    hr = document_.GetUnitStartTime(static_cast<unsigned>(restored->first), &t);
    if (FAILED(hr)) return FailEdit(hr);
    selectionLength_ = static_cast<unsigned>(restored->count);
    hr = ShowScenesAt(t);
    hasSelection_ = true;
    return FAILED(hr) ? FailEdit(hr) : hr;
}

HRESULT CThumbnailWnd::RedoEdit() {
    std::vector<unsigned> before;
    HRESULT hr = document_.ReadEditingState(before);
    if (FAILED(hr)) return hr;
    if (document_.CanRedo()) StopWorker();
    CBRVWrapper::HistoryMark mark = document_.MarkHistory();
    const HRESULT rc = document_.Redo();
    if (FAILED(rc)) return rc;
    std::vector<unsigned> after;
    hr = document_.ReadEditingState(after);
    if (FAILED(hr)) return FailEdit(hr);
    // The scene after the removed run, else the last scene.
    const std::optional<size_t> k = FindSceneAfterRemoved(before, after);
    if (!k) return rc;

    hr = FollowEdit(std::move(mark));
    if (FAILED(hr)) return hr;
    int64_t t = 0;
    hr = document_.GetUnitStartTime(static_cast<unsigned>(*k), &t);
    if (FAILED(hr)) return FailEdit(hr);
    hr = ShowScenesAt(t);
    hasSelection_ = true;
    return FAILED(hr) ? FailEdit(hr) : hr;
}

}  // namespace brevio
