#include "CBRVDialog.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <exception>

#include "module/ModuleHelpers.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"
#include "save/CSaveProgressDlg.h"
#include "window/CenterWindow.h"

namespace brevio {

namespace {

constexpr uint16_t kFirstCommand = 1002;
constexpr uint16_t kCancelCommand = 1006;

}  // namespace

CBRVDialog::CBRVDialog(QWidget* parent) : DialogBase(parent) {
    // A fixed frame with a caption and the system menu; no sizing border, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("BrevioEdit"));
    setObjectName(QStringLiteral("CBRVDialog"));

    Messages().Add(WM_INITDIALOG,
                   [this](uint32_t, uintptr_t, intptr_t, bool&) { return OnInitDialog(); });
    Messages().Add(WM_BRV_CLOSE_REQUEST, [this](uint32_t, uintptr_t wParam, intptr_t, bool&) {
        return OnCloseRequest(static_cast<int32_t>(wParam));
    });
    Messages().Add(WM_COMMAND, [this](uint32_t, uintptr_t wParam, intptr_t lParam, bool& handled) {
        const uint16_t id = LOWORD(wParam);
        if (id < kFirstCommand || id > kCancelCommand || HIWORD(wParam) != BN_CLICKED) {
            handled = false;  // IDOK and IDCANCEL among them: Enter and Esc do not end the dialog
            return LRESULT{0};
        }
        return content_.ForwardCommand(id, wParam, lParam, handled);
    });
    // The close box, Alt+F4 and the system menu's Close are the Cancel command.
    Messages().Add(WM_CLOSE, [this](uint32_t, uintptr_t, intptr_t, bool& handled) {
        return content_.ForwardCommand(kCancelCommand, MAKEWPARAM(kCancelCommand, BN_CLICKED), 0,
                                       handled);
    });
    Messages().Add(WM_DESTROY, [](uint32_t, uintptr_t, intptr_t, bool&) { return LRESULT{0}; });
}

CBRVDialog::~CBRVDialog() = default;

void CBRVDialog::SetCaption(const QString* caption) {
    caption_ = resources::CaptionOrDefault(caption);
    content_.SetCaption(caption);
    // The host's caption names this dialog and its message boxes; the save's progress dialog,
    // shared by the module, always carries the product's name.
    if (CSaveProgressDlg* progress = CSaveProgressDlg::Instance()) progress->SetCaption(nullptr);
}

HRESULT CBRVDialog::GetSavedPath(QString* path) const {
    if (path == nullptr) return E_POINTER;
    return content_.GetSavedPath(path);
}

HRESULT CBRVDialog::GetPlayerValue(int32_t* value) const {
    if (value == nullptr) return E_POINTER;
    *value = playerValueAtClose_;
    return S_OK;
}

LRESULT CBRVDialog::OnInitDialog() {
    try {
        if (caption_.isEmpty()) caption_ = LoadString(ids::kCaption);
        setWindowTitle(caption_);
        if (!content_.Create(this, QRect())) throw BRVDLG_FAILURE;
        int32_t width = 0;
        int32_t height = 0;
        if (FAILED(content_.GetIdealSize(&width, &height))) throw BRVDLG_FAILURE;
        outerSize_ = QSize(width, height);
        ApplyOuterSize();
        CenterWindow(this);
        content_.setGeometry(rect());
    } catch (...) {
        result_ = BRVDLG_FAILURE;
        EndDialog(1);
    }
    return 1;
}

void CBRVDialog::ApplyOuterSize() {
    if (!outerSize_.isValid()) return;
    // Qt sizes the client area; the frame is known once the window manager has framed the window
    // (no frame at all under the offscreen platform or without a window manager).
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client = outerSize_ - frame;
    const bool frameChanged = frame != frameSeen_;
    frameSeen_ = frame;
    if (client != size()) {
        setFixedSize(client);
        content_.setGeometry(rect());
    }
    // A frame that appeared (or changed) moves the centre: centred again with its frame.
    if (frameChanged && isVisible()) CenterWindow(this);
}

void CBRVDialog::showEvent(QShowEvent* event) {
    DialogBase::showEvent(event);
    ApplyOuterSize();
    // Some window managers publish the frame without moving the window: look once more after
    // they have had the time to frame it.
    QTimer::singleShot(250, this, [this] {
        if (isVisible()) ApplyOuterSize();
    });
}

void CBRVDialog::moveEvent(QMoveEvent* event) {
    DialogBase::moveEvent(event);
    if (isVisible()) ApplyOuterSize();
}

LRESULT CBRVDialog::OnCloseRequest(int32_t code) {
    if (ending_) return 0;
    if (code == BRVDLG_CANCELLED && content_.IsEdited()) {
        if (asking_) return 0;  // the question is already open for an earlier Cancel
        asking_ = true;
        // Cancel (keep editing) is the default: a stray Enter never throws the edits away.
        const int answer = ShowMessage(this, ids::kUnsavedEdits, &caption_,
                                       MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION);
        asking_ = false;
        // A request accepted while the question was open (a changed movie file ending the dialog
        // with 7) stays the result.
        if (ending_) return 0;
        if (answer == IDCANCEL) return 0;
    }
    if (content_.IsWindow()) content_.GetPlayerValue(&playerValueAtClose_);
    result_ = code;
    ending_ = true;
    EndDialog(1);
    if (asking_) {
        // The open question no longer matters: close it, its answer is ignored.
        for (QMessageBox* box : findChildren<QMessageBox*>()) {
            if (box->isVisible()) box->done(IDCANCEL);
        }
    }
    return 0;
}

void CBRVDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return: {
            // Enter on a focused push button is that button's command, sent to the dialog as the
            // dialog manager sends it (the buttons themselves do not take Enter).
            event->accept();
            auto* button = qobject_cast<QPushButton*>(focusWidget());
            bool numbered = false;
            const uint id = button != nullptr ? button->objectName().toUInt(&numbered) : 0;
            if (numbered && id <= 0xFFFF && button->isEnabled() && isAncestorOf(button)) {
                SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), BN_CLICKED),
                            reinterpret_cast<intptr_t>(button));
            }
            return;
        }
        case Qt::Key_Escape:
            // IDCANCEL is not handled: Esc does not close the dialog.
            event->accept();
            return;
        default:
            DialogBase::keyPressEvent(event);
    }
}

}  // namespace brevio
