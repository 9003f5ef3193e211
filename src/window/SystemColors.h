#pragma once
// The system colours the windows paint with, fixed at the Windows defaults so that every
// platform draws the same pixels (the panes' own drawing is specified against these).
#include <QColor>

namespace brevio {

// COLOR_BTNFACE: dialog and pane backgrounds, the flicker-free fill.
inline QColor ColorBtnFace() {
    return QColor(0xF0, 0xF0, 0xF0);
}
// COLOR_WINDOW: the background brush of the window classes (COLOR_WINDOW + 1).
inline QColor ColorWindow() {
    return QColor(0xFF, 0xFF, 0xFF);
}

}  // namespace brevio
