#include "CSeekBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace brevio::player {

namespace {
constexpr int kInset = 4;  // room for the handle at both ends
}

CSeekBar::CSeekBar(QWidget* parent) : QWidget(parent) {}

void CSeekBar::SetDuration(int64_t ticks) {
    ticks = std::max<int64_t>(ticks, 0);
    if (ticks == duration_) return;
    duration_ = ticks;
    update();
}

void CSeekBar::SetValue(int64_t ticks) {
    if (dragging_) return;  // the user's hand wins while it holds the handle
    ticks = std::clamp<int64_t>(ticks, 0, duration_);
    if (ticks == value_) return;
    value_ = ticks;
    update();
}

int64_t CSeekBar::PositionAt(int x) const {
    const int span = std::max(1, width() - 2 * kInset);
    const int64_t offset = std::clamp(x - kInset, 0, span);
    return duration_ * offset / span;
}

void CSeekBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int span = std::max(1, width() - 2 * kInset);
    const int mid = height() / 2;
    p.fillRect(rect(), palette().window());
    p.fillRect(QRect(kInset, mid - 2, span, 4), QColor(90, 90, 90));
    const int done = duration_ > 0 ? static_cast<int>(value_ * span / duration_) : 0;
    p.fillRect(QRect(kInset, mid - 2, done, 4), QColor(40, 120, 220));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 230, 230));
    p.drawEllipse(QPoint(kInset + done, mid), kInset, kInset);
}

void CSeekBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || duration_ <= 0) return;
    dragging_ = true;
    value_ = PositionAt(event->position().toPoint().x());
    update();
    if (onPressed) onPressed(value_);
}

void CSeekBar::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const int64_t v = PositionAt(event->position().toPoint().x());
    if (v == value_) return;
    value_ = v;
    update();
    if (onDragged) onDragged(value_);
}

void CSeekBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    value_ = PositionAt(event->position().toPoint().x());
    update();
    if (onReleased) onReleased(value_);
}

}  // namespace brevio::player
