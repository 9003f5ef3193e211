#pragma once
// The open dialog that brevioedit shows when it is started without a movie (from the applications
// menu): QuickTime movies only, starting in the folder the user last opened a movie from, else
// the user's Videos folder, else the home folder. The folder is remembered in the host's own
// settings (~/.config/brevioedit/brevioedit.conf); the library keeps none.
#include <QString>

class QSettings;

namespace brevioedit {

// The folder the dialog starts in.
QString StartFolder(const QSettings& settings);
// Shows the dialog; the chosen movie's absolute path (its folder remembered), or empty when the
// user cancels.
QString ChooseMovie();

}  // namespace brevioedit
