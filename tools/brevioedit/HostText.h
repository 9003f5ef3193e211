#pragma once
// The host application's own texts: messages of translations/brevioedit_en.ts (ids "host.…"),
// the file that translates the dialog, their Chinese the source texts (resources/MessageSources.h)
// and their English the translations, compiled into the library and into this program alike.
#include <QString>
#include <QTranslator>
#include <optional>

#include "resources/StringTranslation.h"

namespace brevioedit {

enum class HostText {
    ProductName,       // the title of the host's message boxes
    Caption,           // "%1 – Brevio Edit": the dialog's caption, %1 the movie's file name
    OpenTitle,         // the open dialog's title
    OpenFilter,        // its file-type filter
    NoSuchFile,        // %1 the path
    PermissionDenied,  // %1 the path
    Folder,            // %1 the path
    Unreadable,        // %1 the path, %2 the system's reason
    NotQuickTime,      // %1 the path
    NotBrevio,         // %1 the path
    Damaged,           // %1 the path, %2 what was found (one of the three below)
    CutShort,          // %1 the file's size, %2 the part's name, %3 where the part ends
    NoMovieHeader,     // %1 the parts found
    Inconsistent,      // %1 the parts found
    TooShort,          // %1 the path
    NoDecoder,
};

// The text in the language of the installed HostTranslation (Chinese without one).
QString Text(HostText text);

// While it lives, the host speaks the user's language as the dialog does
// (brevio::resources::SystemLanguage): English through the compiled translation; Chinese through
// the source texts and, for the toolkit's own texts (the open dialog, the message boxes' buttons),
// Qt's Chinese translation when the system has it. Made after the application object.
class HostTranslation {
public:
    HostTranslation();
    ~HostTranslation();
    HostTranslation(const HostTranslation&) = delete;
    HostTranslation& operator=(const HostTranslation&) = delete;

private:
    std::optional<brevio::resources::StringTranslation> strings_;
    QTranslator toolkit_;
    bool toolkitInstalled_ = false;
};

}  // namespace brevioedit
