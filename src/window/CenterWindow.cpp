#include "CenterWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "window/DialogBase.h"

namespace brevio {

namespace {

// Win32 rectangles exclude their right and bottom edges; the centre is (left + right) / 2 with
// C's truncation toward zero.
int CentreOf(int left, int length) {
    return (left + (left + length)) / 2;
}

int Place(int centre, int length, int areaStart, int areaLength) {
    int start = centre - length / 2;
    const int areaEnd = areaStart + areaLength;
    if (start < areaStart) {
        start = areaStart;
    } else if (start + length > areaEnd) {
        start = areaEnd - length;
    }
    return start;
}

}  // namespace

QPoint CenteredPosition(const QSize& size, const QRect& reference, const QRect& workArea) {
    const int x = Place(CentreOf(reference.x(), reference.width()), size.width(), workArea.x(),
                        workArea.width());
    const int y = Place(CentreOf(reference.y(), reference.height()), size.height(), workArea.y(),
                        workArea.height());
    return {x, y};
}

QPoint CenterWindow(QWidget* dialog, const QRect* workArea) {
    if (dialog == nullptr) return {};
    // The parent as the window system reports it: a running dialog's owner, else the Qt parent's.
    QWidget* parent = dialog->parentWidget();
    QWidget* reference = parent != nullptr ? parent->window() : nullptr;
    if (const auto* base = dynamic_cast<const DialogBase*>(dialog)) reference = base->Owner();
    const bool usable = reference != nullptr && reference->isVisible() && !reference->isMinimized();

    QRect area;
    if (workArea != nullptr) {
        area = *workArea;
    } else {
        QScreen* screen = usable ? reference->screen() : dialog->screen();
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) area = screen->availableGeometry();
    }
    const QRect frame = dialog->frameGeometry();
    const QRect over = usable ? reference->frameGeometry() : area;
    const QPoint position = CenteredPosition(frame.size(), over, area);
    dialog->move(position);  // a window's position is that of its frame
    return position;
}

}  // namespace brevio
