#include "FrameScaler.h"

#include <QRect>
#include <algorithm>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace brevio::media {

namespace {

// Full-range JPEG formats are deprecated in swscale; map them to the plain ones with full range.
AVPixelFormat PlainFormat(AVPixelFormat f, bool* fullRange) {
    *fullRange = false;
    switch (f) {
        case AV_PIX_FMT_YUVJ420P:
            *fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            *fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            *fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            *fullRange = true;
            return AV_PIX_FMT_YUV440P;
        default:
            return f;
    }
}

}  // namespace

bool FrameScaler::ScaleInto(const AVFrame* frame, int width, int height, uint8_t* pixels,
                            int stride) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0 || width <= 0 || height <= 0) {
        return false;
    }
    bool fullRange = false;
    const AVPixelFormat src = PlainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (frame->color_range == AVCOL_RANGE_JPEG) fullRange = true;
    SwsContext* ctx =
        sws_getCachedContext(sws_.release(), frame->width, frame->height, src, width, height,
                             AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    sws_.reset(ctx);
    if (ctx == nullptr) return false;
    int* invTable = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(ctx, &invTable, &srcRange, &table, &dstRange, &brightness,
                                 &contrast, &saturation) >= 0 &&
        srcRange != (fullRange ? 1 : 0)) {
        sws_setColorspaceDetails(ctx, invTable, fullRange ? 1 : 0, table, dstRange, brightness,
                                 contrast, saturation);
    }
    uint8_t* dst[4] = {pixels, nullptr, nullptr, nullptr};
    int dstStride[4] = {stride, 0, 0, 0};
    return sws_scale(ctx, frame->data, frame->linesize, 0, frame->height, dst, dstStride) == height;
}

QImage FrameScaler::Scale(const AVFrame* frame, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    if (!ScaleInto(frame, width, height, image.bits(), static_cast<int>(image.bytesPerLine()))) {
        return {};
    }
    return image;
}

QSize FrameScaler::DisplaySize(const AVFrame* frame) {
    if (frame == nullptr) return {};
    int w = frame->width;
    const int h = frame->height;
    const AVRational sar = frame->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0 && sar.num != sar.den) {
        w = static_cast<int>(static_cast<int64_t>(w) * sar.num / sar.den);
    }
    return {std::max(w, 1), std::max(h, 1)};
}

QRect FrameScaler::FitRect(QSize picture, QSize box) {
    if (picture.isEmpty() || box.isEmpty()) return {};
    const int64_t pw = picture.width(), ph = picture.height();
    int w = box.width();
    int h = static_cast<int>(ph * w / pw);
    if (h > box.height()) {
        h = box.height();
        w = static_cast<int>(pw * h / ph);
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
    return QRect((box.width() - w) / 2, (box.height() - h) / 2, w, h);
}

QImage FrameScaler::Letterbox(const AVFrame* frame, QSize box) {
    QImage image(box, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::black);
    const QRect r = FitRect(DisplaySize(frame), box);
    if (r.isEmpty()) return image;
    uint8_t* origin = image.bits() + static_cast<ptrdiff_t>(r.y()) * image.bytesPerLine() +
                      static_cast<ptrdiff_t>(r.x()) * 4;
    if (!ScaleInto(frame, r.width(), r.height(), origin, static_cast<int>(image.bytesPerLine()))) {
        image.fill(Qt::black);
    }
    return image;
}

}  // namespace brevio::media
