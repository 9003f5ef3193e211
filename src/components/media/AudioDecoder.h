#pragma once
// Audio decoding of a movie's first audio track into interleaved signed 16-bit samples at a chosen
// rate and channel count. Uncompressed audio may come as one sample reference per audio frame or
// per chunk; neighbouring references that lie back to back in the file are read in one go.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FFmpegPtr.h"
#include "MediaFile.h"

namespace brevio::media {

class AudioDecoder {
public:
    static std::unique_ptr<AudioDecoder> Create(std::shared_ptr<const MediaFile> file, int outRate,
                                                int outChannels, std::string* error = nullptr);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    AVCodecID CodecId() const { return codecId_; }
    int OutRate() const { return outRate_; }
    int OutChannels() const { return outChannels_; }

    // The next block starts at this movie position (negative counts as 0).
    void Seek(int64_t ticks);
    // Decodes the next block; false at the end of the track. startTicks: movie time of its first
    // frame.
    bool Next(std::vector<int16_t>& out, int64_t* startTicks);

private:
    AudioDecoder() = default;
    bool SendNext();
    bool Convert(const AVFrame* frame, std::vector<int16_t>& out, int64_t* startTicks);

    std::shared_ptr<const MediaFile> file_;
    const brevio::engine::TrackSamples* track_ = nullptr;
    AVCodecID codecId_ = AV_CODEC_ID_NONE;
    bool uncompressed_ = false;
    int outRate_ = 0;
    int outChannels_ = 0;
    CodecContextPtr ctx_;
    PacketPtr packet_;
    FramePtr frame_;
    SwrPtr swr_;
    int swrInRate_ = 0;
    int swrInFormat_ = -1;
    int swrInChannels_ = 0;

    size_t next_ = 0;            // next sample reference to send
    uint64_t skipBytes_ = 0;     // bytes to drop from the next uncompressed read
    int64_t skipUntil_ = 0;      // movie ticks before which decoded audio is dropped
    int64_t pcmMediaStart_ = 0;  // uncompressed: media time of the reference read from
    int64_t pcmFrames_ = 0;      // uncompressed: audio frames decoded since then
    bool flushSent_ = false;
};

}  // namespace brevio::media
