#include "DemoScript.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "DialogDriver.h"

namespace brevioedit {

using namespace brevio::driver;

namespace {

constexpr int kStepTimeoutMs = 30000;
constexpr int kUndo = 1003;
constexpr int kRedo = 1004;
constexpr int kSave = 1005;
constexpr int kCancel = 1006;

}  // namespace

DemoScript::DemoScript(QString folder) : folder_(std::move(folder)) {}

QString DemoScript::SavedMoviePath() const {
    return QDir(folder_).absoluteFilePath(QStringLiteral("edited.mov"));
}

void DemoScript::Run() {
    if (!WaitUntil([] { return FindEditDialog() != nullptr; }, kStepTimeoutMs)) {
        Fail(QStringLiteral("the editing dialog did not open"));
        return;
    }
    DialogDriver driver(FindEditDialog());
    if (Steps(driver)) return;
    // Leave the dialog: Cancel, and confirm the loss of the edits when asked.
    auto answer = AnswerNextMessageBox(QMessageBox::Ok, 3000);
    driver.ClickButton(kCancel);  // the question comes from a posted close request
    WaitUntil([&] { return answer->seen || !driver.Dialog() || !driver.Dialog()->isVisible(); },
              3000);
}

bool DemoScript::Steps(DialogDriver& driver) {
    QFile::remove(SavedMoviePath());
    if (!WaitUntil([&] { return driver.HasSelectionFrame(); }, kStepTimeoutMs)) {
        return Fail(QStringLiteral("the strip showed no scenes"));
    }
    Shoot(driver, QStringLiteral("dialog-opened"));

    if (!driver.ClickPlayPause()) return Fail(QStringLiteral("play"));
    Pause(2500);
    if (!driver.ClickPlayPause()) return Fail(QStringLiteral("pause"));
    if (!WaitUntil([&] { return driver.HasSelectionFrame(); }, kStepTimeoutMs)) {
        return Fail(QStringLiteral("no scenes after the pause"));
    }
    Shoot(driver, QStringLiteral("dialog-paused"));

    // A movie of chapters has no selected-seconds list: a selection is one chapter.
    const bool chapters = driver.SelectionList() == nullptr || !driver.SelectionList()->isVisible();
    if (!chapters && !driver.ChooseSelectionLength(4)) {
        return Fail(QStringLiteral("choose four scenes"));
    }
    if (!driver.ClickScene(5)) return Fail(QStringLiteral("click a scene"));
    if (!WaitUntil([&] { return driver.HasSelectionFrame(); }, kStepTimeoutMs)) {
        return Fail(QStringLiteral("select four scenes"));
    }
    Shoot(driver, QStringLiteral("dialog-selected"));

    if (!driver.CutSelection(kStepTimeoutMs)) return Fail(QStringLiteral("cut"));
    WaitUntil([&] { return driver.StripSettled(); }, kStepTimeoutMs);
    Shoot(driver, QStringLiteral("dialog-cut"));

    if (!driver.ClickButton(kUndo) ||
        !WaitUntil([&] { return driver.Button(kRedo)->isEnabled(); }, kStepTimeoutMs)) {
        return Fail(QStringLiteral("undo"));
    }
    WaitUntil([&] { return driver.StripSettled(); }, kStepTimeoutMs);
    Shoot(driver, QStringLiteral("dialog-undone"));

    if (!driver.ClickButton(kRedo) ||
        !WaitUntil([&] { return !driver.Button(kRedo)->isEnabled(); }, kStepTimeoutMs)) {
        return Fail(QStringLiteral("redo"));
    }
    WaitUntil([&] { return driver.StripSettled(); }, kStepTimeoutMs);
    Shoot(driver, QStringLiteral("dialog-redone"));

    // Save runs the Save-As dialog and the save in nested loops; the dialog then ends itself.
    const QString saveAsShot = QDir(folder_).absoluteFilePath(QStringLiteral("save-as.png"));
    auto answered = AnswerSaveAs(SavedMoviePath(), kStepTimeoutMs, saveAsShot);
    if (!driver.ClickButton(kSave)) return Fail(QStringLiteral("save"));
    if (!*answered) return Fail(QStringLiteral("the Save-As dialog did not open"));
    if (QFileInfo::exists(saveAsShot)) screenshots_ += saveAsShot;
    return true;
}

bool DemoScript::Fail(const QString& step) {
    if (failure_.isEmpty()) failure_ = step;
    return false;
}

void DemoScript::Shoot(DialogDriver& driver, const QString& name) {
    Pause(400);  // the player's picture of a seek arrives from its worker
    const QString path =
        driver.Screenshot(QDir(folder_).absoluteFilePath(name + QStringLiteral(".png")));
    if (!path.isEmpty()) screenshots_ += path;
}

}  // namespace brevioedit
