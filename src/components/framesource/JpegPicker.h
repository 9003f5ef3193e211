#pragma once
// Pictures picked from a JPEG image as Qt's JPEG reader shows it, without decoding all of it.
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace brevio::framesource {

// The picture of `width` x `height` pixels (Format_RGB32) whose pixel (x, y) is the image's pixel
// under its centre (media::FrameScaler::Centre), decoded by libjpeg with the settings of Qt's JPEG
// reader (accurate integer transform, smooth chroma upsampling), so that it equals the image Qt
// reads drawn scaled without smoothing. Only the rows that hold picked pixels are made; the others
// are skipped. Null when libjpeg cannot read the bytes or give them in RGB.
QImage PickFromJpeg(const uint8_t* data, size_t size, int width, int height);

}  // namespace brevio::framesource
