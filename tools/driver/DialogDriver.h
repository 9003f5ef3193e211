#pragma once
// Drives widgets as a user would: waits while the event loop runs, answers the modal boxes and
// dialogs that show up, and works an open editing dialog through the widgets it shows (the
// player's play/pause button and seek bar, the strip's thumbnails, the selected-seconds list, the
// command buttons). It knows the dialog only by its public object tree: class names of the panes
// and the control ids carried as object names. Used by `brevioedit --demo`, the benches and the
// tests alike.
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <type_traits>

class QAbstractButton;
class QComboBox;
class QDialog;
class QTimer;
class QWidget;

namespace brevio::driver {

constexpr int kAnswerTimeoutMs = 10000;

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
// Runs the event loop for `ms` milliseconds.
void Pause(int ms);

// Arms a poll (every 10 ms) that looks at the visible active modal widget and, the first time
// `accepts` takes one, calls `answer` with it. Gives up after `timeoutMs`, or as soon as the
// caller drops `request`, so an unanswered request never leaks into a later one. Arm it before
// the code that shows the modal: the modal's own event loop runs the poll.
void ArmAnswer(std::weak_ptr<void> request, std::function<bool(QWidget*)> accepts,
               std::function<void(QWidget*)> answer, int timeoutMs);

// Calls `answer` with the next modal widget of class `Modal` (never a message box, unless `Modal`
// is one). The flag turns true when it was answered; dropping it cancels the request.
template <class Modal>
std::shared_ptr<bool> AnswerNext(std::function<void(Modal*)> answer,
                                 int timeoutMs = kAnswerTimeoutMs) {
    auto done = std::make_shared<bool>(false);
    ArmAnswer(
        done,
        [](QWidget* modal) {
            if (qobject_cast<Modal*>(modal) == nullptr) return false;
            return std::is_base_of_v<QMessageBox, Modal> ||
                   qobject_cast<QMessageBox*>(modal) == nullptr;
        },
        [weak = std::weak_ptr<bool>(done), answer = std::move(answer)](QWidget* modal) {
            if (const std::shared_ptr<bool> done = weak.lock()) *done = true;
            answer(qobject_cast<Modal*>(modal));
        },
        timeoutMs);
    return done;
}

// The next modal widget that is not a message box (the system's own modal dialogs).
inline std::shared_ptr<bool> AnswerNextModal(std::function<void(QWidget*)> answer,
                                             int timeoutMs = kAnswerTimeoutMs) {
    return AnswerNext<QWidget>(std::move(answer), timeoutMs);
}

// What an answered message box showed.
struct MessageBoxRecord {
    bool seen = false;  // a box was found and answered
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;  // compare only; the widget may be gone
};

// Presses `button` on the next message box, or closes it with Escape when the box lacks that
// button. The record is filled when the box is answered; dropping it cancels the request.
std::shared_ptr<MessageBoxRecord> AnswerNextMessageBox(QMessageBox::StandardButton button,
                                                       int timeoutMs = kAnswerTimeoutMs);

// Presses OK on every message box that shows while it lives, and keeps their texts in order.
class MessageBoxLog {
public:
    MessageBoxLog();
    ~MessageBoxLog();
    MessageBoxLog(const MessageBoxLog&) = delete;
    MessageBoxLog& operator=(const MessageBoxLog&) = delete;

    QStringList texts;

private:
    std::unique_ptr<QTimer> timer_;
    QPointer<QMessageBox> answered_;
};

// Answers the next Save-As dialog: the file name is typed and the dialog accepted. With a
// screenshot path, the filled-in dialog is saved there as PNG first. The flag turns true when it
// was answered.
std::shared_ptr<bool> AnswerSaveAs(const QString& path, int timeoutMs = kAnswerTimeoutMs,
                                   const QString& screenshotPath = {});
// Cancels the next Save-As dialog; the flag turns true when it did.
std::shared_ptr<bool> CancelSaveAs(int timeoutMs = kAnswerTimeoutMs);

// Presses and releases `key` on `target`.
void PressKey(QWidget* target, int key);

// Writes `widget`'s picture as PNG to `path`, making its folder; the full path, or empty on
// failure.
QString Screenshot(QWidget* widget, const QString& path);

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
    // Presses the player's seek bar at x = `from`, drags it to `to` and lets go.
    bool DragSeekBar(int from, int to);
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

    // Writes the dialog's picture as PNG; the full path, or empty on failure.
    QString Screenshot(const QString& path) const;

private:
    QPointer<QDialog> dialog_;
};

}  // namespace brevio::driver
