// The module's UI objects must be gone before the QApplication is: this program makes and destroys
// its own applications.
#include <gtest/gtest.h>
#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "module/Module.h"

namespace brevio {
namespace {

struct Observed {
    int destroyed = 0;
    bool applicationAliveThen = false;
};

class ObservedDialog : public QWidget {
public:
    explicit ObservedDialog(Observed* observed) : observed_(observed) {}
    ~ObservedDialog() override {
        ++observed_->destroyed;
        observed_->applicationAliveThen = QApplication::instance() != nullptr;
    }

private:
    Observed* observed_;
};

TEST(ModuleLifetime, SaveProgressDialogGoesBeforeEachApplication) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Observed observed;
    Module::Instance().SetSaveProgressDialogFactory(
        [&observed] { return std::make_unique<ObservedDialog>(&observed); });
    for (int round = 1; round <= 2; ++round) {
        int argc = 1;
        char name[] = "module_lifetime_tests";
        char* argv[] = {name, nullptr};
        {
            QApplication app(argc, argv);
            ASSERT_NE(Module::Instance().SaveProgressDialog(), nullptr);
            EXPECT_EQ(Module::Instance().SaveProgressDialog(),
                      Module::Instance().SaveProgressDialog());
        }
        EXPECT_EQ(observed.destroyed, round);
        EXPECT_TRUE(observed.applicationAliveThen);
        EXPECT_EQ(Module::Instance().SaveProgressDialog(), nullptr);  // no application now
    }
    Module::Instance().SetSaveProgressDialogFactory({});
}

}  // namespace
}  // namespace brevio
