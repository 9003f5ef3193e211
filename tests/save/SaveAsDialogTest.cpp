// The Save-As dialog driven as a user drives it: folders entered by typing their path, names
// typed and confirmed, the refusal message answered.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "TestHarness.h"
#include "module/ModuleHelpers.h"
#include "platform/FileHelpers.h"
#include "save/CMovieSaveDlg.h"

namespace brevio {
namespace {

// Types `text` into the name field and confirms it as Enter would.
void TypeAndConfirm(CMovieSaveDlg* dialog, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(text);
    dialog->accept();
}

TEST(SaveAsDialog, KeepsSaveDisabledInRefusedFoldersAndTakesLongNamesWhole) {
    test::TempDir dir(QStringLiteral("saveas"));
    const QString base = QDir(dir.path()).canonicalPath();
    const QString hidden = base + QStringLiteral("/.cache");
    // A folder path well beyond 260 characters.
    QString deep = base;
    for (int i = 0; i < 8; ++i) deep += QStringLiteral("/folder-with-a-rather-long-name-%1").arg(i);
    ASSERT_TRUE(QDir().mkpath(hidden));
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_GT(deep.size(), 260);

    const QString filter = LoadString(137);
    const QString caption = QStringLiteral("Trip");
    CMovieSaveDlg dialog(nullptr, LoadString(129), &filter, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    dialog.SetFlags(dialog.GetFlags() & ~OFN_OVERWRITEPROMPT);
    dialog.SetDefaultExtension(LoadString(138));
    dialog.SetFileName(LoadString(139));
    dialog.SetMessageCaption(&caption);
    dialog.setDirectory(hidden);
    EXPECT_EQ(dialog.GetFlags(), 0x880024u);

    bool disabledAtStart = false, disabledAfterTyping = false, stayedOpen = false;
    bool enabledInGoodFolder = false;
    std::shared_ptr<test::MessageBoxRecord> refusal;
    auto answered = test::AnswerNextModal([&](QWidget* modal) {
        ASSERT_EQ(modal, &dialog);
        QPushButton* save = dialog.findChild<QPushButton*>(QStringLiteral("1"));
        ASSERT_NE(save, nullptr);
        disabledAtStart = !save->isEnabled();
        // QFileDialog enables its button on every edit; the hidden folder keeps it disabled.
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("x");
        disabledAfterTyping = !save->isEnabled();
        refusal = test::AnswerNextMessageBox(QMessageBox::Ok);
        dialog.accept();
        stayedOpen = dialog.isVisible();
        // Into the deep folder by its path, then a name without its extension.
        TypeAndConfirm(&dialog, deep);
        enabledInGoodFolder = save->isEnabled();
        TypeAndConfirm(&dialog, QStringLiteral("trip"));
    });
    EXPECT_EQ(dialog.DoModal(false), 1);
    ASSERT_TRUE(*answered);
    EXPECT_TRUE(disabledAtStart);
    EXPECT_TRUE(disabledAfterTyping);
    ASSERT_TRUE(refusal->seen);
    EXPECT_EQ(refusal->text, LoadString(136));
    EXPECT_EQ(refusal->title, caption);
    EXPECT_EQ(refusal->icon, QMessageBox::Warning);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(enabledInGoodFolder);
    EXPECT_EQ(dialog.GetFileName(), deep + QStringLiteral("/trip.mov"));
    EXPECT_EQ(dialog.windowTitle(), LoadString(129));
}

TEST(SaveAsDialog, EachDialogHearsItsOwnNotificationsAndSkipsTheSelectionAfterAFolderChange) {
    // Two dialogs, the second opened over the first: each one's notifications reach that one only,
    // also after the other is gone.
    CMovieSaveDlg first(nullptr, QStringLiteral("first"), nullptr, 0);
    int firstChecks = 0;
    first.SetDestinationRule([&](const QString&) {
        ++firstChecks;
        return true;
    });
    std::vector<int> seen;
    bool secondRan = false;
    auto answered = test::AnswerNextModal([&](QWidget* modal) {
        ASSERT_EQ(modal, &first);
        seen.push_back(firstChecks);  // the first folder is checked when the dialog opens
        emit first.directoryEntered(QDir::tempPath());
        seen.push_back(firstChecks);
        emit first.currentChanged(QDir::tempPath());  // skipped after the folder change
        seen.push_back(firstChecks);
        {
            CMovieSaveDlg second(&first, QStringLiteral("second"), nullptr, 0);
            int secondChecks = 0;
            second.SetDestinationRule([&](const QString&) {
                ++secondChecks;
                return true;
            });
            auto inner = test::AnswerNextModal([&](QWidget* innerModal) {
                ASSERT_EQ(innerModal, &second);
                emit second.directoryEntered(QDir::tempPath());
                emit second.currentChanged(QDir::tempPath());
                emit second.currentChanged(QDir::tempPath());
                second.reject();
            });
            EXPECT_EQ(second.DoModal(false), 2);
            secondRan = *inner;
            EXPECT_EQ(secondChecks, 3);
        }
        seen.push_back(firstChecks);
        emit first.currentChanged(QDir::tempPath());
        seen.push_back(firstChecks);
        first.reject();
    });
    EXPECT_EQ(first.DoModal(false), 2);
    ASSERT_TRUE(*answered);
    EXPECT_TRUE(secondRan);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 2, 2, 3}));
}

