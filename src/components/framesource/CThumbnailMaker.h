#pragma once
// Makes the 64 x 48 strip thumbnails: asks the frame source for the frame at a position, scaled
// straight from the decoder to the picture's size in device pixels, and draws it between black
// bands. A frame source that cannot tell the frame's size hands out encoded bytes instead, which
// are decoded and scaled here.
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "framesource/IFrameSource.h"
#include "platform/HResult.h"

namespace brevio {

class CThumbnailMaker {
public:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    // Creates the frame source through the component registry and opens the movie with it.
    // Returns the first failure (E_FAIL when the frame source lacks the interface), else S_OK.
    HRESULT Open(const QString& path);
    // Device pixels per logical pixel of the view that shows the thumbnails: the thumbnail is made
    // ratio × 64 × 48 pixels and carries the ratio, so that it is drawn at 64 × 48 logical pixels.
    void SetPixelRatio(qreal ratio) { ratio_ = ratio > 0 ? ratio : 1.0; }

    // Makes the thumbnail for a position into image. E_POINTER for a null image, E_FAIL when not
    // open; a failure of the frame source is returned as it is, leaving image untouched. Otherwise
    // image is recreated as a new black 64 x 48 (times the pixel ratio) QImage::Format_RGB32 and,
    // when the frame or its bytes decode
    // (S_OK), the picture is drawn into it; bytes that do not decode give E_FAIL and a black image.
    HRESULT RenderThumbnail(int64_t position, QImage* image);

    // Where a decoded W x H picture goes in the thumbnail: s = W / 64, height f = H / s,
    // top y = (48 - f) / 2, all truncating. A picture narrower than 64 pixels (s would be 0) is
    // stretched to the full width with its aspect kept: f = H * 64 / W.
    struct Placement {
        int y = 0;
        int height = 0;
    };
    static Placement PlacementFor(int width, int height);

private:
    HRESULT RenderScaled(int64_t position, QSize frameSize, QImage* image);

    qreal ratio_ = 1.0;
    std::unique_ptr<IFrameSource> source_;
    std::vector<uint8_t> bytes_;  // the last frame's bytes; kept for its memory
};

}  // namespace brevio
