#pragma once
// One place of the thumbnail strip: its image and whether it is selected. The image is replaced by
// the thumbnail worker while the UI thread may be painting it, so every access to it goes through
// the item's lock; a made thumbnail is rendered elsewhere and swapped in, so the lock is held only
// for the swap or for one drawImage. `selected` belongs to the UI thread.
#include <QImage>
#include <mutex>

namespace brevio {

struct ThumbnailItem {
    QImage image;  // null: no bitmap
    bool selected = false;
    mutable std::mutex lock;  // guards image
};

}  // namespace brevio
