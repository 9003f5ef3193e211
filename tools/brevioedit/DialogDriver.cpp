#include "DialogDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace brevioedit {

namespace {

constexpr int kScenePitch = 68;
constexpr int kSceneCentreX = 36;
constexpr int kSceneCentreY = 32;

void SendClick(QWidget* widget, const QPoint& local) {
    QWidget* target = widget->childAt(local);
    QPoint at = local;
    if (target != nullptr) {
        at = target->mapFrom(widget, local);
    } else {
        target = widget;
    }
    const QPointF global = target->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Calls `answer` on the first active modal widget that `accept` takes, polling every 20 ms.
template <class Widget>
void ArmModalAnswer(std::function<void(Widget*)> answer, int timeoutMs) {
    auto timer = new QTimer(qApp);
    auto deadline = QDeadlineTimer(timeoutMs);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, answer] {
        if (auto* widget = qobject_cast<Widget*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(widget);
        } else if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void Pause(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

QWidget* FindByClass(QWidget* root, const char* className) {
    if (root == nullptr) return nullptr;
    const QByteArray wanted(className);
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (wanted == child->metaObject()->className()) return child;
    }
    return nullptr;
}

QDialog* FindEditDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (QByteArray("brevio::CBRVDialog") == widget->metaObject()->className() &&
            widget->isVisible()) {
            return qobject_cast<QDialog*>(widget);
        }
    }
    return nullptr;
}

DialogDriver::DialogDriver(QDialog* dialog) : dialog_(dialog) {}

QWidget* DialogDriver::Strip() const {
    QWidget* strip = FindByClass(dialog_, "brevio::CThumbnailWnd");
    return strip != nullptr ? strip : FindByClass(dialog_, "brevio::CThumbnailWndChapter");
}

QWidget* DialogDriver::Player() const {
    return FindByClass(dialog_, "brevio::CBRLPlayer");
}

QAbstractButton* DialogDriver::Button(int id) const {
    return dialog_ ? dialog_->findChild<QAbstractButton*>(QString::number(id)) : nullptr;
}

QComboBox* DialogDriver::SelectionList() const {
    return dialog_ ? dialog_->findChild<QComboBox*>(QStringLiteral("1008")) : nullptr;
}

bool DialogDriver::ClickPlayPause() {
    QWidget* player = Player();
    if (player == nullptr) return false;
    auto* button = player->findChild<QToolButton*>();
    if (button == nullptr || !button->isEnabled()) return false;
    SendClick(button, button->rect().center());
    return true;
}

bool DialogDriver::ClickScene(int index) {
    QWidget* strip = Strip();
    if (strip == nullptr) return false;
    SendClick(strip, QPoint(kScenePitch * index + kSceneCentreX, kSceneCentreY));
    return true;
}

bool DialogDriver::ChooseSelectionLength(int scenes) {
    QComboBox* list = SelectionList();
    if (list == nullptr || !list->isEnabled()) return false;
    const int index = list->findText(QString::number(scenes));
    if (index < 0) return false;
    list->setCurrentIndex(index);
    emit list->activated(index);
    return true;
}

bool DialogDriver::ClickButton(int id) {
    QAbstractButton* button = Button(id);
    if (button == nullptr || !button->isEnabled() || !button->isVisible()) return false;
    SendClick(button, button->rect().center());
    return true;
}

void DialogDriver::PressKey(int key, QWidget* target) {
    if (target == nullptr) target = QApplication::focusWidget();
    if (target == nullptr) target = dialog_;
    if (target == nullptr) return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

bool DialogDriver::HasSelectionFrame() const {
    QWidget* strip = Strip();
    if (strip == nullptr || !strip->isVisible()) return false;
    const QImage picture = strip->grab().toImage();
    // The selection fill shows above the images, on the rows between the frame and the images.
    const QRgb fill = qRgb(185, 212, 255);
    for (int y = 1; y < 8 && y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if ((picture.pixel(x, y) & 0xFFFFFF) == (fill & 0xFFFFFF)) return true;
        }
    }
    return false;
}

bool DialogDriver::CutSelection(int timeoutMs) {
    if (!WaitFor([this] { return HasSelectionFrame(); }, timeoutMs)) return false;
    if (!ClickButton(1002)) return false;
    return WaitFor([this] { return Button(1003) != nullptr && Button(1003)->isEnabled(); },
                   timeoutMs);
}

std::shared_ptr<bool> DialogDriver::AnswerSaveAs(const QString& path, int timeoutMs,
                                                 const QString& screenshotPath) {
    auto answered = std::make_shared<bool>(false);
    ArmModalAnswer<QFileDialog>(
        [answered, path, screenshotPath](QFileDialog* dialog) {
            const QFileInfo info(path);
            dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
            if (auto* edit = dialog->findChild<QLineEdit*>()) edit->setText(info.fileName());
            if (!screenshotPath.isEmpty()) dialog->grab().save(screenshotPath, "PNG");
            *answered = true;
            QMetaObject::invokeMethod(dialog, "accept");
        },
        timeoutMs);
    return answered;
}

std::shared_ptr<QString> DialogDriver::AnswerMessageBox(bool ok, int timeoutMs) {
    auto text = std::make_shared<QString>();
    ArmModalAnswer<QMessageBox>(
        [text, ok](QMessageBox* box) {
            *text = box->text();
            QAbstractButton* button = box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel);
            if (button != nullptr) {
                button->click();
            } else {
                box->reject();
            }
        },
        timeoutMs);
    return text;
}

QString DialogDriver::Screenshot(const QString& path) const {
    if (!dialog_) return {};
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!dialog_->grab().save(full, "PNG")) return {};
    return full;
}

bool DialogDriver::StripSettled() const {
    if (HasSelectionFrame()) return true;
    // A chapter strip has no list; it always selects once its thumbnails are made.
    const QComboBox* list = SelectionList();
    if (list == nullptr || !list->isVisible()) return false;
    return !list->isEnabled() || list->count() <= 1;
}

}  // namespace brevioedit
