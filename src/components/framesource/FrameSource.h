#pragma once
// The frame source over FFmpeg decoding. Meant for one thread at a time (each thumbnail worker
// makes its own).
#include <memory>
#include <vector>

#include "IFrameSource.h"
#include "media/FrameScaler.h"
#include "media/VideoDecoder.h"

namespace brevio {

class FrameSource : public IFrameSource {
public:
    HRESULT Open(const QString& path, int32_t kind) override;
    HRESULT GetFrame(int64_t position, int32_t flags, std::unique_ptr<IFrameData>* frame) override;
    HRESULT GetFrameSize(QSize* size) override;
    HRESULT GetScaledFrame(int64_t position, QSize size, QImage* picture) override;

private:
    std::unique_ptr<media::VideoDecoder> decoder_;
    media::FrameScaler scaler_;
    std::shared_ptr<std::vector<uint8_t>> buffer_;
    std::vector<uint8_t> jpeg_;  // the stored sample GetScaledFrame picks from
};

}  // namespace brevio
