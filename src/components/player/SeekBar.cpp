#include "SeekBar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "platform/AccessibleFactory.h"
#include "resources/AccessibleTexts.h"

namespace brevio::player {

namespace {

constexpr int kInset = 4;  // room for the handle at both ends
constexpr int64_t kFallbackPage = 10 * SeekBar::kTicksPerSecond;

using resources::AccessibleString;
using resources::AccessibleText;

// The seek bar as a slider: its value in whole seconds, its text "0:17 of 0:48".
class SeekBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SeekBarAccessible(SeekBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return AccessibleString(AccessibleText::SeekBar);
            case QAccessible::Value:
            case QAccessible::Description:
                return Bar()->ValueText();
            default:
                return QAccessibleWidget::text(t);
        }
    }
    QVariant currentValue() const override { return Seconds(Bar()->Value()); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return Seconds(Bar()->Duration()); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    static qlonglong Seconds(int64_t ticks) { return ticks / SeekBar::kTicksPerSecond; }
    SeekBar* Bar() const { return static_cast<SeekBar*>(widget()); }
};

QAccessibleInterface* MakeSeekBarAccessible(const QString& className, QObject* object) {
    auto* bar = qobject_cast<SeekBar*>(object);
    if (bar == nullptr || className != QLatin1String(SeekBar::staticMetaObject.className()))
        return nullptr;
    return new SeekBarAccessible(bar);
}

}  // namespace

SeekBar::SeekBar(QWidget* parent) : QWidget(parent) {
    InstallAccessibleFactory(&MakeSeekBarAccessible);
    // By Tab only: a press on the bar seeks, as before, without taking the focus.
    setFocusPolicy(Qt::TabFocus);
}

void SeekBar::SetDuration(int64_t ticks) {
    ticks = std::max<int64_t>(ticks, 0);
    if (ticks == duration_) return;
    duration_ = ticks;
    update();
}

void SeekBar::SetValue(int64_t ticks) {
    if (dragging_) return;  // the user's hand wins while it holds the handle
    ticks = std::clamp<int64_t>(ticks, 0, duration_);
    if (ticks == value_) return;
    MoveValue(ticks);
}

void SeekBar::MoveValue(int64_t ticks) {
    const int64_t old = value_;
    value_ = ticks;
    update();
    // A screen reader hears of whole seconds only, not of every tick of the playing clock.
    if (old / kTicksPerSecond != value_ / kTicksPerSecond && QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this,
                                          QVariant::fromValue<qlonglong>(value_ / kTicksPerSecond));
        QAccessible::updateAccessibility(&event);
    }
}

QString SeekBar::ValueText() const {
    return AccessibleString(AccessibleText::SeekValue)
        .arg(resources::AccessibleTime(value_), resources::AccessibleTime(duration_));
}

int64_t SeekBar::PositionAt(int x) const {
    const int span = std::max(1, width() - 2 * kInset);
    const int64_t offset = std::clamp(x - kInset, 0, span);
    return duration_ * offset / span;
}

void SeekBar::paintEvent(QPaintEvent*) {
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
    if (hasFocus()) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &p, this);
    }
}

void SeekBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || duration_ <= 0) return;
    dragging_ = true;
    MoveValue(PositionAt(event->position().toPoint().x()));
    if (onPressed) onPressed(value_);
}

void SeekBar::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const int64_t v = PositionAt(event->position().toPoint().x());
    if (v == value_) return;
    MoveValue(v);
    if (onDragged) onDragged(value_);
}

void SeekBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    MoveValue(PositionAt(event->position().toPoint().x()));
    if (onReleased) onReleased(value_);
}

void SeekBar::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const auto page = [this](int direction) {
        if (pageTarget) return pageTarget(value_, direction);
        return value_ + direction * kFallbackPage;
    };
    switch (event->key()) {
        case Qt::Key_Space:
            if (onPlayPauseKey) onPlayPauseKey();
            break;
        case Qt::Key_Left:
            SeekByKey(value_ - kTicksPerSecond);
            break;
        case Qt::Key_Right:
            SeekByKey(value_ + kTicksPerSecond);
            break;
        case Qt::Key_PageUp:
            SeekByKey(page(-1));
            break;
        case Qt::Key_PageDown:
            SeekByKey(page(1));
            break;
        case Qt::Key_Home:
            SeekByKey(0);
            break;
        case Qt::Key_End:
            SeekByKey(duration_);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void SeekBar::SeekByKey(int64_t ticks) {
    if (dragging_ || duration_ <= 0 || !isEnabled()) return;
    MoveValue(std::clamp<int64_t>(ticks, 0, duration_));
    if (onPressed) onPressed(value_);
    if (onReleased) onReleased(value_);
}

}  // namespace brevio::player
