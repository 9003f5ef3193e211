#pragma once
// The window framework under every pane and dialog: a QWidget or QDialog with
//  - a created state: the object is constructed without a window (hidden, IsWindow() false, no
//    handle, no timers); Create() makes the window (parent, geometry, WM_CREATE, shown) and
//    DestroyWindow() ends it; Create() may then make it anew;
//  - a WindowHandle attached at creation (IsWindow/PostMessage from any thread) and detached
//    when the window is destroyed or the object deleted; each creation is a new handle, and
//    messages posted to an earlier window of the object are dropped;
//  - message dispatch: posted messages (WindowMessageEvent) and SendMessage calls go to
//    ProcessWindowMessage, by default the object's ordered MessageMap; what no handler keeps goes
//    to DefaultProcessing;
//  - WM_SIZE from Qt's resize events (and once after creation), wParam 0, lParam width | height <<
//  16;
//  - DestroyWindow: WM_DESTROY, the child windows, WM_NCDESTROY, then the final-message hook,
//    which waits until the outermost handler running on the window has returned;
//  - timers by identifier that arrive as WM_TIMER with the identifier in wParam;
//  - command connectors: button clicks and combo-box notifications as WM_COMMAND;
//  - an opaque background fill in paintEvent, then PaintContent (the flicker-free painting:
//    Qt paints into a back buffer, so the window never shows a half-drawn state).
// Use on the UI thread; only the handle may be used by other threads.
// As in ATL, the members IsWindow() and PostMessage() hide the free functions of the same names
// inside subclasses: write brevio::IsWindow(handle) there for another window's handle.
#include <QAbstractButton>
#include <QComboBox>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "platform/WindowHandle.h"
#include "platform/WindowTimers.h"
#include "window/MessageMap.h"
#include "window/SystemColors.h"
#include "window/WindowMessages.h"

namespace brevio {

// What every window object offers whatever its Qt base: used to destroy child windows.
class WindowObject {
public:
    virtual ~WindowObject() = default;
    virtual void DestroyWindow() = 0;
    virtual const WindowHandle& Handle() const = 0;
};

// The handle of `window`'s parent when that is a window object (GetParent); null otherwise.
WindowHandle ParentHandle(const QWidget* window);

// Destroys the window objects among `parent`'s descendants, stopping at each window object (it
// destroys its own children).
void DestroyChildWindows(QObject* parent);

// Calls `notify` with CBN_DROPDOWN when the combo box's list opens and CBN_CLOSEUP when it closes.
// The watcher is a child of the combo box; it stops calling once `context` is destroyed.
void WatchComboPopup(QComboBox* combo, QObject* context, std::function<void(uint16_t code)> notify);

template <class QtBase>
class WindowImpl : public QtBase, public WindowObject {
public:
    explicit WindowImpl(QWidget* parent = nullptr, Qt::WindowFlags flags = {})
        : QtBase(parent, flags), timers_([this](uint32_t id) { SendMessage(WM_TIMER, id, 0); }) {
        this->setAttribute(Qt::WA_OpaquePaintEvent);
        this->hide();  // no window until Create: not even shown with its parent
    }
    ~WindowImpl() override {
        // Deleting the object destroys its window without messages: a subclass's handlers cannot
        // run once its own destructor has. Owners that need WM_DESTROY call DestroyWindow first.
        timers_.KillAll();
        handle_.Detach();
    }
    WindowImpl(const WindowImpl&) = delete;
    WindowImpl& operator=(const WindowImpl&) = delete;

    // Creates the window: `parent` becomes the Qt parent (null: a top-level window), `rect` its
    // geometry in the parent's coordinates (a null rectangle keeps the current one), then
    // WM_CREATE(0, createParam) is dispatched; a handler returning -1 fails the creation, which
    // destroys the window again (WM_DESTROY, WM_NCDESTROY, final hook). Otherwise the window is
    // shown and gets WM_SIZE. False as well when the window already exists or the object is still
    // inside a handler of its previous window.
    bool Create(QWidget* parent, const QRect& rect = QRect(), intptr_t createParam = 0) {
        if (created_ || depth_ != 0) return false;
        if (parent != this->parentWidget()) this->setParent(parent);
        if (!rect.isNull()) this->setGeometry(rect);
        BeginWindow();
        const LRESULT created = SendMessage(WM_CREATE, 0, createParam);
        if (created == -1) {
            DestroyWindow();
            return false;
        }
        if (!created_) return false;  // its own WM_CREATE handler destroyed it
        sizeSent_ = false;
        this->show();
        if (created_ && !sizeSent_) SendSizeMessage();
        return created_;
    }

