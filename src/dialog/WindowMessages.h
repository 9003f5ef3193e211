#pragma once
// The standard window messages and command codes the window classes exchange, with their
// Windows numbers, and the word helpers that pack WM_COMMAND's wParam.
#include <cstdint>

namespace brevio {

using LRESULT = intptr_t;

inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;

// Notification code of a clicked push button.
inline constexpr uint16_t BN_CLICKED = 0;

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
