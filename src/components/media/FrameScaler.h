#pragma once
// Scaling and pixel-format conversion of decoded frames with libswscale, into Qt images.
#include <QImage>
#include <QSize>

#include "FFmpegPtr.h"

namespace brevio::media {

class FrameScaler {
public:
    // Scales the frame to width x height into a QImage::Format_RGB32 image; null on failure.
    QImage Scale(const AVFrame* frame, int width, int height);
    // Scales into existing 32-bit pixels (B, G, R, X in memory, as Format_RGB32 on little endian).
    // filter: a swscale filter flag (SWS_BILINEAR, SWS_POINT, ...).
    bool ScaleInto(const AVFrame* frame, int width, int height, uint8_t* pixels, int stride,
                   int filter = kBilinear);
    static const int kBilinear;
    // Each picture of `width` x `height` pixels whose pixel (x, y) is the frame's pixel at
    // ((2x + 1) W / 2w, (2y + 1) H / 2h), the pixel under its centre, as a nearest-neighbour blit
    // of the whole converted frame gives it; only the picked pixels are converted. Null on failure.
    QImage Pick(const AVFrame* frame, int width, int height);
    // The frame fitted into a box of the given size keeping its display aspect ratio, centred,
    // with black bars; a null frame gives a black image.
    QImage Letterbox(const AVFrame* frame, QSize box);

    // The source pixel under the centre of target pixel `i` of `count` over `size` pixels, in the
    // 16.16 fixed-point steps of Qt's nearest-neighbour image scaling, so that a picked picture
    // equals a converted frame drawn scaled without smoothing.
    static int Centre(int i, int count, int size);

    // The rectangle that a picture of the given display size takes when fitted into box.
    static QRect FitRect(QSize picture, QSize box);
    // The frame's display size (its pixel size corrected by the sample aspect ratio).
    static QSize DisplaySize(const AVFrame* frame);

private:
    SwsPtr sws_;
    FramePtr picked_;  // the picked pixels, in the frame's own depth, before conversion
};

}  // namespace brevio::media
