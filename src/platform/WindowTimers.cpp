#include "WindowTimers.h"

#include <QThread>
#include <QTimerEvent>
#include <algorithm>

namespace brevio {

WindowTimers::WindowTimers(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

WindowTimers::~WindowTimers() {
    KillAll();
}

bool WindowTimers::Set(uint32_t id, int intervalMs) {
    if (QThread::currentThread() != thread()) return false;
    // QBasicTimer::start restarts a running timer with the new interval.
    timers_[id].start(std::max(intervalMs, kMinimumIntervalMs), Qt::PreciseTimer, this);
    return true;
}

bool WindowTimers::Kill(uint32_t id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    const bool wasActive = it->second.isActive();
    it->second.stop();
    timers_.erase(it);
    return wasActive;
}

void WindowTimers::KillAll() {
    for (auto& [id, timer] : timers_) timer.stop();
    timers_.clear();
}

bool WindowTimers::IsActive(uint32_t id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second.isActive();
}

void WindowTimers::timerEvent(QTimerEvent* event) {
    for (const auto& [id, timer] : timers_) {
        if (timer.timerId() != event->timerId()) continue;
        // The handler may set or kill timers, this one included: the loop ends here.
        const uint32_t firedId = id;
        if (handler_) handler_(firedId);
        return;
    }
    QObject::timerEvent(event);
}

}  // namespace brevio
