#pragma once
// Helpers for widget tests: answering modal message boxes, waiting for conditions while events
// run, screenshots, and per-test temporary folders.
#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace brevio::test {

// What the answered message box showed.
struct MessageBoxRecord {
    bool seen = false;  // a box was found and answered
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;  // compare only; the widget may be gone
};

// Arms a timer that waits for the next modal QMessageBox (QApplication::activeModalWidget) and
// presses `button` on it, or closes it with Escape when the box lacks that button. The record is
// filled when the box is answered. Gives up after `timeoutMs` (record.seen stays false), or as
// soon as the caller drops the record, so an unanswered request never leaks into a later test.
// Call it before the code that shows the box; the box's own event loop runs the timer.
std::shared_ptr<MessageBoxRecord> AnswerNextMessageBox(QMessageBox::StandardButton button,
                                                       int timeoutMs = 10000);

// Arms a timer that calls `answer` with the next active modal widget that is not a QMessageBox
// box already being answered (for the system's own modal dialogs). Gives up after `timeoutMs`.
// The returned flag turns true when `answer` was called; dropping it cancels the request.
std::shared_ptr<bool> AnswerNextModal(std::function<void(QWidget*)> answer, int timeoutMs = 10000);

// Runs the event loop until `condition` is true or `timeoutMs` passes; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Writes `widget->grab()` as `<name>.png` into `dir`, by default $BREVIO_TEST_TMP/screenshots
// (or the system temporary folder when that is unset). Returns the file path, empty on failure.
QString SaveScreenshot(QWidget* widget, const QString& name, const QString& dir = {});

// A new empty folder for one test under $BREVIO_TEST_TMP (or the system temporary folder), unique
// across parallel test processes; removed with its contents when the object is destroyed.
class TempDir {
public:
    explicit TempDir(const QString& hint = QStringLiteral("test"));
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const QString& path() const { return path_; }  // without a trailing '/'
    QString file(const QString& name) const { return path_ + u'/' + name; }

private:
    QString path_;
};

}  // namespace brevio::test
