#include "CFrameSource.h"

#include "BmpWriter.h"

namespace brevio {

namespace {

class CFrameData : public IFrameData {
public:
    explicit CFrameData(std::shared_ptr<const std::vector<uint8_t>> bytes)
        : bytes_(std::move(bytes)) {}
    HRESULT GetImageBytes(std::vector<uint8_t>* bytes) override {
        if (bytes == nullptr) return E_POINTER;
        bytes->assign(bytes_->begin(), bytes_->end());
        return S_OK;
    }

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

bool LooksLikeJpeg(const std::vector<uint8_t>& b) {
    return b.size() >= 4 && b[0] == 0xFF && b[1] == 0xD8;
}

}  // namespace

HRESULT CFrameSource::Open(const QString& path, int32_t kind) {
    if (path.isEmpty()) return E_POINTER;
    if (kind != kFrameSourceOpenMovie) return E_INVALIDARG;
    decoder_.reset();
    auto file = media::MediaFile::Open(path.toStdString());
    if (!file) return E_FAIL;
    decoder_ = media::VideoDecoder::Create(std::move(file), 1);
    if (!decoder_ || decoder_->FrameCount() == 0) {
        decoder_.reset();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CFrameSource::GetFrame(int64_t position, int32_t flags,
                               std::unique_ptr<IFrameData>* frame) {
    if (frame == nullptr) return E_POINTER;
    frame->reset();
    if (flags != kFrameSourceFrameShown) return E_INVALIDARG;
    if (!decoder_) return E_FAIL;
    const int index = decoder_->FrameIndexAt(position);
    // The image buffer of the previous frame is reused once nobody holds that frame any more:
    // a full-size bitmap is megabytes, and fresh memory costs a page fault per page.
    if (!buffer_ || buffer_.use_count() > 1) buffer_ = std::make_shared<std::vector<uint8_t>>();
    if (decoder_->CodecId() == AV_CODEC_ID_MJPEG) {
        // A Motion JPEG sample is a JPEG image already: hand it out undecoded.
        if (!decoder_->ReadFrameBytes(index, *buffer_) || !LooksLikeJpeg(*buffer_)) return E_FAIL;
    } else {
        const AVFrame* decoded = decoder_->DecodeFrame(index);
        if (decoded == nullptr || !framesource::EncodeBmp(decoded, scaler_, *buffer_)) {
            return E_FAIL;
        }
    }
    frame->reset(new CFrameData(buffer_));
    return S_OK;
}

void RegisterFrameSourceComponent() {
    ComponentRegistry::Instance().Register(kFrameSourceName,
                                           [](std::unique_ptr<IComponent>& out) -> HRESULT {
                                               out = std::make_unique<CFrameSource>();
                                               return S_OK;
                                           });
}

}  // namespace brevio
