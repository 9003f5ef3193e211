#include "CScrollWindowImpl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace brevio {

ScrollAreaWidget::ScrollAreaWidget(QWidget* parent, Qt::WindowFlags flags)
    : QAbstractScrollArea(parent) {
    if (flags != Qt::WindowFlags()) setWindowFlags(flags);
}

CScrollWindowImpl::CScrollWindowImpl(QWidget* parent) : WindowImpl<ScrollAreaWidget>(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);  // the focus comes only where a handler takes it
    viewport()->setFocusPolicy(Qt::NoFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnBarAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnBarAction(Qt::Vertical, action); });
    wheelLines_ = QApplication::wheelScrollLines();
}

QRect CScrollWindowImpl::ClientRect() const {
    // From the window's own size and the bars it shows, not from the viewport, whose geometry Qt
    // settles only once the window is laid out.
    QSize client = contentsRect().size();
    if (horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
        client.rheight() -= horizontalScrollBar()->sizeHint().height();
    }
    if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
        client.rwidth() -= verticalScrollBar()->sizeHint().width();
    }
    return QRect(0, 0, std::max(client.width(), 0), std::max(client.height(), 0));
}

void CScrollWindowImpl::SetScrollSize(int cx, int cy, bool redraw, bool resetOffset) {
    size_ = QSize(std::max(cx, 0), std::max(cy, 0));
    line_ = QSize(std::max(size_.width() / 100, 1), std::max(size_.height() / 100, 1));
    page_ = QSize(std::max(size_.width() / 10, 1), std::max(size_.height() / 10, 1));
    if (resetOffset) offset_ = QPoint(0, 0);
    UpdateBars();
    if (redraw) InvalidateClient();
}

void CScrollWindowImpl::SetScrollLine(int cxLine, int cyLine) {
    line_ = QSize(std::clamp(cxLine, 0, size_.width()), std::clamp(cyLine, 0, size_.height()));
    UpdateBars();
}

void CScrollWindowImpl::SetScrollPage(int cxPage, int cyPage) {
    page_ = QSize(std::clamp(cxPage, 0, size_.width()), std::clamp(cyPage, 0, size_.height()));
    UpdateBars();
}

void CScrollWindowImpl::SetScrollOffset(int x, int y, bool redraw) {
    const QRect client = ClientRect();
    offset_.setX(std::clamp(x, 0, std::max(size_.width() - client.width(), 0)));
    offset_.setY(std::clamp(y, 0, std::max(size_.height() - client.height(), 0)));
    UpdateBars();
    if (redraw) InvalidateClient();
}

void CScrollWindowImpl::SetScrollExtendedStyle(uint32_t style) {
    extendedStyle_ = style;
    UpdateBars();
}

bool CScrollWindowImpl::GetScrollRange(Qt::Orientation bar, int* minPos, int* maxPos) const {
    if (minPos == nullptr || maxPos == nullptr) return false;
    const QScrollBar* scrollBar =
        bar == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    if (scrollBar == nullptr || scrollBar->isHidden()) return false;
    *minPos = 0;
    *maxPos = std::max((bar == Qt::Horizontal ? size_.width() : size_.height()) - 1, 0);
    return true;
}

void CScrollWindowImpl::ScrollToView(int left, int top, int right, int bottom) {
    const QRect client = ClientRect();
    int x = offset_.x();
    int y = offset_.y();
    if (right > x + client.width()) x = right - client.width();
    if (left < x) x = left;
    if (bottom > y + client.height()) y = bottom - client.height();
    if (top < y) y = top;
    SetScrollOffset(x, y);
}

void CScrollWindowImpl::InvalidateClient() {
    viewport()->update();
}

void CScrollWindowImpl::UpdateBars() {
    if (updatingBars_) return;
    updatingBars_ = true;
    // Showing or hiding a bar changes the client area: settle the bars twice at most.
    for (int pass = 0; pass < 2; ++pass) {
        const QRect client = ClientRect();
        const int maxX = std::max(size_.width() - client.width(), 0);
        const int maxY = std::max(size_.height() - client.height(), 0);
        offset_ = QPoint(std::clamp(offset_.x(), 0, maxX), std::clamp(offset_.y(), 0, maxY));

        const bool keepH = (extendedStyle_ & SCRL_DISABLENOSCROLLH) != 0;
        const bool keepV = (extendedStyle_ & SCRL_DISABLENOSCROLLV) != 0;
        setHorizontalScrollBarPolicy(maxX > 0 || keepH ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(maxY > 0 || keepV ? Qt::ScrollBarAlwaysOn
                                                     : Qt::ScrollBarAlwaysOff);
        QScrollBar* h = horizontalScrollBar();
        h->setRange(0, maxX);
        h->setPageStep(std::max(client.width(), 1));  // the thumb's size; page clicks: OnBarAction
        h->setSingleStep(std::max(line_.width(), 1));
        h->setValue(offset_.x());
        h->setEnabled(maxX > 0);
        QScrollBar* v = verticalScrollBar();
        v->setRange(0, maxY);
        v->setPageStep(std::max(client.height(), 1));
        v->setSingleStep(std::max(line_.height(), 1));
        v->setValue(offset_.y());
        v->setEnabled(maxY > 0);
        if (ClientRect() == client) break;
    }
    updatingBars_ = false;
}

void CScrollWindowImpl::OnBarAction(Qt::Orientation bar, int action) {
    // The bar's page area moves by the page step, not by the client size the thumb shows.
    QScrollBar* scrollBar = bar == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    const int page = bar == Qt::Horizontal ? page_.width() : page_.height();
    if (action == QAbstractSlider::SliderPageStepAdd) {
        scrollBar->setSliderPosition(scrollBar->value() + page);
    } else if (action == QAbstractSlider::SliderPageStepSub) {
        scrollBar->setSliderPosition(scrollBar->value() - page);
    }
}

void CScrollWindowImpl::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (updatingBars_) return;
    offset_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    InvalidateClient();
}

