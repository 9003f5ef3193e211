#include "VideoDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "CodecMap.h"
#include "Ticks.h"

namespace brevio::media {

namespace {

bool OpenCodec(AVCodecID id, const std::vector<uint8_t>& config, const DecoderSettings& settings,
               uint32_t timeScale, CodecContextPtr& out) {
    const AVCodec* codec = avcodec_find_decoder(id);
    if (codec == nullptr) return false;
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return false;
    if (!config.empty()) {
        ctx->extradata =
            static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (ctx->extradata == nullptr) return false;
        std::memcpy(ctx->extradata, config.data(), config.size());
        ctx->extradata_size = static_cast<int>(config.size());
    }
    ctx->pkt_timebase = AVRational{1, static_cast<int>(timeScale)};
    ctx->thread_count = settings.threads;
    if (settings.threadType != 0) ctx->thread_type = settings.threadType;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
    out = std::move(ctx);
    return true;
}

}  // namespace

std::unique_ptr<VideoDecoder> VideoDecoder::Create(std::shared_ptr<const MediaFile> file,
                                                   int threads, std::string* error) {
    DecoderSettings settings;
    settings.threads = threads;
    return Create(std::move(file), settings, error);
}

std::unique_ptr<VideoDecoder> VideoDecoder::Create(std::shared_ptr<const MediaFile> file,
                                                   const DecoderSettings& settings,
                                                   std::string* error) {
    auto fail = [error](const char* why) -> std::unique_ptr<VideoDecoder> {
        if (error) *error = why;
        return nullptr;
    };
    if (!file) return fail("no movie");
    const auto* track = file->VideoTrack();
    if (track == nullptr) return fail("the movie has no video track");
    if (track->mediaTimeScale > static_cast<uint32_t>(std::numeric_limits<int>::max())) {
        return fail("unsupported time scale");
    }
    std::unique_ptr<VideoDecoder> d(new VideoDecoder());
    d->file_ = std::move(file);
    d->track_ = track;
    d->codecId_ = CodecIdForTrack(*track);
    if (d->codecId_ == AV_CODEC_ID_NONE) return fail("unsupported video format");
    if (!OpenCodec(d->codecId_, track->codecConfig, settings, track->mediaTimeScale, d->ctx_)) {
        return fail("the video decoder could not be opened");
    }
    d->packet_.reset(av_packet_alloc());
    d->current_.reset(av_frame_alloc());
    d->scratch_.reset(av_frame_alloc());
    if (!d->packet_ || !d->current_ || !d->scratch_) return fail("out of memory");

    const auto& samples = track->samples;
    const int n = static_cast<int>(samples.size());
    d->frames_.resize(samples.size());
    d->syncBefore_.resize(samples.size());
    d->minPtsAfter_.resize(samples.size());
    int lastSync = 0;
    for (int i = 0; i < n; ++i) {
        const auto& s = samples[static_cast<size_t>(i)];
        d->frames_[static_cast<size_t>(i)] = Entry{s.decodeTime + s.compositionOffset, i};
        if (s.sync) lastSync = i;
        d->syncBefore_[static_cast<size_t>(i)] = lastSync;
    }
    int64_t minAfter = std::numeric_limits<int64_t>::max();
    for (int i = n - 1; i >= 0; --i) {
        d->minPtsAfter_[static_cast<size_t>(i)] = minAfter;
        minAfter = std::min(minAfter, d->frames_[static_cast<size_t>(i)].pts);
    }
    std::stable_sort(d->frames_.begin(), d->frames_.end(),
                     [](const Entry& a, const Entry& b) { return a.pts < b.pts; });
    d->ListShownFrames();
    return d;
}

VideoDecoder::~VideoDecoder() = default;

void VideoDecoder::SetLoopFilter(bool on) {
    const AVDiscard skip = on ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    if (ctx_->skip_loop_filter == skip) return;
    ctx_->skip_loop_filter = skip;
    // Frames decoded with the other setting are not handed out again, nor decoded from.
    currentMedia_ = -1;
    flushSent_ = true;
}

void VideoDecoder::ListShownFrames() {
    const uint32_t ts = track_->mediaTimeScale;
    const int n = static_cast<int>(frames_.size());
    for (const PresentedRange& r : file_->Presentation(*track_)) {
        if (r.Empty()) continue;
        // Each media frame whose span [pts, next pts) meets the range's media.
        auto it = std::upper_bound(frames_.begin(), frames_.end(), r.mediaStart,
                                   [](int64_t t, const Entry& e) { return t < e.pts; });
        int m = it == frames_.begin() ? 0 : static_cast<int>(it - frames_.begin()) - 1;
        for (; m < n; ++m) {
            const int64_t pts = frames_[static_cast<size_t>(m)].pts;
            if (pts >= r.mediaEnd) break;
            const int64_t end = m + 1 < n
                                    ? frames_[static_cast<size_t>(m) + 1].pts
                                    : pts + track_
                                                ->samples[static_cast<size_t>(
                                                    frames_[static_cast<size_t>(m)].decodeIndex)]
                                                .duration;
            if (end <= r.mediaStart) continue;
            const int64_t from = std::max(pts, r.mediaStart);
            const int64_t to = std::min(end, r.mediaEnd);
            VideoFrameInfo span;
            span.startTicks = r.startTicks + MediaToTicks(from - r.mediaStart, ts);
            span.endTicks =
                std::min(r.endTicks, r.startTicks + MediaToTicks(to - r.mediaStart, ts));
            if (span.endTicks <= span.startTicks) continue;
            shown_.push_back(m);
            info_.push_back(span);
        }
    }
}

int VideoDecoder::FrameIndexAt(int64_t ticks) const {
    // The last frame whose start lies at or before the position.
    auto it = std::upper_bound(info_.begin(), info_.end(), ticks,
                               [](int64_t t, const VideoFrameInfo& f) { return t < f.startTicks; });
    if (it == info_.begin()) return 0;
    return static_cast<int>(it - info_.begin()) - 1;
}

int VideoDecoder::IndexOfPts(int64_t pts) const {
    auto it = std::lower_bound(frames_.begin(), frames_.end(), pts,
                               [](const Entry& e, int64_t p) { return e.pts < p; });
    if (it == frames_.end()) return static_cast<int>(frames_.size()) - 1;
    return static_cast<int>(it - frames_.begin());
}

bool VideoDecoder::SendSample(int decodeIndex) {
    const auto& s = track_->samples[static_cast<size_t>(decodeIndex)];
    av_packet_unref(packet_.get());
    if (s.size == 0 || av_new_packet(packet_.get(), static_cast<int>(s.size)) < 0) return false;
    if (!file_->ReadBytes(s.file, s.offset, s.size, packet_->data)) return false;
    packet_->pts = s.decodeTime + s.compositionOffset;
    packet_->dts = s.decodeTime;
    packet_->duration = s.duration;
    if (s.sync) packet_->flags |= AV_PKT_FLAG_KEY;
    // A damaged sample is skipped; the decoder conceals or drops what depends on it.
    return avcodec_send_packet(ctx_.get(), packet_.get()) >= 0;
}

const AVFrame* VideoDecoder::DecodeFrame(int index, int* decodedIndex, bool continuing) {
    if (index < 0 || index >= FrameCount()) return nullptr;
    const int media = shown_[static_cast<size_t>(index)];
    int got = -1;
    const AVFrame* frame = DecodeMedia(media, &got, continuing);
    if (frame == nullptr) return nullptr;
    if (decodedIndex) {
        // An earlier frame stands in for a damaged one: name it where this edit shows it.
        const int earlier = index - (media - got);
        const bool shownHere =
            got < media && earlier >= 0 && shown_[static_cast<size_t>(earlier)] == got;
        *decodedIndex = shownHere ? earlier : index;
    }
    return frame;
}

const AVFrame* VideoDecoder::DecodeMedia(int media, int* got, bool continuing) {
    if (currentMedia_ == media) {
        *got = media;
        return current_.get();
    }
    const Entry target = frames_[static_cast<size_t>(media)];
    const int sync = syncBefore_[static_cast<size_t>(target.decodeIndex)];
    const bool canContinue = started_ && !flushSent_ &&
                             (!haveLastOutput_ || lastOutputPts_ < target.pts) && sync <= nextFeed_;
    if (!canContinue) {
        if (started_) avcodec_flush_buffers(ctx_.get());
        started_ = true;
        flushSent_ = false;
        haveLastOutput_ = false;
        nextFeed_ = sync;
    }
    currentMedia_ = -1;
    av_frame_unref(current_.get());
    bool haveCandidate = false;
    int64_t candidatePts = 0;
    const int sampleCount = static_cast<int>(track_->samples.size());
    for (;;) {
        const int r = avcodec_receive_frame(ctx_.get(), scratch_.get());
        if (r == 0) {
            int64_t pts = scratch_->pts;
            if (pts == AV_NOPTS_VALUE) pts = scratch_->best_effort_timestamp;
            lastOutputPts_ = pts;
            haveLastOutput_ = true;
            const bool take = pts <= target.pts || !haveCandidate;
            if (take) {
                av_frame_unref(current_.get());
                av_frame_move_ref(current_.get(), scratch_.get());
                haveCandidate = true;
                candidatePts = pts;
            } else {
                av_frame_unref(scratch_.get());
            }
            if (pts >= target.pts) break;
            continue;
        }
        if (r != AVERROR(EAGAIN)) {
            // End of the stream (after a flush) or a decoder failure: nothing more comes out.
            flushSent_ = true;
            break;
        }
        if (nextFeed_ < sampleCount) {
            const int fed = nextFeed_++;
            SendSample(fed);
            // Once every sample that is shown up to the target has been sent, draining hands the
            // target out at once instead of waiting for the reorder delay to fill.
            if (!continuing && fed >= target.decodeIndex &&
                minPtsAfter_[static_cast<size_t>(fed)] > target.pts) {
                avcodec_send_packet(ctx_.get(), nullptr);
                flushSent_ = true;
            }
        } else if (!flushSent_) {
            avcodec_send_packet(ctx_.get(), nullptr);
            flushSent_ = true;
        } else {
            break;
        }
    }
    if (!haveCandidate) return nullptr;
    currentMedia_ = IndexOfPts(candidatePts);
    *got = currentMedia_;
    return current_.get();
}

bool VideoDecoder::ReadFrameBytes(int index, std::vector<uint8_t>& out) const {
    if (index < 0 || index >= FrameCount()) return false;
    const Entry& e = frames_[static_cast<size_t>(shown_[static_cast<size_t>(index)])];
    return file_->ReadSample(track_->samples[static_cast<size_t>(e.decodeIndex)], out);
}

}  // namespace brevio::media
