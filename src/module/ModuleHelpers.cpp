#include "ModuleHelpers.h"

#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>

#include "platform/HResult.h"
#include "resources/StringTranslation.h"

namespace brevio {

namespace {

constexpr uint32_t kButtonMask = 0x0F;
constexpr uint32_t kIconMask = 0xF0;
constexpr uint32_t kIconHand = 0x10;
constexpr uint32_t kIconQuestion = 0x20;
constexpr uint32_t kIconAsterisk = 0x40;
constexpr int kTempPathLimit = 256;

QMessageBox::Icon IconFromFlags(uint32_t flags) {
    switch (flags & kIconMask) {
        case kIconHand:
            return QMessageBox::Critical;
        case kIconQuestion:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case kIconAsterisk:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

QString LoadString(uint32_t id) {
    return resources::TranslatedString(id);
}

int ShowMessage(QWidget* owner, uint32_t id, const QString* caption, uint32_t flags,
                const QString& detail) {
    if (caption == nullptr) return -1;
    // Without an application object no box can be shown; MessageBoxW reports that as 0.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;

    QMessageBox box(owner);
    box.setWindowTitle(*caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(detail.isEmpty() ? LoadString(id) : LoadString(id) + u'\n' + detail);
    box.setIcon(IconFromFlags(flags));
    if ((flags & kButtonMask) == MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton((flags & MB_DEFBUTTON2) != 0 ? QMessageBox::Cancel : QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        // Every other button set is shown as OK alone: the library asks nothing else.
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok ? IDOK : IDCANCEL;
}

bool SetWindowTextFromString(QWidget* window, uint32_t id) {
    if (window == nullptr) return false;
    const QString text = LoadString(id);
    // The window text of a control is what it displays; that of a top-level window its title.
    if (auto* label = qobject_cast<QLabel*>(window)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(window)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(window)) {
        group->setTitle(text);
    } else {
        window->setWindowTitle(text);
    }
    return true;
}

bool IsUACEnabled() {
    return geteuid() != 0;
}

QString GetTempFolder() {
    // An unset, empty or relative TMPDIR falls back to /tmp, as the C library's temporary-file
    // functions do.
    QString folder = qEnvironmentVariable("TMPDIR");
    if (folder.isEmpty() || !folder.startsWith(u'/')) folder = QStringLiteral("/tmp");
    if (!folder.endsWith(u'/')) folder += u'/';
    if (folder.size() > kTempPathLimit) return {};
    return folder;
}

}  // namespace brevio
