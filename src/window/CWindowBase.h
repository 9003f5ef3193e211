#pragma once
// Base of every child window (pane) of the system: a QWidget with the window framework of
// WindowImpl.h. Its background is COLOR_WINDOW unless the pane asks for the flicker-free
// COLOR_BTNFACE painting.
#include <QWidget>

#include "window/WindowImpl.h"

namespace brevio {

class CWindowBase : public CWindowImplT<QWidget> {
public:
    explicit CWindowBase(QWidget* parent = nullptr, Qt::WindowFlags flags = {})
        : CWindowImplT<QWidget>(parent, flags) {}
};

}  // namespace brevio
