#pragma once
// What the library sets up around an editing call apart from the toolkit: its own components in
// the registry, FFmpeg's logging kept quiet, and the toolkit's own texts in the dialog's language.
#include <QTranslator>

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

// While it lives, the toolkit's own texts (the Save-As dialog's buttons and labels, the message
// boxes' buttons) are in Chinese (Simplified), the language of the dialog's string table, when
// the system has that translation. Installed once the application exists; removed at the end of
// the call, so the host's texts are its own again.
class CallTranslation {
public:
    CallTranslation();
    ~CallTranslation();
    CallTranslation(const CallTranslation&) = delete;
    CallTranslation& operator=(const CallTranslation&) = delete;

private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace brevio
