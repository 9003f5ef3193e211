#pragma once
// Helpers for widget tests: per-test temporary folders and screenshots, and the dialog driver's
// waits and modal answers (answering message boxes and the system's modal dialogs, waiting for
// conditions while events run).
#include <QString>

#include "DialogDriver.h"

class QWidget;

namespace brevio::test {

using driver::AnswerNextMessageBox;
using driver::AnswerNextModal;
using driver::MessageBoxRecord;
using driver::WaitUntil;

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