    // A copy of the handle for other objects and threads; null before the window is created.
    const WindowHandle& Handle() const override { return handle_; }
    // "The window exists": created and not yet destroyed.
    bool IsWindow() const { return created_; }
    bool PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) const {
        return handle_.PostMessage(message, wParam, lParam);
    }

    // Dispatches a message now, as SendMessageW on the window's own thread. 0 without a window.
    LRESULT SendMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
        if (!created_) return 0;
        ++depth_;
        LRESULT result = 0;
        if (!ProcessWindowMessage(message, wParam, lParam, result)) {
            result = DefaultProcessing(message, wParam, lParam);
        }
        LeaveDispatch();
        return result;
    }

    void DestroyWindow() override {
        if (!created_ || destroying_) return;
        destroying_ = true;
        ++depth_;  // keeps the final hook back until this call (and any handler around it) ends
        SendMessage(WM_DESTROY);
        DestroyChildWindows(this);
        SendMessage(WM_NCDESTROY);
        timers_.KillAll();
        handle_.Detach();
        created_ = false;
        finalPending_ = true;
        this->hide();
        LeaveDispatch();
    }

    // SetTimer/KillTimer by identifier; each expiry is dispatched as WM_TIMER(id). Only while the
    // window exists.
    bool SetTimer(uint32_t id, int intervalMs) { return created_ && timers_.Set(id, intervalMs); }
    bool KillTimer(uint32_t id) { return timers_.Kill(id); }

    // Wires a button's clicks to WM_COMMAND(id, BN_CLICKED) with the button as lParam.
    void ConnectCommand(QAbstractButton* button, uint16_t id) {
        QObject::connect(button, &QAbstractButton::clicked, this, [this, button, id] {
            SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<intptr_t>(button));
        });
    }
    // Wires a drop-down list: a choice made by the user (even of the current item) is
    // WM_COMMAND(id, CBN_SELCHANGE), the list opening CBN_DROPDOWN and closing CBN_CLOSEUP, each
    // with the combo box as lParam. Changes made by code send nothing, as with CB_SETCURSEL.
    void ConnectCombo(QComboBox* combo, uint16_t id) {
        const auto send = [this, combo, id](uint16_t code) {
            SendMessage(WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<intptr_t>(combo));
        };
        // The timers object goes before the QWidget part, which deletes the combo box (closing its
        // list): no notification reaches a window object that is being deleted.
        QObject::connect(combo, &QComboBox::activated, &timers_, [send] { send(CBN_SELCHANGE); });
        WatchComboPopup(combo, &timers_, send);
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
                // Only messages posted to this window, not to an earlier one of the object (a
                // message posted straight to the QObject, without a handle, counts as this one's).
                if (created_ && (message->window() == 0 || handle_.Owns(*message))) {
                    SendMessage(message->message(), message->wParam(), message->lParam());
                }
                return true;
            }
        }
        return QtBase::event(event);
    }

    void resizeEvent(QResizeEvent* event) override {
        QtBase::resizeEvent(event);
        if (created_) SendSizeMessage();
    }

    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(this->rect(), background_);
        PaintContent(painter);
    }

    // The window begins to exist, without WM_CREATE or showing: the dialogs' creation step.
    void BeginWindow() {
        handle_ = WindowHandle::Attach(this);
        created_ = true;
        destroying_ = false;
    }

private:
    void SendSizeMessage() {
        sizeSent_ = true;
        const auto width = static_cast<uint16_t>(this->width());
        const auto height = static_cast<uint16_t>(this->height());
        SendMessage(WM_SIZE, 0, static_cast<intptr_t>(MAKEWPARAM(width, height)));
    }
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
    bool created_ = false;
    bool destroying_ = false;
    bool finalPending_ = false;
    bool sizeSent_ = false;
};

}  // namespace brevio
