#include "PictureView.h"

#include <QPainter>

namespace brevio::player {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::SetPicture(QImage picture) {
    if (picture.cacheKey() == picture_.cacheKey()) return;
    picture_ = std::move(picture);
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) painter.drawImage(rect(), picture_);
}

}  // namespace brevio::player
