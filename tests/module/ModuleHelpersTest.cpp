#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include "TestHarness.h"
#include "module/ModuleHelpers.h"
#include "platform/HResult.h"

namespace brevio {
namespace {

using test::AnswerNextMessageBox;

TEST(ShowMessage, NullCaptionShowsNothing) {
    auto record = AnswerNextMessageBox(QMessageBox::Ok, 300);
    EXPECT_EQ(ShowMessage(nullptr, 155, nullptr, MB_ICONEXCLAMATION), -1);
    EXPECT_EQ(ShowMessage(nullptr, 153, nullptr, MB_OKCANCEL | MB_ICONEXCLAMATION), -1);
    test::WaitUntil([] { return false; }, 400);  // give a wrongly shown box time to be found
    EXPECT_FALSE(record->seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ShowMessage, WarningWithOkOnly) {
    QWidget owner;
    const QString caption = QStringLiteral("Caption");
    auto record = AnswerNextMessageBox(QMessageBox::Ok);
    EXPECT_EQ(ShowMessage(&owner, 155, &caption, MB_ICONEXCLAMATION), IDOK);
    ASSERT_TRUE(record->seen);
    EXPECT_EQ(record->title, caption);
    EXPECT_EQ(record->text, LoadString(155));
    EXPECT_EQ(record->icon, QMessageBox::Warning);
    EXPECT_EQ(record->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(record->parent, &owner);
}

TEST(ShowMessage, OkCancelReturnsTheAnswer) {
    const QString caption = LoadString(128);
    auto cancel = AnswerNextMessageBox(QMessageBox::Cancel);
    EXPECT_EQ(ShowMessage(nullptr, 153, &caption, MB_OKCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
    ASSERT_TRUE(cancel->seen);
    EXPECT_EQ(cancel->buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(cancel->text, LoadString(153));

    auto ok = AnswerNextMessageBox(QMessageBox::Ok);
    EXPECT_EQ(ShowMessage(nullptr, 153, &caption, MB_OKCANCEL | MB_ICONEXCLAMATION), IDOK);
    EXPECT_TRUE(ok->seen);

    // Escape (the helper sends it when the box lacks the button) answers Cancel.
    auto escape = AnswerNextMessageBox(QMessageBox::Yes);
    EXPECT_EQ(ShowMessage(nullptr, 153, &caption, 0x31), IDCANCEL);
    EXPECT_TRUE(escape->seen);
}

TEST(ShowMessage, MissingStringStillShowsTheBox) {
    const QString caption = QStringLiteral("x");
    auto record = AnswerNextMessageBox(QMessageBox::Ok);
    EXPECT_EQ(ShowMessage(nullptr, 166, &caption, MB_OK), IDOK);
    ASSERT_TRUE(record->seen);
    EXPECT_TRUE(record->text.isEmpty());
    EXPECT_EQ(record->icon, QMessageBox::NoIcon);
}

TEST(SetWindowTextFromString, SetsWhatTheWindowShows) {
    QLabel label(QStringLiteral("old"));
    QPushButton button(QStringLiteral("old"));
    QWidget window;
    EXPECT_TRUE(SetWindowTextFromString(&label, 147));
    EXPECT_TRUE(SetWindowTextFromString(&button, 141));
    EXPECT_TRUE(SetWindowTextFromString(&window, 128));
    EXPECT_EQ(label.text(), LoadString(147));
    EXPECT_EQ(button.text(), LoadString(141));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Albumora EX"));
    EXPECT_TRUE(SetWindowTextFromString(&label, 166));
    EXPECT_TRUE(label.text().isEmpty());
    EXPECT_FALSE(SetWindowTextFromString(nullptr, 128));
}

// Sets TMPDIR for one test and puts the previous value back.
class TmpDirVariable {
public:
    TmpDirVariable() : had_(qEnvironmentVariableIsSet("TMPDIR")), old_(qgetenv("TMPDIR")) {}
    ~TmpDirVariable() {
        if (had_) {
            qputenv("TMPDIR", old_);
        } else {
            qunsetenv("TMPDIR");
        }
    }
    void Set(const QString& value) { qputenv("TMPDIR", value.toUtf8()); }
    void Unset() { qunsetenv("TMPDIR"); }

private:
    bool had_;
    QByteArray old_;
};

TEST(GetTempFolder, UsesTmpDirWithTrailingSlash) {
    TmpDirVariable env;
    env.Unset();
    EXPECT_EQ(GetTempFolder(), QStringLiteral("/tmp/"));
    env.Set(QString());
    EXPECT_EQ(GetTempFolder(), QStringLiteral("/tmp/"));
    env.Set(QStringLiteral("relative/dir"));
    EXPECT_EQ(GetTempFolder(), QStringLiteral("/tmp/"));
    env.Set(QStringLiteral("/var/tmp"));
    EXPECT_EQ(GetTempFolder(), QStringLiteral("/var/tmp/"));
    env.Set(QStringLiteral("/var/tmp/"));
    EXPECT_EQ(GetTempFolder(), QStringLiteral("/var/tmp/"));
}

TEST(GetTempFolder, TwoHundredFiftySixCharactersAtMost) {
    TmpDirVariable env;
    // Counted with the trailing '/', in UTF-16 units as the window texts count them.
    const QString base = u'/' + QString(254, u'a');  // 255 characters
    env.Set(base);
    EXPECT_EQ(GetTempFolder(), base + u'/');
    EXPECT_EQ(GetTempFolder().size(), 256);
    env.Set(base + u'/');
    EXPECT_EQ(GetTempFolder().size(), 256);
    env.Set(base + u'b');  // 257 with the slash
    EXPECT_TRUE(GetTempFolder().isEmpty());
    env.Set(base + QStringLiteral("b/"));
    EXPECT_TRUE(GetTempFolder().isEmpty());
    // Non-ASCII names count characters, not bytes.
    const QString wide = u'/' + QString(254, QChar(0x6587));
    env.Set(wide);
    EXPECT_EQ(GetTempFolder(), wide + u'/');
}

}  // namespace
}  // namespace brevio
