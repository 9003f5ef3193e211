#include "thumbnails/CThumbnailWndChapter.h"

#include <QPainter>
#include <algorithm>

#include "interfaces/IBRVPreviewContainer.h"
#include "module/CUIWaitCursor.h"
#include "module/ModuleHelpers.h"
#include "platform/FileHelpers.h"
#include "resources/AccessibleTexts.h"
#include "resources/StringIds.h"
#include "thumbnails/StripRules.h"

namespace brevio {

namespace {

// A movie reduced to one chapter has nothing to select.
constexpr int kFewestChaptersToSelect = 1;

}  // namespace

CThumbnailWndChapter::CThumbnailWndChapter(QWidget* parent) : CThumbnailWnd(parent) {
    selectionLength_ = 1;
}

CThumbnailWndChapter::~CThumbnailWndChapter() {
    // The worker's hooks use this object's members: the thread ends before they go.
    StopWorker();
}

// ---------------------------------------------------------------------------------------------
// Opening and the strip

int32_t CThumbnailWndChapter::OpenDocument(const QString& path) {
    if (path.isNull()) return BRVDLG_FAILURE;
    int32_t code = document_.Open(path);
    if (code == 0) {
        moviePath_ = path;
        StopWorker();
        ResetStrip();
        firstUnit_ = 0;

        const int n = static_cast<int>(document_.GetUnitCount());
        totalUnits_ = 0;  // a new opening makes its cache anew
        if (FAILED(InitThumbnailCache(n))) {
            code = BRVDLG_FAILURE;
        } else {
            totalUnits_ = n;
            if (FAILED(cache_.SetCount(n))) code = BRVDLG_FAILURE;
        }
        if (code == 0) {
            made_ = std::make_unique<std::atomic<uint8_t>[]>(static_cast<size_t>(n));
            StartWorker();
            return 0;
        }
    }
    document_.Close();
    moviePath_.clear();
    return code;
}

HRESULT CThumbnailWndChapter::InitThumbnailCache(int /*n*/) {
    if (totalUnits_ != 0 && cache_.GetLength() >= totalUnits_) return S_OK;
    // A new opening, or a window made anew after the last one released the images: one image per
    // chapter of the movie as opened, every one to be made again.
    const int n = totalUnits_ != 0 ? totalUnits_ : static_cast<int>(document_.GetUnitCount());
    const HRESULT hr = cache_.Init(n, kImageWidth, kImageHeight, kBackground);
    if (SUCCEEDED(hr) && made_) {
        for (int u = 0; u < totalUnits_; ++u) made_[u].store(0);
    }
    return hr;
}

int CThumbnailWndChapter::GetSceneCount() const {
    return static_cast<int>(document_.GetUnitCount());
}

HRESULT CThumbnailWndChapter::ShowScenesAt(int64_t position) {
    if (moviePath_.isEmpty()) return S_FALSE;
    if (!PathExists(moviePath_)) {
        ResetStrip();
        return E_FAIL;
    }
    HRESULT hr = S_OK;
    if (cache_.GetCount() < totalUnits_) {
        // The strip was emptied since the opening: every thumbnail is made again.
        hr = cache_.SetCount(totalUnits_);
        if (FAILED(hr)) {
            ResetStrip();
            return hr;
        }
        for (int u = 0; u < totalUnits_; ++u) made_[u].store(0);
        StartWorker();
    } else if (!IsWorkerActive() && !AllThumbnailsMade()) {
        // A worker stopped by an edit carries on with what is left; nothing is made twice.
        StartWorker();
    }
    SelectSceneAt(position);
    if (IsWindow()) {
        QRect content;
        GetContentRect(&content);
        ScrollToScenes(GetScrollSize() != content.size(), -1);
    }
    return hr;
}

void CThumbnailWndChapter::SelectSceneAt(int64_t position) {
    const int c = GetSceneCount();
    int selected = 0;
    for (int i = 1; i < c; ++i) {
        int64_t start = 0;
        document_.GetUnitStartTime(static_cast<unsigned>(i), &start);
        if (position < start) {
            selected = i - 1;
            break;
        }
        if (i == c - 1) selected = c - 1;
    }
    selectionStart_ = selected;
    SelectScene(selected, true);
}

bool CThumbnailWndChapter::SelectScene(int p, bool scroll) {
    const int c = GetSceneCount();
    if (p >= c || p < 0) return false;
    NotifyAccessibility();
    cache_.ClearSelection();
    // One chapter at a time: the strip's run rule with a run of one.
    const SceneRun run = SelectedRun(p, c, 1, std::nullopt, kFewestChaptersToSelect);
    if (run.empty()) {
        hasSelection_ = false;
        return true;
    }
    std::vector<unsigned> state;
    const size_t a = static_cast<size_t>(run.start);
    if (FAILED(document_.ReadEditingState(state)) || a >= state.size()) return false;
    cache_.Select(static_cast<int>(state[a]));
    ScrollToScenes(false, scroll ? run.start : -1);
    selectionStart_ = run.start;
    hasSelection_ = true;
    return true;
}

void CThumbnailWndChapter::GetSelectedUnits(std::vector<int>& units) const {
    units.clear();
    std::vector<unsigned> state;
    if (FAILED(document_.ReadEditingState(state))) return;
    for (size_t a = 0; a < state.size(); ++a) {
        if (cache_.IsSelected(static_cast<int>(state[a]))) units.push_back(static_cast<int>(a));
    }
}

HRESULT CThumbnailWndChapter::GetSelectionStart(int64_t* ticks) const {
    if (ticks == nullptr) return E_FAIL;
    if (!hasSelection_) return S_FALSE;
    return document_.GetUnitStartTime(static_cast<unsigned>(selectionStart_), ticks);
}

HRESULT CThumbnailWndChapter::SetSelectionLength(unsigned /*n*/) {
    selectionLength_ = 1;
    return S_OK;
}

bool CThumbnailWndChapter::AnchorAtUnit(int index) {
    if (index < 0) return false;
    selectionStart_ = index;
    firstUnit_ = 0;
    return true;
}

HRESULT CThumbnailWndChapter::RefreshReferenceMovie() {
    CUIWaitCursor wait;
    // The worker reads only the source movie through its own document: it keeps running.
    const HRESULT hr = refMovie_.WriteMovie(document_);
    if (FAILED(hr)) {
        ShowMessage(this, ids::kTempFileFailed, &messageCaption_, MB_ICONEXCLAMATION,
                    refMovie_.FailureReason());
    }
    return hr;
}

int CThumbnailWndChapter::GetContentRect(QRect* rect) const {
    const int c = GetSceneCount();
    if (rect != nullptr) *rect = QRect(0, 0, kPitch * c + 4, kStripHeight);
    return c;
}

bool CThumbnailWndChapter::IsThumbnailMade(int u) const {
    return made_ && u >= 0 && u < totalUnits_ && made_[u].load() != 0;
}

bool CThumbnailWndChapter::AllThumbnailsMade() const {
    for (int u = 0; u < totalUnits_; ++u) {
        if (!IsThumbnailMade(u)) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Window messages

bool CThumbnailWndChapter::ProcessWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                                LRESULT& result) {
    switch (message) {
        case WM_LBUTTONDBLCLK:
            result = OnLButtonDblClk(PointParamX(lParam), PointParamY(lParam));
            return true;
        case WM_TIMER:
            if (wParam != kPriorityTimerId) break;
            OnTimer(kPriorityTimerId);
            result = 0;
            return true;
        default:
            break;
    }
    return CThumbnailWnd::ProcessWindowMessage(message, wParam, lParam, result);
}

LRESULT CThumbnailWndChapter::OnCreate() {
    SetTimer(kPriorityTimerId, kPriorityTimerMs);
    const LRESULT result = CThumbnailWnd::OnCreate();
    // The strip's creation leaves its cache empty; an opened movie keeps every chapter.
    if (totalUnits_ > 0 && cache_.GetLength() >= totalUnits_) cache_.SetCount(totalUnits_);
    if (workerPending_) StartWorker();
    return result;
}

bool CThumbnailWndChapter::SeekToChapter(int x, int y) {
    const int p = HitTest(x, y);
    if (p < 0 || p >= GetSceneCount()) return false;
    int64_t start = 0;
    if (FAILED(document_.GetUnitStartTime(static_cast<unsigned>(p), &start))) start = 0;
    if (preview_ != nullptr) preview_->SetPosition(start, false);
    SelectScene(p, false);
    InvalidateClient();
    return true;
}

LRESULT CThumbnailWndChapter::OnLButtonDown(uintptr_t /*flags*/, int x, int y) {
    setFocus(Qt::MouseFocusReason);
    SeekToChapter(x, y);
    return 0;
}

LRESULT CThumbnailWndChapter::OnLButtonDblClk(int x, int y) {
    setFocus(Qt::MouseFocusReason);
    SeekToChapter(x, y);
    if (preview_ != nullptr) preview_->ControlPlayback(IBRVPreviewContainer::kPlay);
    return 0;
}

void CThumbnailWndChapter::OnTimer(uint32_t id) {
    if (id != kPriorityTimerId) return;
    if (!IsWorkerActive()) {
        KillTimer(kPriorityTimerId);
        return;
    }
    if (!IsWindow()) return;
    const int a = HitTest(1, ClientRect().height() / 2);
    if (a < 0 || a >= GetSceneCount()) return;
    // The worker indexes thumbnails by the unit of the movie as opened, which after a cut is not
    // the strip position: hand it the unit shown there.
    std::vector<unsigned> state;
    const size_t position = static_cast<size_t>(a > 0 ? a - 1 : 0);
    if (FAILED(document_.ReadEditingState(state)) || position >= state.size()) return;
    SetPriorityStart(state[position]);
}

void CThumbnailWndChapter::DoPaint(QPainter& dc) {
    // Only the part on screen is drawn; the painter works in content coordinates.
    const QRect client = ClientRect();
    const QRect visible(GetScrollOffset(), client.size());
    dc.fillRect(visible, QColor::fromRgb(kBackground));

    std::vector<unsigned> state;
    if (FAILED(document_.ReadEditingState(state)) || state.empty()) return;
    const int n = static_cast<int>(state.size());
    const int first = std::max(0, (visible.left() - 3) / kPitch - 1);
    const int last = std::min(n - 1, (visible.left() + visible.width()) / kPitch + 1);

    for (int a = first; a <= last; ++a) {
        const int u = static_cast<int>(state[static_cast<size_t>(a)]);
        if (!cache_.HasImage(u)) continue;
        const int x = kPitch * a + 4;
        if (cache_.IsSelected(u)) {
            // The selection frame: one column outside the image on each side, rows 0 to 63.
            const QRect frame(x - 1, 0, kImageWidth + 2, kStripHeight);
            dc.fillRect(frame, QColor::fromRgb(kSelectionFill));
            dc.setPen(QColor::fromRgb(kSelectionBorder));
            dc.setBrush(Qt::NoBrush);
            dc.drawRect(frame.adjusted(0, 0, -1, -1));
        }
        cache_.DrawImage(u, dc, QRect(x, kImageTop, kImageWidth, kImageHeight));
    }
    if (hasFocus()) DrawFocusFrame(dc, RunStart(), RunStart() + 1);
}

// ---------------------------------------------------------------------------------------------
// The keyboard and accessibility

bool CThumbnailWndChapter::MoveRun(RunMove move) {
    if (!hasSelection_) return false;
    const int to = MovedRunStart(selectionStart_, 1, GetSceneCount(), move);
    if (to == selectionStart_) return false;
    int64_t start = 0;
    if (FAILED(document_.GetUnitStartTime(static_cast<unsigned>(to), &start))) return false;
    if (preview_ != nullptr) preview_->SetPosition(start, false);
    return SelectScene(to, true);
}

QString CThumbnailWndChapter::SceneName(int i) const {
    int64_t start = 0;
    int64_t end = 0;
    if (!UnitTimes(i, &start, &end)) return {};
    return resources::AccessibleString(resources::AccessibleText::Chapter)
        .arg(i + 1)
        .arg(resources::AccessibleTime(start), resources::AccessibleTime(end));
}

QString CThumbnailWndChapter::StripName() const {
    return resources::AccessibleString(resources::AccessibleText::ChapterStrip);
}

bool CThumbnailWndChapter::IsInRun(int i) const {
    std::vector<unsigned> state;
    if (i < 0 || FAILED(document_.ReadEditingState(state)) ||
        static_cast<size_t>(i) >= state.size())
        return false;
    return cache_.IsSelected(static_cast<int>(state[static_cast<size_t>(i)]));
}

// ---------------------------------------------------------------------------------------------
// The chapter worker

void CThumbnailWndChapter::StartWorker() {
    StopWorker();  // at most one run at a time
    workerPending_ = !IsWindow();
    if (workerPending_) return;
    Job job;
    job.moviePath = moviePath_;
    job.count = std::min(cache_.GetCount(), totalUnits_);
    job.chapters = true;
    job.pixelRatio = devicePixelRatioF();
    job.view = Handle();
    StartRun(std::move(job));
    SetTimer(kPriorityTimerId, kPriorityTimerMs);
}

bool CThumbnailWndChapter::NeedsThumbnail(int u) const {
    return made_[u].load() == 0;
}

void CThumbnailWndChapter::ThumbnailMade(int u) {
    made_[u].store(1);
    rendered_.fetch_add(1);
}

}  // namespace brevio
