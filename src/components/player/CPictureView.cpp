#include "CPictureView.h"

#include <QPainter>

namespace brevio::player {

CPictureView::CPictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPictureView::SetPicture(QImage picture) {
    if (picture.cacheKey() == picture_.cacheKey()) return;
    picture_ = std::move(picture);
    update();
}

void CPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) painter.drawImage(rect(), picture_);
}

}  // namespace brevio::player
