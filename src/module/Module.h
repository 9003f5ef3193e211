#pragma once
// The home of the module-wide objects. They are constructed in this order and destroyed in the
// reverse order:
//   1. the component registrars (functions that add component factories to ComponentRegistry);
//   2. the one save progress dialog (made by a factory the save code registers; created on the
//      UI thread when first asked for, destroyed before the QApplication goes away);
//   3. CBRVDllModule.
#include <QObject>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "module/CBRVDllModule.h"

namespace brevio {

class Module {
public:
    using Registrar = void (*)();
    using UiObjectFactory = std::function<std::unique_ptr<QObject>()>;

    static Module& Instance();

    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    ~Module();

    CBRVDllModule& DllModule() { return dllModule_; }

    // Adds a component library's registration function (a function added twice is kept once).
    void AddComponentRegistrar(Registrar registrar);
    // Calls every registrar that has not been called yet, in the order they were added; each one
    // runs once per process, so a registration a test removed stays removed.
    void RegisterBuiltInComponents();

    // The factory of the save progress dialog. Replacing it destroys a dialog made by the old one.
    void SetSaveProgressDialogFactory(UiObjectFactory factory);
    // The one save progress dialog, made on first use. Null without a factory, without an
    // application, off the application's thread, or when the factory gives null.
    QObject* SaveProgressDialog();
    template <class T>
    T* SaveProgressDialogAs() {
        return dynamic_cast<T*>(SaveProgressDialog());
    }

    // Destroys the objects that belong to the UI (the save progress dialog). Runs by itself when
    // the QApplication is destroyed; call it earlier when the application ends otherwise.
    void ReleaseUiObjects();

private:
    Module() = default;
    static void ReleaseUiObjectsAtExit();

    std::mutex mutex_;  // guards the registrar list and the factory
    struct RegistrarEntry {
        Registrar function;
        bool called;
    };
    std::vector<RegistrarEntry> registrars_;
    UiObjectFactory saveProgressFactory_;
    std::unique_ptr<QObject> saveProgressDialog_;
    bool releaseHooked_ = false;
    CBRVDllModule dllModule_;
};

}  // namespace brevio
