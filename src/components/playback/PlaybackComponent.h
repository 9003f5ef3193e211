#pragma once
#include <functional>
#include <memory>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "IPlaybackComponent.h"

namespace brevio {

class PlaybackComponent : public IPlaybackVersion {
public:
    HRESULT GetVersion(uint32_t* version) override;

    // The factory's work: E_FAIL and no object when hasDecoder says no for any decoder the system
    // needs (H.264, Motion JPEG, PCM s16le/s16be, AAC). The registered factory asks FFmpeg.
    static HRESULT Create(const std::function<bool(AVCodecID)>& hasDecoder,
                          std::unique_ptr<IComponent>& out);
};

}  // namespace brevio
