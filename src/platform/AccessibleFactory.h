#pragma once
// How our widgets give screen readers an accessibility interface of their own. Header only: the
// platform library itself stays Qt Core; only a widget that includes this needs Qt Widgets.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLatin1String>
#include <QWidget>

namespace brevio {

// Adds `factory` to the application's accessibility factories. A widget class calls this from
// its constructor, every time, never once per process: Qt empties the factory list when the
// application object is destroyed, and the editing call makes and destroys an application of its
// own in each call of a host that has none. Qt keeps each factory only once however often it is
// installed, and asks the last installed first.
inline void InstallAccessibleFactory(QAccessible::InterfaceFactory factory) {
    QAccessible::installFactory(factory);
}

namespace detail {

inline constexpr char kAccessibleGroupProperty[] = "brevioAccessibleGroup";

// Qt asks the factories with the class names of an object from its own up to QObject; a group is
// answered only at the plain QWidget level, so that no widget kind with an interface of its own
// (a button, a list, the seek bar) is ever taken for one.
inline QAccessibleInterface* MakeAccessibleGroupInterface(const QString& className,
                                                          QObject* object) {
    if (className != QLatin1String("QWidget") || !object->isWidgetType() ||
        !object->property(kAccessibleGroupProperty).toBool())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Grouping);
}

}  // namespace detail

// Shows `widget`, a plain container of other controls (a pane, the player), to screen readers as
// a named group (AT-SPI "panel") instead of a nameless filler; its name is its accessibleName(),
// `name` unless empty. Call before the widget is first shown: Qt keeps the interface it made first.
inline void MakeAccessibleGroup(QWidget* widget, const QString& name = {}) {
    InstallAccessibleFactory(&detail::MakeAccessibleGroupInterface);
    widget->setProperty(detail::kAccessibleGroupProperty, true);
    if (!name.isEmpty()) widget->setAccessibleName(name);
}

}  // namespace brevio
