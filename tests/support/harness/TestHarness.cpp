#include "TestHarness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPixmap>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWidget>

namespace brevio::test {

namespace {

constexpr int kPollMs = 10;

QString TestTmpRoot() {
    QString root = qEnvironmentVariable("BREVIO_TEST_TMP");
    if (root.isEmpty()) root = QDir::tempPath() + QStringLiteral("/brevio-test");
    return root;
}

// Polls until `step` returns true or the time is up; the timer deletes itself.
void Poll(int timeoutMs, std::function<bool()> step) {
    auto* timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, elapsed, timeoutMs, step] {
        if (step() || elapsed->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(kPollMs);
}

}  // namespace

std::shared_ptr<MessageBoxRecord> AnswerNextMessageBox(QMessageBox::StandardButton button,
                                                       int timeoutMs) {
    auto record = std::make_shared<MessageBoxRecord>();
    std::weak_ptr<MessageBoxRecord> weak = record;
    Poll(timeoutMs, [weak, button] {
        const std::shared_ptr<MessageBoxRecord> record = weak.lock();
        if (!record) return true;  // the caller no longer waits for it
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return false;
        record->seen = true;
        record->title = box->windowTitle();
        record->text = box->text();
        record->icon = box->icon();
        record->buttons = box->standardButtons();
        record->parent = box->parentWidget();
        if (QAbstractButton* target = box->button(button)) {
            target->click();
        } else {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &escape);
        }
        return true;
    });
    return record;
}

std::shared_ptr<bool> AnswerNextModal(std::function<void(QWidget*)> answer, int timeoutMs) {
    auto done = std::make_shared<bool>(false);
    std::weak_ptr<bool> weak = done;
    Poll(timeoutMs, [weak, answer = std::move(answer)] {
        const std::shared_ptr<bool> done = weak.lock();
        if (!done) return true;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || qobject_cast<QMessageBox*>(modal)) {
            return false;
        }
        *done = true;
        answer(modal);
        return true;
    });
    return done;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
        QThread::msleep(1);
    }
    return true;
}

QString SaveScreenshot(QWidget* widget, const QString& name, const QString& dir) {
    if (widget == nullptr || name.isEmpty()) return {};
    const QString folder = dir.isEmpty() ? TestTmpRoot() + QStringLiteral("/screenshots") : dir;
    if (!QDir().mkpath(folder)) return {};
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    const QPixmap pixmap = widget->grab();
    if (pixmap.isNull() || !pixmap.save(path, "PNG")) return {};
    return path;
}

TempDir::TempDir(const QString& hint) {
    const QString unique = QUuid::createUuid().toString(QUuid::WithoutBraces).left(13);
    path_ = TestTmpRoot() + u'/' + hint + u'-' +
            QString::number(QCoreApplication::applicationPid()) + u'-' + unique;
    QDir().mkpath(path_);
}

TempDir::~TempDir() {
    if (!path_.isEmpty()) QDir(path_).removeRecursively();
}

}  // namespace brevio::test
