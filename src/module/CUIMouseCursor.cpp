#include "CUIMouseCursor.h"

#include <QGuiApplication>
#include <QThread>

namespace brevio {

namespace {

// The cursor stack belongs to the GUI application and its thread.
bool OnGuiThread() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

CUIMouseCursor::~CUIMouseCursor() {
    Restore();
}

bool CUIMouseCursor::Change(const QCursor& cursor) {
    if (!OnGuiThread()) return false;
    Restore();
    QGuiApplication::setOverrideCursor(cursor);
    restorePending_ = true;
    return true;
}

void CUIMouseCursor::Restore() {
    // Off the GUI thread nothing is touched; the restore stays pending for the owner's thread. The
    // application may also have gone since Change: its cursor stack went with it.
    if (!restorePending_) return;
    if (QCoreApplication::instance() == nullptr) {
        restorePending_ = false;
        return;
    }
    if (!OnGuiThread()) return;
    restorePending_ = false;
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace brevio
