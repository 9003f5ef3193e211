#pragma once
// Reference pictures from the ffmpeg tool, for comparing what our decoding shows with an
// independent decoder.
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "media/FFmpegPtr.h"

namespace brevio::mediatest {

// The index of the frame shown at a position in a movie of constant frame rate num/den.
int FrameIndexAt(int64_t ticks, int64_t rateNum = 30000, int64_t rateDen = 1001);

// Frame `index` (presentation order) decoded by the ffmpeg tool, selected by number, as a
// yuv420p AVFrame of the given size; null when ffmpeg fails.
media::FramePtr FfmpegFrameYuv420(const std::filesystem::path& movie, int index, int width,
                                  int height);
// The same frame converted by ffmpeg to 32-bit BGRA, as a QImage::Format_RGB32 image.
QImage FfmpegFrameRgb(const std::filesystem::path& movie, int index, int width, int height);

// Peak signal-to-noise ratio over the R, G and B channels; 0 for different sizes, 99 for equal
// images.
double Psnr(const QImage& a, const QImage& b);

// True when every pixel of the rows [top, bottom) is black (each channel below 16).
bool RowsBlack(const QImage& image, int top, int bottom);

}  // namespace brevio::mediatest
