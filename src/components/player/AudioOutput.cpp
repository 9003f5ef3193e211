#include "AudioOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QEventLoop>
#include <QMediaDevices>
#include <algorithm>
#include <chrono>
#include <vector>

#include "media/AudioDecoder.h"

namespace brevio::player {

namespace {

// A QAudioSink on an output device.
class DeviceSink : public IAudioSink {
public:
    explicit DeviceSink(const QAudioDevice& device) : device_(device) {
        format_ = device_.preferredFormat();
        format_.setSampleFormat(QAudioFormat::Int16);
        if (!device_.isFormatSupported(format_)) {
            format_.setChannelCount(2);
            format_.setSampleRate(48000);
        }
    }
    QAudioFormat Format() const override { return format_; }
    bool Start() override {
        sink_ = std::make_unique<QAudioSink>(device_, format_);
        io_ = sink_->start();
        return io_ != nullptr;
    }
    qint64 BytesFree() override {
        loop_.processEvents(QEventLoop::AllEvents);  // the sink's timers run on this thread
        return sink_->bytesFree();
    }
    qint64 Write(const char* data, qint64 size) override { return io_->write(data, size); }
    qint64 ProcessedUSecs() override { return sink_->processedUSecs(); }
    void SetVolume(double volume) override {
        if (sink_) sink_->setVolume(volume);
    }
    void Stop() override {
        if (sink_) sink_->stop();
    }

private:
    QAudioDevice device_;
    QAudioFormat format_;
    QEventLoop loop_;  // gives this thread the event dispatcher that the sink's timers need
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
};

// How often the sink is fed and its played time read while nothing else happens.
constexpr auto kFeedPeriod = std::chrono::milliseconds(5);

AudioSinkFactory& InstalledFactory() {
    static AudioSinkFactory factory;
    return factory;
}

}  // namespace

AudioSinkFactory CurrentAudioSinkFactory() {
    if (InstalledFactory()) return InstalledFactory();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return {};
    return [device] { return std::unique_ptr<IAudioSink>(std::make_unique<DeviceSink>(device)); };
}

void SetAudioSinkFactory(AudioSinkFactory factory) {
    InstalledFactory() = std::move(factory);
}

AudioOutput::AudioOutput(std::shared_ptr<const media::MediaFile> file, AudioSinkFactory factory,
                         PlayStart start, std::shared_ptr<PlaybackClock> clock, int volume)
    : file_(std::move(file)),
      factory_(std::move(factory)),
      start_(start),
      clock_(std::move(clock)),
      volume_(volume) {
    Start();
}

AudioOutput::~AudioOutput() {
    stop_.store(true, std::memory_order_release);
    signal_.Post();
    Join();
}

uint32_t AudioOutput::Run() {
    std::unique_ptr<IAudioSink> sink = factory_ ? factory_() : nullptr;
    if (!sink) return 1;
    const QAudioFormat format = sink->Format();
    auto decoder =
        media::AudioDecoder::Create(file_, format.sampleRate(), format.channelCount(), nullptr);
    if (!decoder) return 1;
    decoder->Seek(start_.baseTicks);

    int volume = volume_.load(std::memory_order_relaxed);
    sink->SetVolume(volume / 10000.0);
    if (!sink->Start()) return 1;

    std::vector<int16_t> pending;
    size_t pendingPos = 0;
    int64_t firstTicks = -1;
    qint64 publishedUSecs = -1;
    bool ended = false;
    auto due = WorkerSignal::Clock::now();
    for (;;) {
        const uint64_t seen = signal_.Posts();
        if (stop_.load(std::memory_order_acquire)) break;
        const int wanted = volume_.load(std::memory_order_relaxed);
        if (wanted != volume) {
            volume = wanted;
            sink->SetVolume(volume / 10000.0);
        }
        for (;;) {
            if (pendingPos >= pending.size()) {
                int64_t t = 0;
                if (ended || !decoder->Next(pending, &t)) {
                    ended = true;
                    break;
                }
                pendingPos = 0;
                if (firstTicks < 0) firstTicks = t;
            }
            const qint64 room = sink->BytesFree();
            if (room <= 0) break;
            const qint64 left = static_cast<qint64>((pending.size() - pendingPos) * 2);
            qint64 chunk = std::min(room, left);
            chunk -= chunk % (2 * format.channelCount());
            if (chunk <= 0) break;
            const qint64 written =
                sink->Write(reinterpret_cast<const char*>(pending.data() + pendingPos), chunk);
            if (written <= 0) break;
            pendingPos += static_cast<size_t>(written / 2);
        }
        // Only a played time that moved is news: a sink that has run dry (the sound ended, or an
        // underrun) would otherwise hold the clock still at its last sample.
        const qint64 played = sink->ProcessedUSecs();
        if (firstTicks >= 0 && played != publishedUSecs) {
            publishedUSecs = played;
            clock_->SetAudio(firstTicks + played * 10, start_.serial);
        }
        due = std::max(due + kFeedPeriod, WorkerSignal::Clock::now());
        signal_.WaitUntil(seen, due);
    }
    sink->Stop();
    return 0;
}

}  // namespace brevio::player
