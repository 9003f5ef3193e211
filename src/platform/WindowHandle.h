#pragma once
// A window handle that any thread may hold, test and post to. The window attaches its QObject when
// it is created and detaches it in its destructor; from then on IsWindow() is false and posting
// does nothing. Posting holds the handle's lock, so a window cannot be destroyed half-way through a
// post.
#include <QEvent>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace brevio {

// The one event class for posted window messages. Its QEvent type is the message number itself
// when that lies in Qt's user range (the custom messages 0x8001 to 0x8004 do); any other message
// travels under one registered type (OtherMessagesType) so that it can never pass for one of Qt's
// own events. Receivers dispatch on message(), never on type().
//
// The event is made on the posting thread and read and deleted on the window's thread. Qt's queue
// hands it over under its own lock, which ThreadSanitizer cannot see inside an uninstrumented Qt;
// the event therefore also publishes itself through an atomic that the receiving side acquires
// (AcquirePosted at the top of event(), and the destructor), so the hand-over is visible to it.
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam, uint64_t window = 0)
        : QEvent(TypeFor(message)),
          message_(message),
          wParam_(wParam),
          lParam_(lParam),
          window_(window) {
        handoff_.fetch_add(1, std::memory_order_release);
    }
    ~WindowMessageEvent() override { AcquirePosted(); }
    WindowMessageEvent(const WindowMessageEvent&) = delete;
    WindowMessageEvent& operator=(const WindowMessageEvent&) = delete;

    // Call before looking at a received event that may be a posted message.
    static void AcquirePosted() { (void)handoff_.load(std::memory_order_acquire); }
    uint32_t message() const { return message_; }
    uintptr_t wParam() const { return wParam_; }
    intptr_t lParam() const { return lParam_; }
    // The identity of the window it was posted to (WindowHandle::Id), 0 when not through a handle.
    uint64_t window() const { return window_; }

    static QEvent::Type TypeFor(uint32_t message) {
        if (message >= QEvent::User && message <= QEvent::MaxUser) {
            return static_cast<QEvent::Type>(message);
        }
        return OtherMessagesType();
    }
    static QEvent::Type OtherMessagesType();

private:
    static inline std::atomic<uint64_t> handoff_{0};
    uint32_t message_;
    uintptr_t wParam_;
    intptr_t lParam_;
    uint64_t window_;
};

class WindowHandle {
public:
    WindowHandle() = default;  // a null handle: no window

    // Made by the window on creation; keep one and hand out copies.
    static WindowHandle Attach(QObject* window);
    // Called by the window in its destructor (before QObject's own destructor runs).
    void Detach() const;

    bool IsNull() const { return !state_; }
    // True while the window exists. Safe from any thread.
    bool IsWindow() const;
    // Posts a message to the window's thread; false (and nothing done) once the window is gone.
    bool PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) const;
    // The window object, only for use on the UI thread; null once gone.
    QObject* Object() const;
    // A number unique to this window in the process (0 for a null handle). A QObject that is
    // destroyed and created again as a window gets a new handle with a new number, and the
    // messages posted to the earlier window carry the earlier number.
    uint64_t Id() const { return state_ ? state_->id : 0; }
    bool Owns(const WindowMessageEvent& event) const {
        return state_ && event.window() == state_->id;
    }

    bool operator==(const WindowHandle& other) const { return state_ == other.state_; }

private:
    struct State {
        mutable std::mutex mutex;
        QObject* window = nullptr;
        uint64_t id = 0;
    };
    std::shared_ptr<State> state_;
};

inline bool IsWindow(const WindowHandle& handle) {
    return handle.IsWindow();
}
inline bool PostMessage(const WindowHandle& handle, uint32_t message, uintptr_t wParam = 0,
                        intptr_t lParam = 0) {
    return handle.PostMessage(message, wParam, lParam);
}

}  // namespace brevio
