#pragma once
// What the library sets up around an editing call apart from the toolkit: its own components in
// the registry, FFmpeg's logging kept quiet, and every text of the call in the user's language.
#include <QTranslator>
#include <optional>

#include "resources/StringTranslation.h"

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

// While it lives, the editing call speaks the user's language (resources::SystemLanguage, read
// from the environment through QLocale::system()): the string table's texts and the toolkit's
// own texts (the Save-As dialog's buttons and labels, the message boxes' buttons) alike. Chinese
// (Simplified), the table's own language, takes Qt's Chinese translation when the system has it;
// English takes the table's English translation and Qt's built-in English. Installed once the
// application exists; removed at the end of the call, so the host's texts are its own again.
class CallTranslation {
public:
    CallTranslation();
    ~CallTranslation();
    CallTranslation(const CallTranslation&) = delete;
    CallTranslation& operator=(const CallTranslation&) = delete;

private:
    resources::Language language_;
    QTranslator toolkitTranslator_;
    bool toolkitInstalled_ = false;
    std::optional<resources::StringTranslation> strings_;
};

}  // namespace brevio
