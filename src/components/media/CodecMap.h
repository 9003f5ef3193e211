#pragma once
// Which FFmpeg decoder reads a track's sample entry.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "engine/EngineTypes.h"

namespace brevio::media {

// The decoder for a track, from its sample entry type (and, for uncompressed audio, its sample
// size, byte order and number kind); AV_CODEC_ID_NONE when none fits.
AVCodecID CodecIdForTrack(const brevio::engine::TrackSamples& track);

// The decoders that camera movies and the files this system writes need: H.264, Motion JPEG,
// 16-bit PCM in both byte orders and AAC.
const std::vector<AVCodecID>& RequiredDecoders();

// True when every required decoder is present in the linked FFmpeg build.
bool HasRequiredDecoders();

// True for sample-per-frame uncompressed audio, whose samples may be whole chunks.
bool IsUncompressedAudio(AVCodecID id);

}  // namespace brevio::media
