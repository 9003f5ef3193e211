#include "TestHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QUuid>

namespace brevio::test {

namespace {

QString TestTmpRoot() {
    QString root = qEnvironmentVariable("BREVIO_TEST_TMP");
    if (root.isEmpty()) root = QDir::tempPath() + QStringLiteral("/brevio-test");
    return root;
}

}  // namespace

QString SaveScreenshot(QWidget* widget, const QString& name, const QString& dir) {
    if (name.isEmpty()) return {};
    const QString folder = dir.isEmpty() ? TestTmpRoot() + QStringLiteral("/screenshots") : dir;
    return driver::Screenshot(widget, folder + u'/' + name + QStringLiteral(".png"));
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