void CScrollWindowImpl::ScrollByLines(Qt::Orientation direction, int lines) {
    if (direction == Qt::Horizontal) {
        SetScrollOffset(offset_.x() + lines * line_.width(), offset_.y());
    } else {
        SetScrollOffset(offset_.x(), offset_.y() + lines * line_.height());
    }
}

bool CScrollWindowImpl::ProcessWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                             LRESULT& result) {
    if (WindowImpl<ScrollAreaWidget>::ProcessWindowMessage(message, wParam, lParam, result)) {
        return true;
    }
    switch (message) {
        case WM_MOUSEWHEEL: {
            // Vertical wheel: scrolls vertically when there is something to scroll that way,
            // else horizontally; a positive delta goes up (left).
            wheelSum_ += static_cast<int16_t>(HIWORD(wParam));
            const bool vertical = size_.height() > ClientRect().height();
            const int steps = (std::abs(wheelSum_) * wheelLines_ + WHEEL_DELTA - 1) / WHEEL_DELTA;
            ScrollByLines(vertical ? Qt::Vertical : Qt::Horizontal, wheelSum_ > 0 ? -steps : steps);
            wheelSum_ %= WHEEL_DELTA;
            result = 0;
            return true;
        }
        case WM_MOUSEHWHEEL: {
            // Horizontal wheel: a positive delta goes right.
            hWheelSum_ += static_cast<int16_t>(HIWORD(wParam));
            const int steps = (std::abs(hWheelSum_) * wheelLines_ + WHEEL_DELTA - 1) / WHEEL_DELTA;
            ScrollByLines(Qt::Horizontal, hWheelSum_ > 0 ? steps : -steps);
            hWheelSum_ %= WHEEL_DELTA;
            result = 0;
            return true;
        }
        case WM_SETTINGCHANGE:
            wheelLines_ = QApplication::wheelScrollLines();
            result = 0;
            return true;
        default:
            return false;
    }
}

void CScrollWindowImpl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.translate(-offset_);
    DoPaint(painter);
}

void CScrollWindowImpl::resizeEvent(QResizeEvent* event) {
    UpdateBars();
    WindowImpl<ScrollAreaWidget>::resizeEvent(event);  // then WM_SIZE
}

void CScrollWindowImpl::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(p.x(), p.y()));
}

void CScrollWindowImpl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is a double-click only, never a second press.
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MakePointParam(p.x(), p.y()));
}

void CScrollWindowImpl::keyPressEvent(QKeyEvent* event) {
    event->accept();
    uintptr_t key = static_cast<uintptr_t>(event->key());
    switch (event->key()) {
        case Qt::Key_Space:
            key = VK_SPACE;
            break;
        case Qt::Key_End:
            key = VK_END;
            break;
        case Qt::Key_Home:
            key = VK_HOME;
            break;
        case Qt::Key_Left:
            key = VK_LEFT;
            break;
        case Qt::Key_Right:
            key = VK_RIGHT;
            break;
        case Qt::Key_Delete:
            key = VK_DELETE;
            break;
        default:
            break;
    }
    SendMessage(WM_KEYDOWN, key, 0);
}

void CScrollWindowImpl::wheelEvent(QWheelEvent* event) {
    event->accept();
    const QPoint angle = event->angleDelta();
    const QPoint p = event->position().toPoint();
    if (angle.y() != 0) {
        SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<uint16_t>(angle.y())),
                    MakePointParam(p.x(), p.y()));
    }
    if (angle.x() != 0) {
        // Qt counts a tilt to the left as positive; the window message counts a tilt right.
        SendMessage(WM_MOUSEHWHEEL, MAKEWPARAM(0, static_cast<uint16_t>(-angle.x())),
                    MakePointParam(p.x(), p.y()));
    }
}

}  // namespace brevio
