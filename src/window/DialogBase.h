#pragma once
// Base of the modal dialogs: a QDialog with the window framework of WindowImpl.h, painted in
// COLOR_BTNFACE. DoModal creates the window (the object exists before and after, without one),
// sends WM_INITDIALOG, runs the dialog until EndDialog, then destroys the window (WM_DESTROY,
// WM_NCDESTROY) and returns the code; a later DoModal makes it anew. Child panes are created by
// the dialog's own WM_INITDIALOG handling (or their parents' WM_CREATE), so every run has new ones.
// Enter and Escape arrive as WM_COMMAND IDOK and IDCANCEL and the close box as WM_CLOSE, whose
// default processing is WM_COMMAND IDCANCEL: the dialog ends only when a handler calls EndDialog.
#include <QDialog>
#include <QPointer>

#include "window/WindowImpl.h"

class QCloseEvent;

namespace brevio {

class DialogBase : public WindowImpl<QDialog> {
public:
    explicit DialogBase(QWidget* parent = nullptr);
    ~DialogBase() override;

    // Runs the dialog modally, owned by `owner` when given (else by its parent). The owner is the
    // window system's owner of the dialog (a transient parent), never its Qt parent: it does not
    // delete the dialog, which belongs to whoever made it. When the owner is destroyed during the
    // run, the dialog's window is destroyed with it and the run ends with 0 (the code passed to
    // EndDialog before, if any). Returns the code passed to EndDialog, or -1 when no dialog can be
    // shown (no QApplication, or called while the dialog already runs).
    int DoModal(QWidget* owner = nullptr, intptr_t initParam = 0);
    // Ends the modal loop with `result`; from a WM_INITDIALOG handler the dialog is never shown.
    void EndDialog(int result);
    bool IsRunningModal() const { return running_; }
    // The window that owns the running dialog: the owner given to DoModal or the parent's window.
    QWidget* Owner() const;

protected:
    LRESULT DefaultProcessing(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void accept() override;
    void reject() override;
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OwnerDestroyed();

    bool running_ = false;
    bool endRequested_ = false;
    int endResult_ = 0;
    QPointer<QWidget> owner_;
    QMetaObject::Connection ownerWatch_;
};

}  // namespace brevio
