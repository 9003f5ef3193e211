#include "JpegPicker.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <vector>

#include "media/FrameScaler.h"

extern "C" {
#include <jpeglib.h>
}

namespace brevio::framesource {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to
// the call that decodes, past libjpeg's own frames only.
struct JumpingErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JumpingErrors*>(info->err)->jump, 1);
}

// Warnings about damaged data are not printed; libjpeg goes on as far as it can.
void Quiet(j_common_ptr, int) {}

// Decodes the picked rows into `image` (allocated by the caller); false on a fatal error. Only
// `info` and what the caller owns live across the jump.
bool PickRows(jpeg_decompress_struct& info, JumpingErrors& errors, const uint8_t* data, size_t size,
              QImage& image, std::vector<int>& columns, std::vector<uint8_t>& row) {
    if (setjmp(errors.jump) != 0) return false;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    info.out_color_space = JCS_EXT_BGRX;
    if (!jpeg_start_decompress(&info)) return false;
    const int sourceWidth = static_cast<int>(info.output_width);
    const int sourceHeight = static_cast<int>(info.output_height);
    if (sourceWidth <= 0 || sourceHeight <= 0 || info.output_components != 4) return false;
    row.resize(static_cast<size_t>(sourceWidth) * 4);
    columns.resize(static_cast<size_t>(image.width()));
    for (int x = 0; x < image.width(); ++x)
        columns[static_cast<size_t>(x)] = media::FrameScaler::Centre(x, image.width(), sourceWidth);
    JSAMPROW rows[1] = {row.data()};
    int made = -1;  // the source row in `row`
    for (int y = 0; y < image.height(); ++y) {
        const int wanted = media::FrameScaler::Centre(y, image.height(), sourceHeight);
        if (wanted != made) {
            if (static_cast<int>(info.output_scanline) < wanted)
                jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(wanted) - info.output_scanline);
            if (static_cast<int>(info.output_scanline) != wanted ||
                jpeg_read_scanlines(&info, rows, 1) != 1)
                return false;
            made = wanted;
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const uint8_t* pixel =
                row.data() + static_cast<size_t>(columns[static_cast<size_t>(x)]) * 4;
            out[x] = qRgb(pixel[2], pixel[1], pixel[0]);
        }
    }
    return true;
}

}  // namespace

QImage PickFromJpeg(const uint8_t* data, size_t size, int width, int height) {
    if (data == nullptr || size == 0 || width <= 0 || height <= 0) return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    jpeg_decompress_struct info{};
    JumpingErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpBack;
    errors.manager.emit_message = Quiet;
    jpeg_create_decompress(&info);
    std::vector<int> columns;
    std::vector<uint8_t> row;
    const bool ok = PickRows(info, errors, data, size, image, columns, row);
    jpeg_destroy_decompress(&info);
    if (!ok) return {};
    return image;
}

}  // namespace brevio::framesource
