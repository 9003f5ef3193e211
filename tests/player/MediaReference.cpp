#include "MediaReference.h"

#include <cmath>
#include <cstring>
#include <string>

#include "testmovies/Process.h"

namespace brevio::mediatest {

namespace {

std::string RawFrame(const std::filesystem::path& movie, int index, const char* pixFmt) {
    const std::string select = "select=eq(n\\," + std::to_string(index) + ")";
    auto r = testmovies::RunCommand({"ffmpeg", "-v", "error", "-nostdin", "-i", movie.string(),
                                     "-map", "0:v:0", "-vf", select, "-vsync", "0", "-frames:v",
                                     "1", "-f", "rawvideo", "-pix_fmt", pixFmt, "pipe:1"});
    if (r.exitCode != 0) return {};
    return r.out;
}

}  // namespace

int FrameIndexAt(int64_t ticks, int64_t rateNum, int64_t rateDen) {
    if (ticks < 0) return 0;
    return static_cast<int>(ticks * rateNum / (rateDen * 10'000'000));
}

media::FramePtr FfmpegFrameYuv420(const std::filesystem::path& movie, int index, int width,
                                  int height) {
    const std::string raw = RawFrame(movie, index, "yuv420p");
    const size_t luma = static_cast<size_t>(width) * height;
    const size_t chroma = static_cast<size_t>((width + 1) / 2) * ((height + 1) / 2);
    if (raw.size() != luma + 2 * chroma) return nullptr;
    media::FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    const char* src = raw.data();
    for (int y = 0; y < height; ++y) {
        std::memcpy(frame->data[0] + y * frame->linesize[0], src + y * width, width);
    }
    src += luma;
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    for (int p = 1; p <= 2; ++p) {
        for (int y = 0; y < ch; ++y) {
            std::memcpy(frame->data[p] + y * frame->linesize[p], src + y * cw, cw);
        }
        src += chroma;
    }
    return frame;
}

QImage FfmpegFrameRgb(const std::filesystem::path& movie, int index, int width, int height) {
    const std::string raw = RawFrame(movie, index, "bgra");
    if (raw.size() != static_cast<size_t>(width) * height * 4) return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.scanLine(y), raw.data() + static_cast<size_t>(y) * width * 4,
                    static_cast<size_t>(width) * 4);
    }
    return image;
}

double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]);
            const int dg = qGreen(p[col]) - qGreen(q[col]);
            const int db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    if (mse <= 1e-9) return 99;
    return 10 * std::log10(255.0 * 255.0 / mse);
}

bool RowsBlack(const QImage& image, int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) >= 16 || qGreen(c) >= 16 || qBlue(c) >= 16) return false;
        }
    }
    return true;
}

}  // namespace brevio::mediatest
