#pragma once
// How our widgets give screen readers an accessibility interface of their own. Header only: the
// platform library itself stays Qt Core; only a widget that includes this needs Qt Gui.
#include <QAccessible>

namespace brevio {

// Adds `factory` to the application's accessibility factories. A widget class calls this from
// its constructor, every time, never once per process: Qt empties the factory list when the
// application object is destroyed, and the editing call makes and destroys an application of its
// own in each call of a host that has none. Qt keeps each factory only once however often it is
// installed, and asks the last installed first.
inline void InstallAccessibleFactory(QAccessible::InterfaceFactory factory) {
    QAccessible::installFactory(factory);
}

}  // namespace brevio
