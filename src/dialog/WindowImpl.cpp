#include "WindowImpl.h"

#include <QPointer>
#include <vector>

namespace brevio {

void DestroyChildWindows(QObject* parent) {
    // Children may go away while a WM_DESTROY handler runs: walk a guarded copy.
    std::vector<QPointer<QObject>> children;
    for (QObject* child : parent->children()) children.emplace_back(child);
    for (const QPointer<QObject>& child : children) {
        if (child.isNull()) continue;
        if (auto* window = dynamic_cast<WindowObject*>(child.data())) {
            window->DestroyWindow();
        } else if (child->isWidgetType()) {
            DestroyChildWindows(child.data());
        }
    }
}

}  // namespace brevio
