// The library's one exported function.
#include "brevioedit/BREditDialog.h"

#include <QApplication>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <optional>

#include "entry/CEditCall.h"
#include "entry/EditCallEnvironment.h"
#include "entry/HostToolkit.h"
#include "playback/IPlaybackComponent.h"

namespace brevio {

// The codes hosts see are the codes the dialog ends with.
constexpr bool SameCode(BREditDialogResult published, EBRVDLGERRCODE internal) {
    return static_cast<int32_t>(published) == static_cast<int32_t>(internal);
}
static_assert(SameCode(BREDIT_RESULT_SAVED, BRVDLG_SAVED) &&
              SameCode(BREDIT_RESULT_CANCELLED, BRVDLG_CANCELLED) &&
              SameCode(BREDIT_RESULT_BAD_ARGUMENT, BRVDLG_BAD_ARGUMENT) &&
              SameCode(BREDIT_RESULT_NOT_BREVIO_MOVIE, BRVDLG_NOT_BREVIO_MOVIE) &&
              SameCode(BREDIT_RESULT_TOO_SHORT, BRVDLG_TOO_SHORT) &&
              SameCode(BREDIT_RESULT_INVALID_FILE, BRVDLG_INVALID_FILE) &&
              SameCode(BREDIT_RESULT_COMPONENT_MISSING, BRVDLG_COMPONENT_MISSING) &&
              SameCode(BREDIT_RESULT_FAILURE, BRVDLG_FAILURE));

namespace {

QString FromUtf16(const char16_t* text) {
    return QString::fromUtf16(text);
}

// The host's window behind `ownerWindow` when it is one of this application's live widgets;
// anything else counts as no owner. The pointer is only compared until it is known to be one.
QWidget* LiveOwner(void* ownerWindow) {
    if (ownerWindow == nullptr) return nullptr;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) {
        if (static_cast<void*>(widget) == ownerWindow) return widget;
    }
    return nullptr;
}

struct CallOutcome {
    int32_t result = BRVDLG_FAILURE;
    QString savedPath;
    std::optional<int32_t> playerValue;
};

// Steps 2 to 10 with everything the call made still alive; the caller copies the results out
// after the toolkit is gone.
CallOutcome RunCall(const char16_t* moviePath, void* ownerWindow, uint32_t savedPathCapacity,
                    int32_t playerValue, bool wantPlayerValue, int64_t startPosition,
                    const char16_t* caption, const HostToolkit& toolkit) {
    CallOutcome outcome;
    const CallTranslation translation;
    // A host without an application of its own cannot have handed a window.
    QWidget* owner = toolkit.GetState() == HostToolkit::State::HostApplication
                         ? LiveOwner(ownerWindow)
                         : nullptr;
    const QString captionText = caption != nullptr ? FromUtf16(caption) : QString();
    CEditCall call(FromUtf16(moviePath), playerValue, startPosition);
    const int32_t result = call.RunDialog(caption != nullptr ? &captionText : nullptr, owner);
    if (result == BRVDLG_SAVED) {
        if (FAILED(call.Dialog().GetSavedPath(&outcome.savedPath))) return outcome;  // 7
        if (savedPathCapacity <= static_cast<uint32_t>(outcome.savedPath.size())) {
            outcome.result = BRVDLG_BAD_ARGUMENT;
            return outcome;
        }
    }
    if (wantPlayerValue) {
        int32_t value = 0;
        call.Dialog().GetPlayerValue(&value);
        outcome.playerValue = value;
    }
    outcome.result = result;
    return outcome;
}

int32_t EditMovie(const char16_t* moviePath, void* ownerWindow, char16_t* savedPath,
                  uint32_t savedPathCapacity, int32_t playerValue, int32_t* playerValueOut,
                  int64_t startPosition, const char16_t* caption) {
    if (moviePath == nullptr || savedPath == nullptr) return BRVDLG_BAD_ARGUMENT;
    RegisterEditCallComponents();
    if (!CheckPlaybackComponent()) return BRVDLG_COMPONENT_MISSING;

    QuietFFmpegLog quiet;
    CallOutcome outcome;
    {
        HostToolkit toolkit;
        if (!toolkit.IsUsable()) {
            // Refused before anything opened: the player value is the initial one, as after a
            // failed open.
            if (playerValueOut != nullptr) *playerValueOut = 0;
            return BRVDLG_FAILURE;
        }
        outcome = RunCall(moviePath, ownerWindow, savedPathCapacity, playerValue,
                          playerValueOut != nullptr, startPosition, caption, toolkit);
    }
    if (outcome.result == BRVDLG_SAVED) {
        const auto length = static_cast<size_t>(outcome.savedPath.size());
        std::copy_n(reinterpret_cast<const char16_t*>(outcome.savedPath.utf16()), length,
                    savedPath);
        savedPath[length] = u'\0';
    }
    if (playerValueOut != nullptr && outcome.playerValue) *playerValueOut = *outcome.playerValue;
    return outcome.result;
}

}  // namespace
}  // namespace brevio

extern "C" BRV_EXPORT int32_t BRV_STDCALL BREditDialog(
    const char16_t* moviePath, void* ownerWindow, char16_t* savedPath, uint32_t savedPathCapacity,
    int32_t playerValue, int32_t* playerValueOut, int64_t startPosition, const char16_t* caption) {
    // Nothing may leave through the C boundary: every exception is a failure.
    try {
        return brevio::EditMovie(moviePath, ownerWindow, savedPath, savedPathCapacity, playerValue,
                                 playerValueOut, startPosition, caption);
    } catch (...) {
        return BRVDLG_FAILURE;
    }
}
