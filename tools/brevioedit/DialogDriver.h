#pragma once
// Drives an open editing dialog as a user would, through the widgets it shows: the player's
// play/pause button, the strip's thumbnails, the selected-seconds list, the command buttons and
// the Save-As dialog. It knows the dialog only by its public object tree: class names of the panes
// and the control ids carried as object names.
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QAbstractButton;
class QComboBox;
class QDialog;
class QWidget;

namespace brevioedit {

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns the condition.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);
// Runs the event loop for `ms` milliseconds.
void Pause(int ms);

// The widget of class `className` (as Qt names it, namespace included) among `root`'s descendants.
QWidget* FindByClass(QWidget* root, const char* className);
// The editing dialog when it is open and shown.
QDialog* FindEditDialog();

class DialogDriver {
public:
    explicit DialogDriver(QDialog* dialog);

    QDialog* Dialog() const { return dialog_; }
    QWidget* Strip() const;
    QWidget* Player() const;
    QAbstractButton* Button(int id) const;
    QComboBox* SelectionList() const;

    // The player's play/pause button.
    bool ClickPlayPause();
    // A left click on strip position `index` (0-based), where the view selects from.
    bool ClickScene(int index);
    // Chooses `scenes` (4 to 8) in the selected-seconds list, as picking it with the mouse does.
    bool ChooseSelectionLength(int scenes);
    // Clicks a command button (1002 to 1006) when it is enabled.
    bool ClickButton(int id);
    // Presses a key on `target`, by default the widget that has the focus (the dialog when nothing
    // has it).
    void PressKey(int key, QWidget* target = nullptr);

    // True when the strip shows a selection frame: its thumbnails are made and a run is selected.
    bool HasSelectionFrame() const;
    // True when the strip shows its selection frame, or when no selection can exist on it (four
    // scenes or fewer: the selected-seconds list is disabled or offers only 4). For waits after a
    // pause or an edit.
    bool StripSettled() const;
    // Waits for the selection frame (the strip ignores Cut scene while it makes thumbnails), then
    // presses Cut scene; true once Undo is enabled.
    bool CutSelection(int timeoutMs);

    // Arms an answer for the next Save-As dialog: the file name is typed and the dialog accepted.
    // The flag turns true when it was answered.
    // With a screenshot path, the filled-in Save-As dialog is saved there as PNG before it is
    // accepted.
    static std::shared_ptr<bool> AnswerSaveAs(const QString& path, int timeoutMs,
                                              const QString& screenshotPath = {});
    // Arms an answer for the next message box: presses OK (or Cancel when `ok` is false). The
    // string gets the box's text.
    static std::shared_ptr<QString> AnswerMessageBox(bool ok, int timeoutMs);

    // Writes the dialog's picture as PNG; the full path, or empty on failure.
    QString Screenshot(const QString& path) const;

private:
    QPointer<QDialog> dialog_;
};

}  // namespace brevioedit