TEST(SaveAsDialog, AddsMovUnlessTheNameEndsWithItAndOpensNearTheSource) {
    test::TempDir dir(QStringLiteral("saveas-names"));
    const QString base = QDir(dir.path()).canonicalPath();
    const QString caption = QStringLiteral("Trip");
    const std::pair<QString, QString> names[] = {
        {QStringLiteral("Trip 2024.06.01"), QStringLiteral("Trip 2024.06.01.mov")},
        {QStringLiteral("a.b"), QStringLiteral("a.b.mov")},
        {QStringLiteral("loud.MOV"), QStringLiteral("loud.MOV")},
        {QStringLiteral("clip.mov"), QStringLiteral("clip.mov")},
    };
    for (const auto& name : names) {
        const QString& typed = name.first;
        const QString& chosen = name.second;
        CMovieSaveDlg dialog(nullptr, LoadString(129), nullptr, 0);
        dialog.SetDefaultExtension(LoadString(138));
        dialog.SetMessageCaption(&caption);
        dialog.SetDestinationRule([](const QString&) { return true; });
        dialog.setDirectory(base);
        auto answered = test::AnswerNextModal([&](QWidget*) { TypeAndConfirm(&dialog, typed); });
        EXPECT_EQ(dialog.DoModal(false), 1);
        EXPECT_EQ(dialog.GetFileName(), base + u'/' + chosen);
    }

    // The source's folder when it is allowed, else the Videos folder the user named, else home.
    const QString home = base + QStringLiteral("/home");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.config")));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Films")));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/refused")));
    QFile dirs(home + QStringLiteral("/.config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_VIDEOS_DIR=\"$HOME/Films\"\n");
    dirs.close();
    const QByteArray previousHome = qgetenv("HOME"), previousConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    CMovieSaveDlg dialog(nullptr, LoadString(129), nullptr, 0);
    dialog.SetDestinationRule([](const QString& path) { return !path.contains(u"refused"); });
    EXPECT_EQ(dialog.InitialFolder(base + QStringLiteral("/source.mov")), base);
    EXPECT_EQ(dialog.InitialFolder(base + QStringLiteral("/refused/source.mov")),
              home + QStringLiteral("/Films"));
    ASSERT_TRUE(QDir(home + QStringLiteral("/Films")).removeRecursively());
    EXPECT_EQ(dialog.InitialFolder(QString()), home);
    dialog.OpenNear(base + QStringLiteral("/source.mov"));
    EXPECT_EQ(dialog.directory().absolutePath(), base);
    qputenv("HOME", previousHome);
    qputenv("XDG_CONFIG_HOME", previousConfig);

    // A link at the chosen name is an existing name, even when it leads nowhere.
    ASSERT_TRUE(QFile::link(base + QStringLiteral("/nowhere"), base + QStringLiteral("/link.mov")));
    EXPECT_TRUE(NameExists(base + QStringLiteral("/link.mov")));
    EXPECT_FALSE(PathExists(base + QStringLiteral("/link.mov")));
}

}  // namespace
}  // namespace brevio
