#include "CDialogBase.h"

#include <QApplication>
#include <QCloseEvent>

#include "platform/HResult.h"

namespace brevio {

CDialogBase::CDialogBase(QWidget* parent) : CWindowImplT<QDialog>(parent) {
    SetBackgroundColor(ColorBtnFace());
    setModal(true);
}

int CDialogBase::DoModal(QWidget* owner, intptr_t initParam) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return -1;
    if (running_) return -1;
    Recreate();
    // The owner is a parent for the length of the run only: a Qt parent would also delete the
    // dialog, which belongs to whoever made it.
    QWidget* const previousParent = parentWidget();
    const bool reparent = owner != nullptr && owner != previousParent;
    if (reparent) setParent(owner, windowFlags());
    running_ = true;
    endRequested_ = false;
    endResult_ = 0;
    setResult(0);
    SendMessage(WM_INITDIALOG, 0, initParam);
    const int code = endRequested_ ? endResult_ : exec();
    running_ = false;
    DestroyWindow();
    if (reparent) setParent(previousParent, windowFlags());
    return endRequested_ ? endResult_ : code;
}

void CDialogBase::EndDialog(int result) {
    endRequested_ = true;
    endResult_ = result;
    QDialog::done(result);
}

LRESULT CDialogBase::DefaultProcessing(uint32_t message, uintptr_t /*wParam*/,
                                       intptr_t /*lParam*/) {
    // The default dialog processing: the close box becomes Cancel; nothing else happens by itself.
    if (message == WM_CLOSE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(IDCANCEL), BN_CLICKED), 0);
    }
    return 0;
}

void CDialogBase::accept() {
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(IDOK), BN_CLICKED), 0);
}

void CDialogBase::reject() {
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(IDCANCEL), BN_CLICKED), 0);
}

void CDialogBase::done(int result) {
    // QDialog's own paths (a QDialogButtonBox, QDialog::open) end the dialog through done().
    EndDialog(result);
}

void CDialogBase::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (IsWindow() && isVisible()) SendMessage(WM_CLOSE);
}

}  // namespace brevio
