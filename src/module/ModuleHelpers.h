#pragma once
// Small helpers every window and the edit document use: strings by ID, message boxes, the
// temporary folder, and the superuser rule for the destination checks.
#include <QString>
#include <cstdint>

class QWidget;

namespace brevio {

// The text of string `id` (128 to 160) in the language of the editing call in progress (the
// table's Chinese outside a call), or an empty text when there is none.
QString LoadString(uint32_t id);
// Shows string `id` (empty text when missing) with the caption and MB_ flags, owned by `owner`,
// and waits for the answer: IDOK (1) or IDCANCEL (2). MB_ICONEXCLAMATION shows the warning icon,
// MB_OKCANCEL the buttons OK and Cancel (Escape answers Cancel; OK is the default button, Cancel
// with MB_DEFBUTTON2); any other button set shows OK.
// Returns -1 without showing anything when `caption` is null, and 0 when there is no
// QApplication to show a box with. A non-empty `detail` goes on a line of its own after the text.
int ShowMessage(QWidget* owner, uint32_t id, const QString* caption, uint32_t flags,
                const QString& detail = QString());
// Sets the window text from string `id`: the text of a label, button or group box, else the
// window title. False only for a null window.
bool SetWindowTextFromString(QWidget* window, uint32_t id);
// True when the system guards its root: the process does not run as the superuser.
bool IsUACEnabled();
// $TMPDIR (when absolute), else /tmp, with a trailing '/'; empty when that is longer than 256
// characters.
QString GetTempFolder();

}  // namespace brevio
