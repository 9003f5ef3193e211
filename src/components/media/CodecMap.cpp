#include "CodecMap.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace brevio::media {

using brevio::engine::FourCC;
using brevio::engine::TrackKind;

namespace {

AVCodecID PcmCodec(const brevio::engine::TrackSamples& t) {
    const bool be = t.bigEndian;
    if (t.floatingPoint) {
        if (t.bitsPerSample == 32) return be ? AV_CODEC_ID_PCM_F32BE : AV_CODEC_ID_PCM_F32LE;
        if (t.bitsPerSample == 64) return be ? AV_CODEC_ID_PCM_F64BE : AV_CODEC_ID_PCM_F64LE;
        return AV_CODEC_ID_NONE;
    }
    switch (t.bitsPerSample) {
        case 8:
            return AV_CODEC_ID_PCM_S8;
        case 16:
            return be ? AV_CODEC_ID_PCM_S16BE : AV_CODEC_ID_PCM_S16LE;
        case 24:
            return be ? AV_CODEC_ID_PCM_S24BE : AV_CODEC_ID_PCM_S24LE;
        case 32:
            return be ? AV_CODEC_ID_PCM_S32BE : AV_CODEC_ID_PCM_S32LE;
        default:
            return AV_CODEC_ID_NONE;
    }
}

}  // namespace

AVCodecID CodecIdForTrack(const brevio::engine::TrackSamples& track) {
    const uint32_t f = track.format;
    if (track.kind == TrackKind::Video) {
        if (f == FourCC("avc1") || f == FourCC("avc3")) return AV_CODEC_ID_H264;
        if (f == FourCC("hvc1") || f == FourCC("hev1")) return AV_CODEC_ID_HEVC;
        if (f == FourCC("jpeg") || f == FourCC("mjpa") || f == FourCC("AVDJ") ||
            f == FourCC("dmb1") || f == FourCC("MJPG") || f == FourCC("mjpg")) {
            return AV_CODEC_ID_MJPEG;
        }
        if (f == FourCC("mp4v")) return AV_CODEC_ID_MPEG4;
        return AV_CODEC_ID_NONE;
    }
    if (track.kind == TrackKind::Audio) {
        if (f == FourCC("mp4a")) return AV_CODEC_ID_AAC;
        if (f == FourCC("sowt")) {
            return track.bitsPerSample == 8 ? AV_CODEC_ID_PCM_S8 : AV_CODEC_ID_PCM_S16LE;
        }
        if (f == FourCC("twos")) {
            return track.bitsPerSample == 8 ? AV_CODEC_ID_PCM_S8 : AV_CODEC_ID_PCM_S16BE;
        }
        if (f == FourCC("raw ")) return AV_CODEC_ID_PCM_U8;
        if (f == FourCC("ulaw")) return AV_CODEC_ID_PCM_MULAW;
        if (f == FourCC("alaw")) return AV_CODEC_ID_PCM_ALAW;
        if (f == FourCC("lpcm") || f == FourCC("in24") || f == FourCC("in32") ||
            f == FourCC("fl32") || f == FourCC("fl64")) {
            return PcmCodec(track);
        }
        return AV_CODEC_ID_NONE;
    }
    return AV_CODEC_ID_NONE;
}

const std::vector<AVCodecID>& RequiredDecoders() {
    static const std::vector<AVCodecID> ids = {AV_CODEC_ID_H264, AV_CODEC_ID_MJPEG,
                                               AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16BE,
                                               AV_CODEC_ID_AAC};
    return ids;
}

bool HasRequiredDecoders() {
    for (AVCodecID id : RequiredDecoders()) {
        if (avcodec_find_decoder(id) == nullptr) return false;
    }
    return true;
}

bool IsUncompressedAudio(AVCodecID id) {
    return id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_ADPCM_IMA_QT;
}

}  // namespace brevio::media
