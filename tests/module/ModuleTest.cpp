#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <thread>
#include <vector>

#include "module/Module.h"

namespace brevio {
namespace {

TEST(CBRVDllModule, LockCountFromManyThreads) {
    CBRVDllModule module;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&module] {
            for (int i = 0; i < 10000; ++i) {
                module.Lock();
                module.Unlock();
                module.Lock();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(module.GetLockCount(), 40000);
    EXPECT_EQ(module.Unlock(), 39999);
}

std::vector<int>& Calls() {
    static std::vector<int> calls;
    return calls;
}
void RegistrarA() {
    Calls().push_back(1);
}
void RegistrarB() {
    Calls().push_back(2);
}
void RegistrarC() {
    Calls().push_back(3);
}

TEST(Module, RegistrarsRunOnceInOrder) {
    Module& module = Module::Instance();
    Calls().clear();
    module.AddComponentRegistrar(&RegistrarB);
    module.AddComponentRegistrar(&RegistrarA);
    module.AddComponentRegistrar(&RegistrarB);
    module.AddComponentRegistrar(nullptr);
    module.RegisterBuiltInComponents();
    EXPECT_EQ(Calls(), (std::vector<int>{2, 1}));
    module.AddComponentRegistrar(&RegistrarC);
    module.RegisterBuiltInComponents();
    module.RegisterBuiltInComponents();
    EXPECT_EQ(Calls(), (std::vector<int>{2, 1, 3}));
}

TEST(Module, SaveProgressDialogIsMadeOnceOnTheUiThread) {
    Module& module = Module::Instance();
    module.SetSaveProgressDialogFactory({});
    EXPECT_EQ(module.SaveProgressDialog(), nullptr);

    int made = 0;
    module.SetSaveProgressDialogFactory([&made]() -> std::unique_ptr<QObject> {
        ++made;
        return std::make_unique<QWidget>();
    });
    QObject* fromWorker = reinterpret_cast<QObject*>(1);
    std::thread worker([&] { fromWorker = module.SaveProgressDialog(); });
    worker.join();
    EXPECT_EQ(fromWorker, nullptr);
    EXPECT_EQ(made, 0);

    QPointer<QObject> dialog = module.SaveProgressDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(module.SaveProgressDialogAs<QWidget>(), nullptr);
    EXPECT_EQ(module.SaveProgressDialog(), dialog.data());
    EXPECT_EQ(made, 1);

    module.ReleaseUiObjects();
    EXPECT_TRUE(dialog.isNull());
    dialog = module.SaveProgressDialog();
    EXPECT_EQ(made, 2);
    module.SetSaveProgressDialogFactory({});  // replacing the factory drops the old dialog
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(module.SaveProgressDialog(), nullptr);
}

TEST(Module, FactoryGivingNullIsNotCached) {
    Module& module = Module::Instance();
    int calls = 0;
    module.SetSaveProgressDialogFactory([&calls]() -> std::unique_ptr<QObject> {
        ++calls;
        return nullptr;
    });
    EXPECT_EQ(module.SaveProgressDialog(), nullptr);
    EXPECT_EQ(module.SaveProgressDialog(), nullptr);
    EXPECT_EQ(calls, 2);
    module.SetSaveProgressDialogFactory({});
}

}  // namespace
}  // namespace brevio
