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
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace brevio::driver {

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

constexpr int kPollMs = 10;

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
        // Objects deleted later by this loop level go now, as the next outer loop would.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void Pause(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
        QThread::msleep(1);
    }
}

void ArmAnswer(std::weak_ptr<void> request, std::function<bool(QWidget*)> accepts,
               std::function<void(QWidget*)> answer, int timeoutMs) {
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!request.expired() && !deadline.hasExpired()) {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || !accepts(modal)) return;
            // Stopped first: the answer may run an event loop of its own.
            timer->stop();
            answer(modal);
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start(kPollMs);
}

std::shared_ptr<MessageBoxRecord> AnswerNextMessageBox(QMessageBox::StandardButton button,
                                                       int timeoutMs) {
    auto record = std::make_shared<MessageBoxRecord>();
    ArmAnswer(
        record, [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [weak = std::weak_ptr<MessageBoxRecord>(record), button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (const std::shared_ptr<MessageBoxRecord> record = weak.lock()) {
                record->seen = true;
                record->title = box->windowTitle();
                record->text = box->text();
                record->icon = box->icon();
                record->buttons = box->standardButtons();
                record->parent = box->parentWidget();
            }
            if (QAbstractButton* target = box->button(button)) {
                target->click();
            } else {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QCoreApplication::sendEvent(box, &escape);
            }
        },
        timeoutMs);
    return record;
}

MessageBoxLog::MessageBoxLog() : timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box == answered_ || !box->isVisible()) return;
        answered_ = box;
        texts.push_back(box->text());
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    });
    timer_->start(2 * kPollMs);
}

MessageBoxLog::~MessageBoxLog() = default;

std::shared_ptr<bool> AnswerSaveAs(const QString& path, int timeoutMs,
                                   const QString& screenshotPath) {
    return AnswerNext<QFileDialog>(
        [path, screenshotPath](QFileDialog* dialog) {
            const QFileInfo info(path);
            dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
            if (auto* edit = dialog->findChild<QLineEdit*>()) edit->setText(info.fileName());
            if (!screenshotPath.isEmpty()) Screenshot(dialog, screenshotPath);
            QMetaObject::invokeMethod(dialog, "accept");
        },
        timeoutMs);
}

std::shared_ptr<bool> CancelSaveAs(int timeoutMs) {
    return AnswerNext<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); }, timeoutMs);
}

void PressKey(QWidget* target, int key) {
    if (target == nullptr) return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

QString Screenshot(QWidget* widget, const QString& path) {
    if (widget == nullptr || path.isEmpty()) return {};
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) return {};
    const QPixmap picture = widget->grab();
    if (picture.isNull() || !picture.save(info.absoluteFilePath(), "PNG")) return {};
    return info.absoluteFilePath();
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
    return FindByClass(dialog_, "brevio::BRLPlayer");
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

bool DialogDriver::DragSeekBar(int from, int to) {
    QWidget* bar = FindByClass(Player(), "brevio::player::SeekBar");
    if (bar == nullptr || !bar->isEnabled()) return false;
    const int y = bar->height() / 2;
    const auto send = [bar, y](QEvent::Type type, int x, Qt::MouseButtons buttons) {
        const QPointF local(x, y);
        QMouseEvent event(type, local, bar->mapToGlobal(local), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    Pause(100);
    send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    Pause(100);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
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
    driver::PressKey(target, key);
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
    if (!WaitUntil([this] { return HasSelectionFrame(); }, timeoutMs)) return false;
    if (!ClickButton(1002)) return false;
    return WaitUntil([this] { return Button(1003) != nullptr && Button(1003)->isEnabled(); },
                     timeoutMs);
}

QString DialogDriver::Screenshot(const QString& path) const {
    return driver::Screenshot(dialog_, path);
}

bool DialogDriver::StripSettled() const {
    if (HasSelectionFrame()) return true;
    // A chapter strip has no list; it always selects once its thumbnails are made.
    const QComboBox* list = SelectionList();
    if (list == nullptr || !list->isVisible()) return false;
    return !list->isEnabled() || list->count() <= 1;
}

}  // namespace brevio::driver
