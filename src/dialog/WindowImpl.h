#pragma once
// The window framework under every pane and dialog: a QWidget or QDialog with
//  - a WindowHandle attached at construction (IsWindow/PostMessage from any thread) and detached
//    when the window is destroyed or the object deleted;
//  - message dispatch: posted messages (WindowMessageEvent) and SendMessage calls go to
//    ProcessWindowMessage, by default the object's ordered MessageMap; what no handler keeps goes
//    to DefaultProcessing;
//  - DestroyWindow: WM_DESTROY, the child windows, WM_NCDESTROY, then the final-message hook,
//    which waits until the outermost handler running on the window has returned;
//  - timers by identifier that arrive as WM_TIMER with the identifier in wParam;
//  - an opaque background fill in paintEvent, then PaintContent (the flicker-free painting:
//    Qt paints into a back buffer, so the window never shows a half-drawn state).
// Use on the UI thread; only the handle may be used by other threads.
// As in ATL, the members IsWindow() and PostMessage() hide the free functions of the same names
// inside subclasses: write brevio::IsWindow(handle) there for another window's handle.
#include <QAbstractButton>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <cstdint>

#include "dialog/MessageMap.h"
#include "dialog/SystemColors.h"
#include "dialog/WindowMessages.h"
#include "platform/WindowHandle.h"
#include "platform/WindowTimers.h"

namespace brevio {

// What every window object offers whatever its Qt base: used to destroy child windows.
class WindowObject {
public:
    virtual ~WindowObject() = default;
    virtual void DestroyWindow() = 0;
};

// Destroys the window objects among `parent`'s descendants, stopping at each window object (it
// destroys its own children).
void DestroyChildWindows(QObject* parent);

template <class QtBase>
class CWindowImplT : public QtBase, public WindowObject {
public:
    explicit CWindowImplT(QWidget* parent = nullptr, Qt::WindowFlags flags = {})
        : QtBase(parent, flags),
          handle_(WindowHandle::Attach(this)),
          timers_([this](uint32_t id) { SendMessage(WM_TIMER, id, 0); }) {
        this->setAttribute(Qt::WA_OpaquePaintEvent);
    }
    ~CWindowImplT() override {
        // Deleting the object destroys its window without messages: a subclass's handlers cannot
        // run once its own destructor has. Owners that need WM_DESTROY call DestroyWindow first.
        timers_.KillAll();
        handle_.Detach();
    }
    CWindowImplT(const CWindowImplT&) = delete;
    CWindowImplT& operator=(const CWindowImplT&) = delete;

    // A copy of the handle for other objects and threads.
    const WindowHandle& Handle() const { return handle_; }
    // "The window exists": created and not yet destroyed.
    bool IsWindow() const { return !destroyed_; }
    bool PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) const {
        return handle_.PostMessage(message, wParam, lParam);
    }

    // Dispatches a message now, as SendMessageW on the window's own thread. 0 once destroyed.
    LRESULT SendMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
        if (destroyed_) return 0;
        ++depth_;
        LRESULT result = 0;
        if (!ProcessWindowMessage(message, wParam, lParam, result)) {
            result = DefaultProcessing(message, wParam, lParam);
        }
        LeaveDispatch();
        return result;
    }

    void DestroyWindow() override {
        if (destroyed_ || destroying_) return;
        destroying_ = true;
        ++depth_;  // keeps the final hook back until this call (and any handler around it) ends
        SendMessage(WM_DESTROY);
        DestroyChildWindows(this);
        SendMessage(WM_NCDESTROY);
        timers_.KillAll();
        handle_.Detach();
        destroyed_ = true;
        finalPending_ = true;
        this->hide();
        LeaveDispatch();
    }

    // SetTimer/KillTimer by identifier; each expiry is dispatched as WM_TIMER(id).
    bool SetTimer(uint32_t id, int intervalMs) {
        return !destroyed_ && timers_.Set(id, intervalMs);
    }
    bool KillTimer(uint32_t id) { return timers_.Kill(id); }

    // Wires a button's clicks to WM_COMMAND(id, BN_CLICKED) with the button as lParam.
    void ConnectCommand(QAbstractButton* button, uint16_t id) {
        QObject::connect(button, &QAbstractButton::clicked, this, [this, button, id] {
            SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<intptr_t>(button));
        });
    }

protected:
    MessageMap& Messages() { return map_; }

    // Slot 0 of the framework: the object's message map. Override to add handling around it.
    virtual bool ProcessWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                      LRESULT& result) {
        return map_.Dispatch(message, wParam, lParam, result);
    }
    // What an unhandled message gets (DefWindowProcW): WM_CLOSE destroys the window.
    virtual LRESULT DefaultProcessing(uint32_t message, uintptr_t /*wParam*/, intptr_t /*lParam*/) {
        if (message == WM_CLOSE) DestroyWindow();
        return 0;
    }
    // Called once after the last message of the window.
    virtual void OnFinalMessage() {}
    // Draws the window's own content over the background fill, in widget coordinates.
    virtual void PaintContent(QPainter& /*painter*/) {}

    void SetBackgroundColor(const QColor& color) {
        background_ = color;
        this->update();
    }
    const QColor& BackgroundColor() const { return background_; }
    // The flicker-free painting of the content window and the instruction panel: COLOR_BTNFACE
    // under the content.
    void EnableFlickerFreePaint() { SetBackgroundColor(ColorBtnFace()); }

    bool event(QEvent* event) override {
        WindowMessageEvent::AcquirePosted();
        if (event->type() >= QEvent::User) {
            if (auto* message = dynamic_cast<WindowMessageEvent*>(event)) {
                SendMessage(message->message(), message->wParam(), message->lParam());
                return true;
            }
        }
        return QtBase::event(event);
    }

    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(this->rect(), background_);
        PaintContent(painter);
    }

    // Makes a destroyed window exist again (a dialog shown once more): a new handle.
    void Recreate() {
        if (!destroyed_ || depth_ != 0) return;
        handle_ = WindowHandle::Attach(this);
        destroyed_ = false;
        destroying_ = false;
    }

private:
    void LeaveDispatch() {
        if (--depth_ == 0 && finalPending_) {
            finalPending_ = false;
            OnFinalMessage();
        }
    }

    WindowHandle handle_;
    WindowTimers timers_;
    MessageMap map_;
    QColor background_ = ColorWindow();
    int depth_ = 0;  // nesting of dispatches running on this window
    bool destroying_ = false;
    bool destroyed_ = false;
    bool finalPending_ = false;
};

}  // namespace brevio
