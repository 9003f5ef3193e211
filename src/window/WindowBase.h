#pragma once
// Base of every child window (pane) of the system: a QWidget with the window framework of
// WindowImpl.h. Its background is COLOR_WINDOW unless the pane asks for the flicker-free
// COLOR_BTNFACE painting.
#include <QWidget>

#include "window/WindowImpl.h"

namespace brevio {

class WindowBase : public WindowImpl<QWidget> {
public:
    explicit WindowBase(QWidget* parent = nullptr, Qt::WindowFlags flags = {})
        : WindowImpl<QWidget>(parent, flags) {}
};

}  // namespace brevio
