#pragma once
// Audio decoding of a movie's first audio track into interleaved signed 16-bit samples at a chosen
// rate and channel count, laid out on the movie timeline as the track's edit list says: the
// output is one gapless stream in which output frame k plays at movie time k / rate. Empty edits
// and stretches that the media does not fill are silence; each media edit plays its own range of
// the media, cut off where the edit ends. Uncompressed audio may come as one sample reference per
// audio frame or per chunk; neighbouring references that lie back to back in the file are read in
// one go.
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

    // The next block starts with the output frame that holds this movie position (negative
    // counts as 0).
    void Seek(int64_t ticks);
    // Decodes the next block; false at the end of the track. startTicks: movie time of its first
    // frame; every block follows the one before it without a gap.
    bool Next(std::vector<int16_t>& out, int64_t* startTicks);

private:
    AudioDecoder() = default;
    // Starts decoding the current media edit at a movie position inside it.
    void EnterRange(int64_t ticks);
    void NextRange();
    void Silence(std::vector<int16_t>& out, int64_t* startTicks, int64_t frames);
    // The next block of the media as decoded; false at the end of the media.
    bool Decode(std::vector<int16_t>& out, int64_t* startTicks);
    bool SendNext();
    bool Convert(const AVFrame* frame, std::vector<int16_t>& out, int64_t* startTicks);
    // The output frame that holds a movie position, and the movie time of an output frame.
    int64_t FrameAt(int64_t ticks) const;
    int64_t TicksOfFrame(int64_t frame) const;

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

    std::vector<PresentedRange> ranges_;
    size_t range_ = 0;           // the edit being played
    int64_t cursor_ = 0;         // the next output frame
    int64_t tickOrigin_ = 0;     // movie time of the current edit's start
    int64_t mediaOrigin_ = 0;    // media time shown there
    std::vector<int16_t> held_;  // a decoded block that waits behind silence
    int64_t heldFrame_ = 0;      // its first output frame
    bool haveHeld_ = false;

    size_t next_ = 0;            // next sample reference to send
    uint64_t skipBytes_ = 0;     // bytes to drop from the next uncompressed read
    int64_t skipUntil_ = 0;      // movie ticks before which decoded audio is dropped
    int64_t pcmMediaStart_ = 0;  // uncompressed: media time of the reference read from
    int64_t pcmFrames_ = 0;      // uncompressed: audio frames decoded since then
    bool flushSent_ = false;
};

}  // namespace brevio::media
