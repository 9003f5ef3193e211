#pragma once
// Makes the 64 x 48 strip thumbnails: asks the frame source for the frame at a position, decodes
// its bytes and draws them, scaled by whole-number steps, between black bands.
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "framesource/IFrameSource.h"
#include "platform/HResult.h"

class CThumbnailMaker {
public:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    // Creates the frame source through the component registry and opens the movie with it.
    // Returns the first failure (E_FAIL when the frame source lacks the interface), else S_OK.
    HRESULT Open(const QString& path);

    // Makes the thumbnail for a position into image. E_POINTER for a null image, E_FAIL when not
    // open; a failure of the frame source is returned as it is, leaving image untouched. Otherwise
    // image is recreated as a new black 64 x 48 QImage::Format_RGB32 and, when the bytes decode
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
    std::unique_ptr<brevio::IFrameSource> source_;
    std::vector<uint8_t> bytes_;  // the last frame's bytes; kept for its memory
};
