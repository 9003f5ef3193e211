#pragma once
// Base of the modal dialogs: a QDialog with the window framework of WindowImpl.h, painted in
// COLOR_BTNFACE. DoModal sends WM_INITDIALOG, runs the dialog until EndDialog, then destroys the
// window (WM_DESTROY, WM_NCDESTROY) and returns the code; a later DoModal makes it anew.
// Enter and Escape arrive as WM_COMMAND IDOK and IDCANCEL and the close box as WM_CLOSE, whose
// default processing is WM_COMMAND IDCANCEL: the dialog ends only when a handler calls EndDialog.
#include <QDialog>

#include "dialog/WindowImpl.h"

class QCloseEvent;

namespace brevio {

class CDialogBase : public CWindowImplT<QDialog> {
public:
    explicit CDialogBase(QWidget* parent = nullptr);

    // Runs the dialog modally, owned by `owner` when given (else by its parent; the owner does not
    // become the object's parent for good, so it never deletes the dialog). Returns the code
    // passed to EndDialog, or -1 when no dialog can be shown (no QApplication, or called while the
    // dialog already runs).
    int DoModal(QWidget* owner = nullptr, intptr_t initParam = 0);
    // Ends the modal loop with `result`; from a WM_INITDIALOG handler the dialog is never shown.
    void EndDialog(int result);
    bool IsRunningModal() const { return running_; }

protected:
    LRESULT DefaultProcessing(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void accept() override;
    void reject() override;
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool running_ = false;
    bool endRequested_ = false;
    int endResult_ = 0;
};

}  // namespace brevio
