#include "CThumbnailMaker.h"

#include <QPainter>
#include <climits>
#include <cmath>
#include <cstring>

#include "framesource/BmpWriter.h"

namespace brevio {

HRESULT CThumbnailMaker::Open(const QString& path) {
    source_.reset();
    std::unique_ptr<IFrameSource> source;
    HRESULT hr = ComponentRegistry::Instance().CreateAs(kFrameSourceName, source);
    if (FAILED(hr)) return hr;
    hr = source->Open(path, kFrameSourceOpenMovie);
    if (FAILED(hr)) return hr;
    source_ = std::move(source);
    return S_OK;
}

CThumbnailMaker::Placement CThumbnailMaker::PlacementFor(int width, int height) {
    Placement p;
    if (width <= 0 || height <= 0) return p;
    const int s = width / kWidth;
    if (s == 0) {
        p.height = static_cast<int>(static_cast<int64_t>(height) * kWidth / width);
    } else {
        p.height = height / s;
    }
    p.y = (kHeight - p.height) / 2;
    return p;
}

HRESULT CThumbnailMaker::RenderScaled(int64_t position, QSize frameSize, QImage* image) {
    const Placement p = PlacementFor(frameSize.width(), frameSize.height());
    auto device = [this](int logical) { return static_cast<int>(std::lround(logical * ratio_)); };
    const int width = device(kWidth), height = device(kHeight);
    const int top = device(p.y), rows = device(p.height);
    QImage picture;
    if (rows > 0) {
        const HRESULT hr = source_->GetScaledFrame(position, QSize(width, rows), &picture);
        if (FAILED(hr)) return hr;
    }
    QImage target(width, height, QImage::Format_RGB32);
    target.fill(Qt::black);
    // The picture's rows that fall inside the thumbnail (a picture taller than it loses its last).
    for (int row = std::max(0, -top); row < rows && top + row < height; ++row) {
        std::memcpy(target.scanLine(top + row), picture.constScanLine(row),
                    static_cast<size_t>(width) * 4);
    }
    target.setDevicePixelRatio(ratio_);
    *image = std::move(target);
    return S_OK;
}

HRESULT CThumbnailMaker::RenderThumbnail(int64_t position, QImage* image) {
    if (image == nullptr) return E_POINTER;
    if (!source_) return E_FAIL;
    QSize frameSize;
    if (SUCCEEDED(source_->GetFrameSize(&frameSize)) && !frameSize.isEmpty()) {
        return RenderScaled(position, frameSize, image);
    }
    std::unique_ptr<IFrameData> frame;
    HRESULT hr = source_->GetFrame(position, kFrameSourceFrameShown, &frame);
    if (FAILED(hr)) return hr;
    if (!frame) return E_FAIL;
    hr = frame->GetImageBytes(&bytes_);
    if (FAILED(hr)) return hr;

    // The frame source's own kind of bitmap is used in place; everything else goes through Qt's
    // image readers. `decoded` may point into bytes_ and is used only within this call.
    QImage decoded;
    framesource::BmpView view;
    bool ok = false;
    if (framesource::PlainBmpView(bytes_.data(), bytes_.size(), view)) {
        // Writable memory, so that painting from it never makes a private copy first.
        uchar* pixels = bytes_.data() + (view.pixels - bytes_.data());
        decoded = QImage(pixels, view.width, view.height, view.stride, QImage::Format_RGB32);
        ok = !decoded.isNull();
    } else if (!bytes_.empty() && bytes_.size() <= static_cast<size_t>(INT_MAX)) {
        ok = decoded.loadFromData(bytes_.data(), static_cast<int>(bytes_.size()));
    }
    hr = ok ? S_OK : E_FAIL;

    // The target is made anew whether or not the bytes decoded: a failure leaves it black.
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    target.fill(Qt::black);
    if (ok && !decoded.isNull()) {
        const Placement p = PlacementFor(decoded.width(), decoded.height());
        if (p.height > 0) {
            QPainter painter(&target);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(QRect(0, p.y, kWidth, p.height), decoded, decoded.rect());
        }
    }
    if (ratio_ != 1.0) {
        target = target.scaled(std::lround(kWidth * ratio_), std::lround(kHeight * ratio_));
        target.setDevicePixelRatio(ratio_);
    }
    *image = std::move(target);
    return hr;
}

}  // namespace brevio
