#include "FrameScaler.h"

#include <QRect>
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace brevio::media {

const int FrameScaler::kBilinear = SWS_BILINEAR;

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

// The planar 4:4:4 format of the same depth as a planar YUV format with one component per plane,
// whose samples can be picked one by one; AV_PIX_FMT_NONE for any other format.
AVPixelFormat PickedFormat(const AVPixFmtDescriptor* d) {
    if (d == nullptr || d->nb_components != 3 || !(d->flags & AV_PIX_FMT_FLAG_PLANAR) ||
        (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_HWACCEL |
                     AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM))) {
        return AV_PIX_FMT_NONE;
    }
    const int depth = d->comp[0].depth;
    for (int i = 0; i < 3; ++i) {
        const AVComponentDescriptor& c = d->comp[i];
        if (c.plane != i || c.offset != 0 || c.shift != 0 || c.depth != depth ||
            c.step != (depth > 8 ? 2 : 1)) {
            return AV_PIX_FMT_NONE;
        }
    }
    switch (depth) {
        case 8:
            return AV_PIX_FMT_YUV444P;
        case 9:
            return AV_PIX_FMT_YUV444P9LE;
        case 10:
            return AV_PIX_FMT_YUV444P10LE;
        case 12:
            return AV_PIX_FMT_YUV444P12LE;
        case 14:
            return AV_PIX_FMT_YUV444P14LE;
        case 16:
            return AV_PIX_FMT_YUV444P16LE;
        default:
            return AV_PIX_FMT_NONE;
    }
}

}  // namespace

int FrameScaler::Centre(int i, int count, int size) {
    const auto step = static_cast<int64_t>(65536.0 / (static_cast<double>(count) / size));
    const int64_t base = (step + 1) / 2 - 1;  // ceil(step / 2) - 1
    return static_cast<int>(std::min<int64_t>((base + i * step) >> 16, size - 1));
}

QImage FrameScaler::Pick(const AVFrame* frame, int width, int height) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0 || width <= 0 || height <= 0) {
        return {};
    }
    const auto* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    const AVPixelFormat format = PickedFormat(desc);
    if (format == AV_PIX_FMT_NONE) {
        // Any other layout: the whole frame converted, then the same pixels picked.
        const QImage full = Scale(frame, frame->width, frame->height);
        if (full.isNull()) return {};
        QImage image(width, height, QImage::Format_RGB32);
        if (image.isNull()) return {};
        for (int y = 0; y < height; ++y) {
            const auto* from =
                reinterpret_cast<const QRgb*>(full.constScanLine(Centre(y, height, full.height())));
            auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) to[x] = from[Centre(x, width, full.width())];
        }
        return image;
    }
    if (!picked_ || picked_->width != width || picked_->height != height ||
        picked_->format != format) {
        picked_.reset(av_frame_alloc());
        if (!picked_) return {};
        picked_->width = width;
        picked_->height = height;
        picked_->format = format;
        if (av_frame_get_buffer(picked_.get(), 0) < 0) {
            picked_.reset();
            return {};
        }
    }
    picked_->color_range = frame->color_range;
    picked_->colorspace = frame->colorspace;
    const int bytes = desc->comp[0].depth > 8 ? 2 : 1;
    for (int plane = 0; plane < 3; ++plane) {
        const int sx = plane == 0 ? 0 : desc->log2_chroma_w;
        const int sy = plane == 0 ? 0 : desc->log2_chroma_h;
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = frame->data[plane] +
                                  static_cast<ptrdiff_t>(Centre(y, height, frame->height) >> sy) *
                                      frame->linesize[plane];
            uint8_t* to =
                picked_->data[plane] + static_cast<ptrdiff_t>(y) * picked_->linesize[plane];
            for (int x = 0; x < width; ++x) {
                const int column = Centre(x, width, frame->width) >> sx;
                std::memcpy(to + x * bytes, from + column * bytes, static_cast<size_t>(bytes));
            }
        }
    }
    // The full-range JPEG formats pick into the plain 4:4:4 format; their range goes with it.
    bool fullRange = false;
    PlainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (fullRange) picked_->color_range = AVCOL_RANGE_JPEG;
    return Scale(picked_.get(), width, height);
}

bool FrameScaler::ScaleInto(const AVFrame* frame, int width, int height, uint8_t* pixels,
                            int stride, int filter) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0 || width <= 0 || height <= 0) {
        return false;
    }
    bool fullRange = false;
    const AVPixelFormat src = PlainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (frame->color_range == AVCOL_RANGE_JPEG) fullRange = true;
    SwsContext* ctx =
        sws_getCachedContext(sws_.release(), frame->width, frame->height, src, width, height,
                             AV_PIX_FMT_BGRA, filter, nullptr, nullptr, nullptr);
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
