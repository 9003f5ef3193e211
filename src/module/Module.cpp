#include "Module.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace brevio {

Module& Module::Instance() {
    static Module module;
    return module;
}

Module::~Module() {
    // At process exit the application may be gone already; a widget cannot be destroyed then,
    // and the process is ending anyway.
    if (saveProgressDialog_ && QCoreApplication::instance() == nullptr) {
        (void)saveProgressDialog_.release();
    }
}

void Module::AddComponentRegistrar(Registrar registrar) {
    if (registrar == nullptr) return;
    std::lock_guard lock(mutex_);
    const bool known =
        std::any_of(registrars_.begin(), registrars_.end(),
                    [&](const RegistrarEntry& e) { return e.function == registrar; });
    if (!known) registrars_.push_back({registrar, false});
}

void Module::RegisterBuiltInComponents() {
    std::vector<Registrar> pending;
    {
        std::lock_guard lock(mutex_);
        for (RegistrarEntry& entry : registrars_) {
            if (entry.called) continue;
            entry.called = true;
            pending.push_back(entry.function);
        }
    }
    // Called outside the lock: a registrar may add further registrars.
    for (Registrar registrar : pending) registrar();
}

void Module::SetSaveProgressDialogFactory(UiObjectFactory factory) {
    std::unique_ptr<QObject> old;
    {
        std::lock_guard lock(mutex_);
        saveProgressFactory_ = std::move(factory);
        old = std::move(saveProgressDialog_);
    }
}

QObject* Module::SaveProgressDialog() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) return nullptr;
    if (saveProgressDialog_) return saveProgressDialog_.get();
    UiObjectFactory factory;
    {
        std::lock_guard lock(mutex_);
        factory = saveProgressFactory_;
    }
    if (!factory) return nullptr;
    std::unique_ptr<QObject> dialog = factory();
    if (!dialog) return nullptr;
    saveProgressDialog_ = std::move(dialog);
    if (!releaseHooked_) {
        // Post routines run at the start of the application's destructor, while widgets still
        // work; the list is emptied as it runs, so hook again for a later application.
        qAddPostRoutine(&Module::ReleaseUiObjectsAtExit);
        releaseHooked_ = true;
    }
    return saveProgressDialog_.get();
}

void Module::ReleaseUiObjects() {
    saveProgressDialog_.reset();
}

void Module::ReleaseUiObjectsAtExit() {
    Module& module = Instance();
    module.releaseHooked_ = false;
    module.ReleaseUiObjects();
}

}  // namespace brevio
