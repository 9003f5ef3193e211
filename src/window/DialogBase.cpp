#include "DialogBase.h"

#include <QApplication>
#include <QCloseEvent>
#include <QWindow>

#include "platform/HResult.h"

namespace brevio {

DialogBase::DialogBase(QWidget* parent) : WindowImpl<QDialog>(parent) {
    SetBackgroundColor(ColorBtnFace());
    setModal(true);
}

DialogBase::~DialogBase() {
    QObject::disconnect(ownerWatch_);
}

QWidget* DialogBase::Owner() const {
    if (owner_ != nullptr) return owner_;
    return parentWidget() != nullptr ? parentWidget()->window() : nullptr;
}

int DialogBase::DoModal(QWidget* owner, intptr_t initParam) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return -1;
    if (running_ || IsWindow()) return -1;
    owner_ = owner != nullptr ? owner->window() : nullptr;
    if (owner_ == this) owner_ = nullptr;
    if (owner_ != nullptr) {
        // The owner relation is the window system's: a transient parent.
        owner_->winId();
        winId();
        if (windowHandle() != nullptr) windowHandle()->setTransientParent(owner_->windowHandle());
        ownerWatch_ =
            QObject::connect(owner_, &QObject::destroyed, this, [this] { OwnerDestroyed(); });
    }
    running_ = true;
    endRequested_ = false;
    endResult_ = 0;
    setResult(0);
    BeginWindow();
    SendMessage(WM_INITDIALOG, 0, initParam);
    if (!endRequested_ && IsWindow()) exec();
    running_ = false;
    DestroyWindow();
    QObject::disconnect(ownerWatch_);
    if (owner_ != nullptr && windowHandle() != nullptr) windowHandle()->setTransientParent(nullptr);
    owner_ = nullptr;
    return endRequested_ ? endResult_ : 0;
}

void DialogBase::OwnerDestroyed() {
    // Owned windows go with their owner: the window is destroyed and the modal loop ends. The
    // object stays; its maker deletes it.
    QObject::disconnect(ownerWatch_);
    owner_ = nullptr;
    if (windowHandle() != nullptr) windowHandle()->setTransientParent(nullptr);
    if (!running_) return;
    DestroyWindow();
    QDialog::done(endRequested_ ? endResult_ : 0);
}

void DialogBase::EndDialog(int result) {
    if (!running_) return;
    endRequested_ = true;
    endResult_ = result;
    QDialog::done(result);
}

LRESULT DialogBase::DefaultProcessing(uint32_t message, uintptr_t /*wParam*/, intptr_t /*lParam*/) {
    // The default dialog processing: the close box becomes Cancel; nothing else happens by itself.
    if (message == WM_CLOSE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(IDCANCEL), BN_CLICKED), 0);
    }
    return 0;
}

void DialogBase::accept() {
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(IDOK), BN_CLICKED), 0);
}

void DialogBase::reject() {
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(IDCANCEL), BN_CLICKED), 0);
}

void DialogBase::done(int result) {
    // QDialog's own paths (a QDialogButtonBox, QDialog::open) end the dialog through done().
    EndDialog(result);
}

void DialogBase::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (IsWindow() && isVisible()) SendMessage(WM_CLOSE);
}

}  // namespace brevio
