#include "PictureView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include "platform/AccessibleFactory.h"
#include "resources/AccessibleTexts.h"

namespace brevio::player {

namespace {

using resources::AccessibleString;
using resources::AccessibleText;

// The picture as an image: its name says what it is, its description where the movie stands.
class PictureAccessible : public QAccessibleWidget {
public:
    explicit PictureAccessible(PictureView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return AccessibleString(AccessibleText::Picture);
            case QAccessible::Description:
                return static_cast<const PictureView*>(widget())->Description();
            default:
                return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* MakePictureAccessible(const QString&, QObject* object) {
    if (auto* view = qobject_cast<PictureView*>(object)) return new PictureAccessible(view);
    return nullptr;
}

}  // namespace

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    InstallAccessibleFactory(&MakePictureAccessible);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::SetPicture(QImage picture) {
    if (picture.cacheKey() == picture_.cacheKey()) return;
    picture_ = std::move(picture);
    update();
    Describe();
}

void PictureView::SetPosition(int64_t position, int64_t duration) {
    position_ = position;
    duration_ = duration;
    Describe();
}

QString PictureView::Description() const {
    if (picture_.isNull()) return AccessibleString(AccessibleText::NoPicture);
    return AccessibleString(AccessibleText::PictureAt)
        .arg(resources::AccessibleTime(position_), resources::AccessibleTime(duration_));
}

void PictureView::Describe() {
    if (!QAccessible::isActive()) return;
    QString text = Description();
    if (text == described_) return;
    described_ = std::move(text);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) painter.drawImage(rect(), picture_);
}

}  // namespace brevio::player
