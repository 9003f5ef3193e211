#include "CAudioOutput.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <vector>

#include "media/AudioDecoder.h"

namespace brevio::player {

CAudioOutput::CAudioOutput(std::shared_ptr<const media::MediaFile> file, QAudioDevice device,
                           PlayStart start, std::shared_ptr<PlaybackClock> clock, int volume)
    : file_(std::move(file)),
      device_(std::move(device)),
      start_(start),
      clock_(std::move(clock)),
      volume_(volume) {
    thread_ = std::thread([this] { Run(); });
}

CAudioOutput::~CAudioOutput() {
    stop_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
}

void CAudioOutput::Run() {
    QAudioFormat format = device_.preferredFormat();
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device_.isFormatSupported(format)) {
        format.setChannelCount(2);
        format.setSampleRate(48000);
    }
    auto decoder =
        media::AudioDecoder::Create(file_, format.sampleRate(), format.channelCount(), nullptr);
    if (!decoder) return;
    decoder->Seek(start_.baseTicks);

    QEventLoop loop;  // gives this thread the event dispatcher that the sink's timers need
    QAudioSink sink(device_, format);
    int volume = volume_.load(std::memory_order_relaxed);
    sink.setVolume(volume / 10000.0);
    QIODevice* io = sink.start();
    if (io == nullptr) return;

    std::vector<int16_t> pending;
    size_t pendingPos = 0;
    int64_t firstTicks = -1;
    bool ended = false;
    while (!stop_.load(std::memory_order_acquire)) {
        loop.processEvents(QEventLoop::AllEvents);
        const int wanted = volume_.load(std::memory_order_relaxed);
        if (wanted != volume) {
            volume = wanted;
            sink.setVolume(volume / 10000.0);
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
            const qint64 room = sink.bytesFree();
            if (room <= 0) break;
            const qint64 left = static_cast<qint64>((pending.size() - pendingPos) * 2);
            qint64 chunk = std::min(room, left);
            chunk -= chunk % (2 * format.channelCount());
            if (chunk <= 0) break;
            const qint64 written =
                io->write(reinterpret_cast<const char*>(pending.data() + pendingPos), chunk);
            if (written <= 0) break;
            pendingPos += static_cast<size_t>(written / 2);
        }
        if (firstTicks >= 0 && sink.state() != QAudio::StoppedState) {
            clock_->SetAudio(firstTicks + sink.processedUSecs() * 10, start_.serial);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    sink.stop();
}

}  // namespace brevio::player
