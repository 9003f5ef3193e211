#pragma once
// The images of the thumbnail strip: a list of items made once with a fixed length, of which the
// first `count` are in use (strip position i is item i). Emptying the strip refills the images
// with the background colour instead of freeing them.
//
// Threads: everything on the UI thread except SwapImage, which the thumbnail worker calls. The
// list itself (its length and `count`) changes only while no worker runs.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <memory>

#include "platform/HResult.h"
#include "thumbnails/ThumbnailItem.h"

namespace brevio {

class CThumbnailCache {
public:
    CThumbnailCache() = default;
    CThumbnailCache(const CThumbnailCache&) = delete;
    CThumbnailCache& operator=(const CThumbnailCache&) = delete;

    // n items with width × height 32-bit images filled with background; count becomes n.
    // E_FAIL for a negative n, width or height, or when an image cannot be made (list emptied).
    HRESULT Init(int n, int width, int height, QRgb background);
    // Frees every image and empties the list; count 0.
    void ReleaseAll();
    // E_FAIL when n exceeds the list length (or is negative). Items n .. count − 1 are refilled
    // with the background when the count shrinks; items beyond the old count are not refilled when
    // it grows.
    HRESULT SetCount(int n);
    int GetCount() const { return count_; }
    int GetLength() const { return length_; }
    QRgb GetBackground() const { return background_; }

    // Whether item i (0 <= i < count) has an image with a bitmap.
    bool HasImage(int i) const;
    // Draws the whole image of item i into target under the item's lock (nearest-pixel scaling).
    // False when i is outside the strip or the item has no bitmap.
    bool DrawImage(int i, QPainter& painter, const QRect& target) const;
    // A copy of item i's image taken under its lock; null outside the strip.
    QImage CopyImage(int i) const;
    // Puts `image` in place of item i's image (any thread); the old image comes back in `image`,
    // to be freed by the caller outside the lock. False, with nothing changed, when i is outside
    // the list.
    bool SwapImage(int i, QImage& image);

    bool IsSelected(int i) const;
    void Select(int i);
    void ClearSelection();

private:
    bool InStrip(int i) const { return i >= 0 && i < count_; }
    void Fill(int i, const QSize& size);

    std::unique_ptr<ThumbnailItem[]> items_;
    int length_ = 0;
    int count_ = 0;
    QRgb background_ = qRgb(255, 255, 255);
};

}  // namespace brevio
