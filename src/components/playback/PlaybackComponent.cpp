#include "PlaybackComponent.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/CodecMap.h"

namespace brevio {

HRESULT PlaybackComponent::GetVersion(uint32_t* version) {
    if (version == nullptr) return E_POINTER;
    *version = kPlaybackComponentVersion;
    return S_OK;
}

HRESULT PlaybackComponent::Create(const std::function<bool(AVCodecID)>& hasDecoder,
                                  std::unique_ptr<IComponent>& out) {
    out.reset();
    if (!hasDecoder) return E_FAIL;
    for (AVCodecID id : media::RequiredDecoders()) {
        if (!hasDecoder(id)) return E_FAIL;
    }
    out = std::make_unique<PlaybackComponent>();
    return S_OK;
}

void RegisterPlaybackComponent() {
    ComponentRegistry::Instance().Register(
        kPlaybackComponentName, [](std::unique_ptr<IComponent>& out) -> HRESULT {
            return PlaybackComponent::Create(
                [](AVCodecID id) { return avcodec_find_decoder(id) != nullptr; }, out);
        });
}

bool CheckPlaybackComponent() {
    try {
        std::unique_ptr<IComponent> object;
        if (FAILED(ComponentRegistry::Instance().Create(kPlaybackComponentName, object)) ||
            !object) {
            return false;
        }
        auto* versioned = dynamic_cast<IPlaybackVersion*>(object.get());
        if (versioned == nullptr) return false;
        uint32_t version = 0;
        if (FAILED(versioned->GetVersion(&version))) return false;
        return version >= kRequiredPlaybackVersion;
    } catch (...) {
        return false;
    }
}

}  // namespace brevio
