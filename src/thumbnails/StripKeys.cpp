// The strip's keys and focus: moving the selected run, the cut and play keys, the focus frame.
#include <QFocusEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "thumbnails/CThumbnailWnd.h"

namespace brevio {

void CThumbnailWnd::OnKeyDown(uintptr_t key) {
    switch (key) {
        case VK_DELETE:
            parentHandle_.PostMessage(WM_CUT_KEY, 0, 0);
            break;
        case VK_SPACE:
            emit PlayPauseKeyPressed();
            break;
        case VK_LEFT:
            MoveRun(RunMove::Back);
            break;
        case VK_RIGHT:
            MoveRun(RunMove::Forward);
            break;
        case VK_HOME:
            MoveRun(RunMove::First);
            break;
        case VK_END:
            MoveRun(RunMove::Last);
            break;
        default:
            break;
    }
}

bool CThumbnailWnd::MoveRun(RunMove move) {
    if (!hasSelection_ || selectionStart_ < 0) return false;
    const int units = static_cast<int>(document_.GetUnitCount());
    const int from = firstUnit_ + selectionStart_;
    const int to = MovedRunStart(from, selectionLength_, units, move);
    if (to == from) return false;
    const int64_t length = selectionLength_;
    if (to >= firstUnit_ && to + length <= firstUnit_ + GetSceneCount()) {
        SelectRunAt(to - firstUnit_);
        return true;
    }
    // Past the scenes shown: the strip is built anew around the run's first scene, with its
    // thumbnails made as after any move of the position.
    int64_t start = 0;
    if (FAILED(document_.GetUnitStartTime(static_cast<unsigned>(to), &start))) return false;
    return SUCCEEDED(ShowScenesAt(start));
}

void CThumbnailWnd::SelectRunAt(int p) {
    const int c = GetSceneCount();
    if (p < 0 || c <= kFewestToSelect) return;
    NotifyAccessibility();
    cache_.ClearSelection();
    const int end = std::min<int64_t>(int64_t{p} + selectionLength_, c);
    for (int j = p; j < end; ++j) cache_.Select(j);
    selectionStart_ = p;
    hasSelection_ = true;
    ScrollToScenes(false, p);
}

void CThumbnailWnd::focusInEvent(QFocusEvent* event) {
    CScrollWindowImpl::focusInEvent(event);
    NotifyAccessibility();
    if (IsWindow()) InvalidateClient();
}

void CThumbnailWnd::focusOutEvent(QFocusEvent* event) {
    CScrollWindowImpl::focusOutEvent(event);
    NotifyAccessibility();
    if (IsWindow()) InvalidateClient();
}

void CThumbnailWnd::DrawFocusFrame(QPainter& dc, int first, int last) {
    if (last <= first) {
        first = 0;
        last = 0;
    }
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    // Inside the selection border, around the images of the run (or the empty strip's client).
    frame.rect = last > first
                     ? QRect(kPitch * first + 5, 2, kPitch * (last - first) - 8, kStripHeight - 4)
                     : QRect(GetScrollOffset() + QPoint(1, 1), ClientRect().size() - QSize(2, 2));
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &dc, this);
}

QRect CThumbnailWnd::SceneRect(int i) const {
    return QRect(kPitch * i + 3 - GetScrollOffset().x(), -GetScrollOffset().y(), kImageWidth + 2,
                 kStripHeight);
}

}  // namespace brevio
