#include "CSaveProgressDlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <algorithm>

#include "document/CBRVWrapper.h"
#include "module/Module.h"
#include "module/ModuleHelpers.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"
#include "window/CenterWindow.h"
#include "window/DialogUnits.h"

namespace brevio {

namespace {

// The dialog's layout in dialog units, converted with the dialog font.
constexpr int kDialogWidthDlu = 257;
constexpr int kDialogHeightDlu = 100;
constexpr QRect kProgressRect(15, 60, 224, 14);
constexpr QRect kCancelRect(94, 75, 72, 18);
constexpr QRect kMessageRect(16, 38, 227, 22);
constexpr QRect kFileNameRect(15, 7, 235, 19);

QString ItemName(int id) {
    return QStringLiteral("item%1").arg(id);
}

}  // namespace

CSaveProgressDlg* CSaveProgressDlg::Instance() {
    // Widgets need a QApplication (not only a core application) and its thread.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) return nullptr;
    static bool registered = false;
    if (!registered) {
        registered = true;
        if (Module::Instance().SaveProgressDialog() == nullptr) RegisterWithModule();
    }
    return Module::Instance().SaveProgressDialogAs<CSaveProgressDlg>();
}

void CSaveProgressDlg::RegisterWithModule() {
    Module::Instance().SetSaveProgressDialogFactory(
        [] { return std::unique_ptr<QObject>(std::make_unique<CSaveProgressDlg>()); });
}

CSaveProgressDlg::CSaveProgressDlg(QWidget* parent) : DialogBase(parent) {
    // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME: a title, a close box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Save"));
    BuildItems();
    Messages().Add(WM_INITDIALOG, [this](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        InitDialog();
        return 1;
    });
    Messages().Add(kMsgSetPos, [this](uint32_t, uintptr_t position, intptr_t, bool&) -> LRESULT {
        progress_->setValue(static_cast<int>(std::min<uintptr_t>(position, 100)));
        return 0;
    });
    Messages().Add(kMsgEndDialog, [this](uint32_t, uintptr_t code, intptr_t, bool&) -> LRESULT {
        DialogBase::EndDialog(static_cast<int>(code));
        return 0;
    });
    Messages().Add(WM_COMMAND,
                   [this](uint32_t, uintptr_t wParam, intptr_t, bool& handled) -> LRESULT {
                       const int id = LOWORD(wParam);
                       if (id == IDOK || id == kCancelId) {
                           DialogBase::EndDialog(id);
                       } else {
                           handled = false;
                       }
                       return 0;
                   });
}

CSaveProgressDlg::~CSaveProgressDlg() {
    SetWorkerHandle(WindowHandle());
    // A worker still running after a cancel reports to this object: let it finish first. It never
    // waits for this thread, so the wait ends.
    if (worker_ != nullptr) worker_->Join();
}

void CSaveProgressDlg::BuildItems() {
    const QFont font = DialogTemplateFont();
    setFont(font);
    const DialogUnits units(font);

    // Items in template order: 1001, 2, 1005, 1004 (also the tab order).
    progress_ = new QProgressBar(this);
    progress_->setObjectName(ItemName(kProgressBarId));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setGeometry(units.ToPixels(kProgressRect));

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(ItemName(kCancelId));
    cancel_->setDefault(true);
    cancel_->setGeometry(units.ToPixels(kCancelRect));
    ConnectCommand(cancel_, kCancelId);

    message_ = new QLabel(this);
    message_->setObjectName(ItemName(kMessageId));
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message_->setGeometry(units.ToPixels(kMessageRect));

    fileName_ = new QLabel(this);
    fileName_->setObjectName(ItemName(kFileNameId));
    fileName_->setWordWrap(true);
    fileName_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fileName_->setGeometry(units.ToPixels(kFileNameRect));

    setFixedSize(units.ToPixels(QSize(kDialogWidthDlu, kDialogHeightDlu)));
}

HRESULT CSaveProgressDlg::SetPath(const QString& path) {
    if (path.isNull()) return E_POINTER;
    path_ = path;
    return S_OK;
}

void CSaveProgressDlg::SetCaption(const QString* text) {
    caption_ = resources::CaptionOrDefault(text);
}

int CSaveProgressDlg::DoModal(QWidget* owner) {
    const int code = DialogBase::DoModal(owner);
    SetWorkerHandle(WindowHandle());
    return code;
}

void CSaveProgressDlg::InitDialog() {
    SetWorkerHandle(Handle());
    progress_->setRange(0, 100);
    progress_->setValue(0);
    if (caption_.isEmpty()) caption_ = LoadString(ids::kCaption);
    setWindowTitle(caption_);
    cancel_->setText(LoadString(ids::kProgressCancel));
    message_->setText(LoadString(ids::kSavingPleaseWait));
    fileName_->setText(QFileInfo(path_).fileName());
    CenterWindow(this);
    // The worker starts with the dialog; if it cannot start, the save has failed.
    if (worker_ != nullptr && !worker_->Start()) DialogBase::EndDialog(kSaveFailed);
}

void CSaveProgressDlg::SetWorkerHandle(const WindowHandle& handle) {
    std::lock_guard lock(handleMutex_);
    workerHandle_ = handle;
}

void CSaveProgressDlg::SetProgress(int position) {
    std::lock_guard lock(handleMutex_);
    workerHandle_.PostMessage(kMsgSetPos, static_cast<uintptr_t>(std::clamp(position, 0, 100)));
}

void CSaveProgressDlg::EndDialog(int endCode) {
    std::lock_guard lock(handleMutex_);
    workerHandle_.PostMessage(kMsgEndDialog, static_cast<uintptr_t>(endCode));
}

bool CSaveProgressDlg::IsWindow() const {
    std::lock_guard lock(handleMutex_);
    return workerHandle_.IsWindow();
}

void CSaveProgressDlg::OnCommand(int id) {
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), BN_CLICKED), 0);
}

HRESULT SaveBehindDialog(CBRVWrapper& document, const QString& path, CSaveProgressDlg* dialog) {
    if (path.isNull()) return E_POINTER;
    if (!document.IsOpen()) return S_OK;
    // No dialog, or it is running another save: nothing is started.
    if (dialog == nullptr || dialog->isVisible()) return E_FAIL;
    document.PrepareSave(path, *dialog);
    dialog->SetPath(path);
    dialog->SetWorker(&document);
    const int endCode = dialog->DoModal(QApplication::activeWindow());
    dialog->SetWorker(nullptr);
    const int result = document.SettleSave(endCode);
    if (result == kSaveWritten) return S_OK;
    if (result == kSaveFailed || result == 0) {
        const QString caption = document.GetMessageCaption();
        ShowMessage(QApplication::activeWindow(), ids::kSaveFailed, &caption, MB_ICONEXCLAMATION,
                    document.LastWriteReason());
    }
    return E_FAIL;
}

}  // namespace brevio
