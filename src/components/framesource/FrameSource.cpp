#include "FrameSource.h"

#include "BmpWriter.h"
#include "JpegPicker.h"
#include "platform/FileHelpers.h"

namespace brevio {

namespace {

class FrameData : public IFrameData {
public:
    explicit FrameData(std::shared_ptr<const std::vector<uint8_t>> bytes)
        : bytes_(std::move(bytes)) {}
    HRESULT GetImageBytes(std::vector<uint8_t>* bytes) override {
        if (bytes == nullptr) return E_POINTER;
        bytes->assign(bytes_->begin(), bytes_->end());
        return S_OK;
    }

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

// True when the sample is one whole JPEG image with its own Huffman tables: what an ordinary JPEG
// reader (Qt's) takes. Motion JPEG may leave the tables out (the decoder then uses the standard
// ones) or store a frame as two field images one after the other; such samples are decoded here.
bool IsPlainJpeg(const std::vector<uint8_t>& b) {
    const size_t size = b.size();
    if (size < 4 || b[0] != 0xFF || b[1] != 0xD8) return false;
    size_t pos = 2;
    bool tables = false;
    for (;;) {
        while (pos + 1 < size && b[pos] == 0xFF && b[pos + 1] == 0xFF) ++pos;  // fill bytes
        if (pos + 4 > size || b[pos] != 0xFF) return false;
        const uint8_t marker = b[pos + 1];
        if (marker == 0xD8 || marker == 0xD9) return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        const size_t length = (static_cast<size_t>(b[pos + 2]) << 8) | b[pos + 3];
        if (marker == 0xC4) tables = true;
        pos += 2 + length;
        if (marker == 0xDA) break;  // the scan follows its header
    }
    if (!tables) return false;
    // The entropy-coded data holds no FF D9 (a data byte FF is followed by 00 or a restart
    // marker): the first one ends the image, and no second image may follow.
    for (; pos + 1 < size; ++pos) {
        if (b[pos] == 0xFF && b[pos + 1] == 0xD9) break;
    }
    if (pos + 1 >= size) return false;
    for (pos += 2; pos + 1 < size; ++pos) {
        if (b[pos] == 0xFF && b[pos + 1] == 0xD8) return false;
    }
    return true;
}

}  // namespace

namespace {

// The decoder of the frame source makes one frame per request, mostly a key frame: one thread,
// and no frames in flight beyond what the codec's own references need. Decoding Motion JPEG at a
// reduced size (lowres) was measured and left out: it saved 5 to 10 ms a 4K frame but changed
// the thumbnails (block averages instead of the pixel under each centre; PSNR 27 to 32 dB
// against full decoding).
media::DecoderSettings SourceSettings() {
    media::DecoderSettings settings;
    settings.threads = 1;
    settings.threadType = FF_THREAD_SLICE;
    return settings;
}

}  // namespace

HRESULT FrameSource::Open(const QString& path, int32_t kind) {
    if (path.isEmpty()) return E_POINTER;
    if (kind != kFrameSourceOpenMovie) return E_INVALIDARG;
    decoder_.reset();
    auto file = media::MediaFile::Open(PathBytes(path).toStdString());
    if (!file) return E_FAIL;
    decoder_ = media::VideoDecoder::Create(std::move(file), SourceSettings());
    if (!decoder_ || decoder_->FrameCount() == 0) {
        decoder_.reset();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FrameSource::GetFrame(int64_t position, int32_t flags, std::unique_ptr<IFrameData>* frame) {
    if (frame == nullptr) return E_POINTER;
    frame->reset();
    if (flags != kFrameSourceFrameShown) return E_INVALIDARG;
    if (!decoder_) return E_FAIL;
    const int index = decoder_->FrameIndexAt(position);
    // The image buffer of the previous frame is reused once nobody holds that frame any more:
    // a full-size bitmap is megabytes, and fresh memory costs a page fault per page.
    if (!buffer_ || buffer_.use_count() > 1) buffer_ = std::make_shared<std::vector<uint8_t>>();
    // A Motion JPEG sample that is a plain JPEG image is handed out undecoded; every other frame
    // is decoded and handed out as a bitmap.
    const bool stored = decoder_->CodecId() == AV_CODEC_ID_MJPEG &&
                        decoder_->ReadFrameBytes(index, *buffer_) && IsPlainJpeg(*buffer_);
    if (!stored) {
        decoder_->SetLoopFilter(true);
        const AVFrame* decoded = decoder_->DecodeFrame(index);
        if (decoded == nullptr || !framesource::EncodeBmp(decoded, scaler_, *buffer_)) {
            return E_FAIL;
        }
    }
    frame->reset(new FrameData(buffer_));
    return S_OK;
}

HRESULT FrameSource::GetFrameSize(QSize* size) {
    if (size == nullptr) return E_POINTER;
    if (!decoder_) return E_FAIL;
    *size = QSize(decoder_->StoredWidth(), decoder_->StoredHeight());
    return S_OK;
}

HRESULT FrameSource::GetScaledFrame(int64_t position, QSize size, QImage* picture) {
    if (picture == nullptr) return E_POINTER;
    if (size.isEmpty()) return E_INVALIDARG;
    if (!decoder_) return E_FAIL;
    const int index = decoder_->FrameIndexAt(position);
    // A Motion JPEG sample that is a plain JPEG image is GetFrame's image as stored: the picture
    // is picked from it as Qt's JPEG reader decodes it, making only the rows picked from (a
    // third of the time of decoding the frame with FFmpeg at 4K).
    if (decoder_->CodecId() == AV_CODEC_ID_MJPEG && decoder_->ReadFrameBytes(index, jpeg_) &&
        IsPlainJpeg(jpeg_)) {
        QImage image =
            framesource::PickFromJpeg(jpeg_.data(), jpeg_.size(), size.width(), size.height());
        if (!image.isNull()) {
            *picture = std::move(image);
            return S_OK;
        }
    }
    decoder_->SetLoopFilter(false);
    const AVFrame* decoded = decoder_->DecodeFrame(index);
    if (decoded == nullptr) return E_FAIL;
    QImage image = scaler_.Pick(decoded, size.width(), size.height());
    if (image.isNull()) return E_FAIL;
    *picture = std::move(image);
    return S_OK;
}

void RegisterFrameSourceComponent() {
    ComponentRegistry::Instance().Register(kFrameSourceName,
                                           [](std::unique_ptr<IComponent>& out) -> HRESULT {
                                               out = std::make_unique<FrameSource>();
                                               return S_OK;
                                           });
}

}  // namespace brevio
