#pragma once
// Small helpers every window and the edit document use: strings by ID, message boxes, the
// temporary folder, and the superuser rule for the destination checks.
#include <QString>
#include <cstdint>

class QWidget;

namespace brevio {

// The text of string `id` (128 to 160), or an empty text when there is none.
QString LoadString(uint32_t id);
// Shows string `id` with the caption and MB_ flags, owned by `owner`; -1 without showing anything
// when `caption` is null. Returns IDOK (1) or IDCANCEL (2).
int ShowMessage(QWidget* owner, uint32_t id, const QString* caption, uint32_t flags);
bool SetWindowTextFromString(QWidget* window, uint32_t id);
// True when the system guards its root: the process does not run as the superuser.
bool IsUACEnabled();
// $TMPDIR, else /tmp, with a trailing '/'; empty when longer than 256 characters.
QString GetTempFolder();

}  // namespace brevio
