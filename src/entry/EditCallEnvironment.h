#pragma once
// What the library sets up around an editing call apart from the toolkit: its own components in
// the registry, and FFmpeg's logging kept quiet.

namespace brevio {

// Adds the library's components (the player "BRL11.BRLPlayer", the frame source and the playback
// component) to the registry, once per process: a registration that was removed afterwards stays
// removed.
void RegisterEditCallComponents();

// While it lives, FFmpeg writes nothing to the host's stderr: the library reports its failures as
// result codes and message boxes. The previous level is restored at the end of the call.
class QuietFFmpegLog {
public:
    QuietFFmpegLog();
    ~QuietFFmpegLog();
    QuietFFmpegLog(const QuietFFmpegLog&) = delete;
    QuietFFmpegLog& operator=(const QuietFFmpegLog&) = delete;

private:
    int previousLevel_;
};

}  // namespace brevio
