#include "CThumbnailCache.h"

#include <new>

namespace brevio {

HRESULT CThumbnailCache::Init(int n, int width, int height, QRgb background) {
    if (n < 0 || width < 0 || height < 0) return E_FAIL;
    ReleaseAll();
    std::unique_ptr<ThumbnailItem[]> items(new (std::nothrow) ThumbnailItem[n]);
    if (!items && n > 0) return E_FAIL;
    for (int i = 0; i < n; ++i) {
        QImage image(width, height, QImage::Format_RGB32);
        if (image.isNull() && width > 0 && height > 0) return E_FAIL;
        image.fill(background);
        items[i].image = std::move(image);
    }
    items_ = std::move(items);
    length_ = n;
    background_ = background;
    count_ = n;
    return S_OK;
}

void CThumbnailCache::ReleaseAll() {
    items_.reset();
    length_ = 0;
    count_ = 0;
}

HRESULT CThumbnailCache::SetCount(int n) {
    if (n < 0 || n > length_) return E_FAIL;
    if (n < count_) {
        QSize size;
        {
            std::lock_guard guard(items_[0].lock);
            size = items_[0].image.size();
        }
        if (size.width() < 0 || size.height() < 0) return S_FALSE;
        for (int i = n; i < count_; ++i) Fill(i, size);
    }
    count_ = n;
    return S_OK;
}

void CThumbnailCache::Fill(int i, const QSize& size) {
    std::lock_guard guard(items_[i].lock);
    QImage& image = items_[i].image;
    if (image.size() != size) image = QImage(size, QImage::Format_RGB32);
    image.fill(background_);
}

bool CThumbnailCache::HasImage(int i) const {
    if (!InStrip(i)) return false;
    std::lock_guard guard(items_[i].lock);
    return !items_[i].image.isNull();
}

bool CThumbnailCache::DrawImage(int i, QPainter& painter, const QRect& target) const {
    if (!InStrip(i)) return false;
    std::lock_guard guard(items_[i].lock);
    const QImage& image = items_[i].image;
    if (image.isNull()) return false;
    painter.drawImage(target, image, image.rect());
    return true;
}

QImage CThumbnailCache::CopyImage(int i) const {
    if (!InStrip(i)) return {};
    std::lock_guard guard(items_[i].lock);
    return items_[i].image.copy();
}

bool CThumbnailCache::SwapImage(int i, QImage& image) {
    if (i < 0 || i >= length_) return false;
    std::lock_guard guard(items_[i].lock);
    items_[i].image.swap(image);
    return true;
}

bool CThumbnailCache::IsSelected(int i) const {
    return InStrip(i) && items_[i].selected;
}

void CThumbnailCache::Select(int i) {
    if (InStrip(i)) items_[i].selected = true;
}

void CThumbnailCache::ClearSelection() {
    for (int i = 0; i < length_; ++i) items_[i].selected = false;
}

}  // namespace brevio
