#include "CSaveProgressDlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <algorithm>

#include "dialog/CenterWindow.h"
#include "dialog/DialogUnits.h"
#include "module/Module.h"
#include "module/ModuleHelpers.h"

namespace brevio {

namespace {

constexpr uint32_t kCaptionStringId = 128;
constexpr uint32_t kCancelStringId = 154;
constexpr uint32_t kMessageStringId = 156;

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

CSaveProgressDlg::CSaveProgressDlg(QWidget* parent) : QDialog(parent) {
    // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME: a title, a close box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Save"));
    BuildItems();
}

CSaveProgressDlg::~CSaveProgressDlg() {
    {
        std::lock_guard lock(handleMutex_);
        handle_.Detach();
    }
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
    connect(cancel_, &QPushButton::clicked, this, [this] { OnCommand(kCancelId); });

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
    caption_ = text != nullptr ? *text : LoadString(kCaptionStringId);
}

int CSaveProgressDlg::DoModal(QWidget* owner) {
    if (isVisible()) return -1;
    owner_ = owner != nullptr ? owner->window() : nullptr;
    {
        std::lock_guard lock(handleMutex_);
        ++generation_;
        handle_ = WindowHandle::Attach(this);
    }
    InitDialog();
    startPending_ = true;
    const int code = exec();
    startPending_ = false;
    {
        std::lock_guard lock(handleMutex_);
        handle_.Detach();
    }
    owner_ = nullptr;
    return code;
}

void CSaveProgressDlg::InitDialog() {
    // The window is not a child of its owner, so that the owner's destruction never takes the
    // module's dialog with it; the owner relation is given to the window system instead.
    if (owner_ != nullptr && owner_->windowHandle() != nullptr) {
        winId();
        if (windowHandle() != nullptr) windowHandle()->setTransientParent(owner_->windowHandle());
    } else if (windowHandle() != nullptr) {
        windowHandle()->setTransientParent(nullptr);
    }
    progress_->setRange(0, 100);
    progress_->setValue(0);
    if (caption_.isEmpty()) caption_ = LoadString(kCaptionStringId);
    setWindowTitle(caption_);
    cancel_->setText(LoadString(kCancelStringId));
    message_->setText(LoadString(kMessageStringId));
    fileName_->setText(QFileInfo(path_).fileName());
    CenterOverOwner();
}

void CSaveProgressDlg::CenterOverOwner() {
    // Centred over the owner's frame, or in the work area when the owner is missing, hidden or
    // minimised. The owner is not the dialog's parent (see InitDialog), so the reference is
    // chosen here and the arithmetic is the window framework's.
    const bool useOwner = owner_ != nullptr && owner_->isVisible() && !owner_->isMinimized();
    QScreen* screen = useOwner ? owner_->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    const QRect workArea = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const QRect reference = useOwner ? owner_->frameGeometry() : workArea;
    move(CenteredPosition(frameGeometry().size(), reference, workArea));
}

void CSaveProgressDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!startPending_) return;
    startPending_ = false;
    // The worker starts once the dialog is up; if it cannot start, the save has failed.
    if (worker_ != nullptr && !worker_->Start()) EndDialog(kSaveFailed);
}

void CSaveProgressDlg::SetProgress(int position) {
    std::lock_guard lock(handleMutex_);
    handle_.PostMessage(kMsgSetPos, static_cast<uintptr_t>(std::clamp(position, 0, 100)),
                        generation_);
}

void CSaveProgressDlg::EndDialog(int endCode) {
    std::lock_guard lock(handleMutex_);
    handle_.PostMessage(kMsgEndDialog, static_cast<uintptr_t>(endCode), generation_);
}

bool CSaveProgressDlg::IsWindow() const {
    std::lock_guard lock(handleMutex_);
    return handle_.IsWindow();
}

bool CSaveProgressDlg::event(QEvent* event) {
    const auto type = static_cast<uint32_t>(event->type());
    if (type == kMsgSetPos || type == kMsgEndDialog) {
        const auto* message = static_cast<WindowMessageEvent*>(event);
        // Only messages of the current run while the dialog is up.
        if (message->lParam() == generation_ && isVisible()) {
            if (type == kMsgSetPos) {
                progress_->setValue(std::clamp(static_cast<int>(message->wParam()), 0, 100));
            } else {
                done(static_cast<int>(message->wParam()));
            }
        }
        return true;
    }
    return QDialog::event(event);
}

void CSaveProgressDlg::OnCommand(int id) {
    if (id == 1 || id == kCancelId) done(id);
}

void CSaveProgressDlg::done(int code) {
    {
        std::lock_guard lock(handleMutex_);
        handle_.Detach();
    }
    QDialog::done(code);
}

void CSaveProgressDlg::accept() {
    OnCommand(1);
}

// Escape and the close box come here.
void CSaveProgressDlg::reject() {
    OnCommand(kCancelId);
}

}  // namespace brevio
