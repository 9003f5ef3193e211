// The editing call in hosts without a QApplication of their own, and in hosts it cannot serve.
// This program has no application object unless a test makes one.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <thread>

#include "DialogDriver.h"
#include "brevioedit/BREditDialog.h"
#include "testmovies/TestMovies.h"

namespace {

int g_argc = 1;
char g_name[] = "toolkit_tests";
char* g_argv[] = {g_name, nullptr};

// Set while a test wants every application the call makes to be driven: the call's own
// QApplication runs this when it is constructed, and the timer presses Cancel in the dialog.
bool g_cancelInOwnApplication = false;
int g_applicationsSeen = 0;
// What the dialog's own accessibility interfaces made of the seek bar, the strip and the
// selected-seconds list, one line per application.
QStringList g_accessible;

QString Accessible(brevio::driver::DialogDriver& driver) {
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(
        brevio::driver::FindByClass(driver.Player(), "brevio::player::SeekBar"));
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(driver.Strip());
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(driver.SelectionList());
    auto* label = driver.Dialog()->findChild<QLabel*>(QStringLiteral("0"));
    QStringList seen;
    if (bar != nullptr && bar->role() == QAccessible::Slider) seen << QStringLiteral("slider");
    if (strip != nullptr && strip->role() == QAccessible::List) seen << QStringLiteral("list");
    if (list != nullptr && label != nullptr && list->text(QAccessible::Name) == label->text())
        seen << QStringLiteral("labelled");
    return seen.join(u' ');
}

void DriveOwnApplication() {
    if (!g_cancelInOwnApplication) return;
    ++g_applicationsSeen;
    QTimer::singleShot(0, [] {
        if (!brevio::driver::WaitUntil([] { return brevio::driver::FindEditDialog() != nullptr; },
                                       30000)) {
            return;
        }
        brevio::driver::DialogDriver driver(brevio::driver::FindEditDialog());
        brevio::driver::WaitUntil([&] { return driver.Button(1006) != nullptr; }, 30000);
        g_accessible << Accessible(driver);
        driver.ClickButton(1006);
    });
}

std::u16string MoviePath() {
    brevio::testmovies::MovieOptions options;
    options.units = 6;
    return brevio::testmovies::MakeMovie(options).u16string();
}

// The call's result; `playerValue` gets what it handed back (-1 when nothing was written).
int32_t Edit(const std::u16string& movie, int32_t* playerValue = nullptr) {
    std::array<char16_t, 256> saved{};
    int32_t value = -1;
    const int32_t result =
        BREditDialog(movie.c_str(), nullptr, saved.data(), 256, 0, &value, 0, nullptr);
    if (playerValue != nullptr) *playerValue = value;
    return result;
}

TEST(ToolkitTest, CallsMakeTheirOwnApplicationEachTime) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    const std::u16string movie = MoviePath();
    qAddPreRoutine(&DriveOwnApplication);
    g_cancelInOwnApplication = true;
    EXPECT_EQ(Edit(movie), 1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(Edit(movie), 1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    g_cancelInOwnApplication = false;
    EXPECT_EQ(g_applicationsSeen, 2);
    // Each application, the second as well, gives them their own interfaces.
    EXPECT_EQ(g_accessible.join(u'|').toStdString(), "slider list labelled|slider list labelled");
}

TEST(ToolkitTest, HostsTheCallCannotServeGetFailureBeforeAnythingOpens) {
    const std::u16string movie = MoviePath();
    {
        QCoreApplication core(g_argc, g_argv);
        EXPECT_EQ(Edit(movie), 7);
    }
    {
        QGuiApplication gui(g_argc, g_argv);
        EXPECT_EQ(Edit(movie), 7);
    }
    {
        QApplication app(g_argc, g_argv);
        int32_t fromOtherThread = -1;
        int32_t value = -1;
        std::thread other([&] { fromOtherThread = Edit(movie, &value); });
        other.join();
        EXPECT_EQ(fromOtherThread, 7);
        EXPECT_EQ(value, 0);  // refused before anything opened: the initial value
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    }
    // No display server: Qt would abort the host while making the application.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DISPLAY", ":97");
    int32_t value = -1;
    EXPECT_EQ(Edit(movie, &value), 7);
    EXPECT_EQ(value, 0);
    qputenv("QT_QPA_PLATFORM", platform);
    qputenv("DISPLAY", display);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

}  // namespace
