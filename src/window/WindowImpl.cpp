#include "WindowImpl.h"

#include <QAbstractItemView>
#include <QEvent>
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

namespace {

// Watches the list window of a combo box (Qt makes it a separate popup) for showing and hiding.
class ComboPopupWatcher : public QObject {
public:
    ComboPopupWatcher(QComboBox* combo, QObject* context, std::function<void(uint16_t)> notify)
        : QObject(combo), context_(context), notify_(std::move(notify)) {
        popup_ = combo->view()->window();
        popup_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == popup_ && context_ != nullptr) {
            if (event->type() == QEvent::Show) notify_(CBN_DROPDOWN);
            if (event->type() == QEvent::Hide) notify_(CBN_CLOSEUP);
        }
        return false;
    }

private:
    QPointer<QObject> context_;
    std::function<void(uint16_t)> notify_;
    QPointer<QWidget> popup_;
};

}  // namespace

WindowHandle ParentHandle(const QWidget* window) {
    if (window == nullptr) return {};
    if (const auto* parent = dynamic_cast<const WindowObject*>(window->parentWidget())) {
        return parent->Handle();
    }
    return {};
}

void WatchComboPopup(QComboBox* combo, QObject* context,
                     std::function<void(uint16_t code)> notify) {
    if (combo != nullptr) new ComboPopupWatcher(combo, context, std::move(notify));
}

}  // namespace brevio
