#pragma once
// Centring a dialog over its owner, or in the work area when there is no usable owner.
#include <QPoint>
#include <QRect>

class QWidget;

namespace brevio {

// The top-left corner for a window of `size` centred over `reference` and kept inside
// `workArea`. The centre of a rectangle and the half of the size are both truncated toward zero;
// the left edge is pulled in first, else the right edge; the same for top and bottom.
QPoint CenteredPosition(const QSize& size, const QRect& reference, const QRect& workArea);

// Centres the top-level `dialog` (its frame) over its parent's window when that is visible and not
// minimised, else in the work area; the work area is the available geometry of the reference's
// screen (else the dialog's, else the primary screen), or `*workArea` when given. Moves the
// dialog without resizing or activating it. Returns the new top-left frame corner.
QPoint CenterWindow(QWidget* dialog, const QRect* workArea = nullptr);

}  // namespace brevio
