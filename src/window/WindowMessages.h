#pragma once
// The standard window messages and command codes the window classes exchange, with their
// Windows numbers, and the word helpers that pack WM_COMMAND's wParam.
#include <cstdint>

namespace brevio {

using LRESULT = intptr_t;

inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_NOTIFY = 0x004E;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_PARENTNOTIFY = 0x0210;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;

// The system's own messages, always posted (never sent).
// wParam = result code: asks the dialog to end with it; passed up from pane to dialog unchanged.
inline constexpr uint32_t WM_BRV_CLOSE_REQUEST = WM_APP + 1;
// The Delete key was pressed in the strip (strip -> thumbnail pane).
inline constexpr uint32_t WM_CUT_KEY = WM_APP + 2;
// Making thumbnails failed (thumbnail worker -> strip).
inline constexpr uint32_t WM_THUMBNAIL_FAILED = WM_APP + 3;
// Every 200 ms while the movie plays (seek ticker -> preview pane).
inline constexpr uint32_t WM_PREVIEW_TICK = WM_APP + 4;

// Notification code of a clicked push button.
inline constexpr uint16_t BN_CLICKED = 0;

// Notification codes of a drop-down list (combo box).
inline constexpr uint16_t CBN_SELCHANGE = 1;
inline constexpr uint16_t CBN_DROPDOWN = 7;
inline constexpr uint16_t CBN_CLOSEUP = 8;
inline constexpr uint16_t CBN_SELENDOK = 9;
inline constexpr uint16_t CBN_SELENDCANCEL = 10;

constexpr uint16_t LOWORD(uintptr_t value) {
    return static_cast<uint16_t>(value & 0xFFFF);
}
constexpr uint16_t HIWORD(uintptr_t value) {
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}
constexpr uintptr_t MAKEWPARAM(uint16_t low, uint16_t high) {
    return static_cast<uintptr_t>(low) | (static_cast<uintptr_t>(high) << 16);
}

}  // namespace brevio
