#include "WindowHandle.h"

#include <QCoreApplication>

namespace brevio {

QEvent::Type WindowMessageEvent::OtherMessagesType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

WindowHandle WindowHandle::Attach(QObject* window) {
    WindowHandle handle;
    handle.state_ = std::make_shared<State>();
    handle.state_->window = window;
    static std::atomic<uint64_t> next{0};
    handle.state_->id = next.fetch_add(1, std::memory_order_relaxed) + 1;
    return handle;
}

void WindowHandle::Detach() const {
    if (!state_) return;
    std::lock_guard lock(state_->mutex);
    state_->window = nullptr;
}

bool WindowHandle::IsWindow() const {
    if (!state_) return false;
    std::lock_guard lock(state_->mutex);
    return state_->window != nullptr;
}

bool WindowHandle::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) const {
    if (!state_) return false;
    std::lock_guard lock(state_->mutex);
    if (state_->window == nullptr) return false;
    QCoreApplication::postEvent(state_->window,
                                new WindowMessageEvent(message, wParam, lParam, state_->id));
    return true;
}

QObject* WindowHandle::Object() const {
    if (!state_) return nullptr;
    std::lock_guard lock(state_->mutex);
    return state_->window;
}

}  // namespace brevio
