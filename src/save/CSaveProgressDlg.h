#pragma once
// The modal dialog shown while a movie is saved: the file name, a progress bar from 0 to 100 and a
// Cancel button, on the window framework (DialogBase). Its WM_INITDIALOG starts the worker
// thread; the worker reports progress and ends the dialog from its own thread through posted
// messages, never waiting for the UI thread. Messages posted during one run never reach a later
// one (each run is a new window).
//
// The module has one instance (Instance()), shared by every save.
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "interfaces/ISaveProgress.h"
#include "platform/CThreadBase.h"
#include "platform/HResult.h"
#include "platform/WindowHandle.h"
#include "window/DialogBase.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace brevio {

class CBRVWrapper;

class CSaveProgressDlg : public DialogBase, public ISaveProgress {
    Q_OBJECT

public:
    // Control identifiers; each item's object name is "item<id>".
    static constexpr int kProgressBarId = 1001;
    static constexpr int kCancelId = 2;
    static constexpr int kMessageId = 1005;
    static constexpr int kFileNameId = 1004;
    // Posted to the dialog by the worker: the bar position, and the end of the dialog.
    static constexpr uint32_t kMsgSetPos = 0x0402;     // PBM_SETPOS
    static constexpr uint32_t kMsgEndDialog = 0x8020;  // private

    // The module's one dialog, made on first use. Null without a QApplication or when called off
    // the application's thread.
    static CSaveProgressDlg* Instance();
    // Makes the module build its dialog as a CSaveProgressDlg (Instance() does this by itself;
    // a test calls it again after installing a factory of its own).
    static void RegisterWithModule();

    explicit CSaveProgressDlg(QWidget* parent = nullptr);
    ~CSaveProgressDlg() override;

    // E_POINTER for a null path (the earlier path stays), else S_OK.
    HRESULT SetPath(const QString& path);
    QString GetPath() const { return path_; }
    // The thread started when the dialog opens; not owned. Null: none.
    void SetWorker(CThreadBase* worker) { worker_ = worker; }
    CThreadBase* GetWorker() const { return worker_; }
    // The title: the text, or ids::kCaption for null.
    void SetCaption(const QString* text);
    QString GetCaption() const { return caption_; }

    // Runs the dialog modally over `owner` (may be null) and returns the end code: 1 written,
    // 2 cancelled, 3 failed (also when the worker cannot start); -1 when the dialog is already
    // running; 0 when the owner was destroyed during the run.
    int DoModal(QWidget* owner);

    // Safe from any thread; do nothing unless the dialog is running.
    void SetProgress(int position);
    void EndDialog(int endCode);
    bool IsWindow() const;

    void OnSaveProgress(int position) override { SetProgress(position); }
    void OnSaveEnded(int endCode) override { EndDialog(endCode); }

    // A command by control identifier (WM_COMMAND): 1 ends the dialog with 1, 2 with 2; others
    // are ignored.
    void OnCommand(int id);

    QProgressBar* ProgressBar() const { return progress_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* MessageLine() const { return message_; }
    QLabel* FileNameLine() const { return fileName_; }

private:
    void BuildItems();
    void InitDialog();
    void SetWorkerHandle(const WindowHandle& handle);

    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* fileName_ = nullptr;

    CThreadBase* worker_ = nullptr;
    QString caption_;
    QString path_;

    // The window of the current run, for other threads (the framework's own handle member is
    // replaced by each run on the UI thread).
    mutable std::mutex handleMutex_;
    WindowHandle workerHandle_;
};

// Saves `document` to `path` behind `dialog`, modal over the active window: the dialog starts the
// document's worker and shows its progress. S_OK only when the movie was written; S_OK without
// writing while the document is closed; E_POINTER for a null path; E_FAIL without a dialog, while
// the dialog runs another save, when the write failed (message 157 with the document's caption
// and the system's reason) or when the user cancelled (returns at once; the worker removes what
// it wrote when the engine stops). The dialog keeps no worker afterwards.
HRESULT SaveBehindDialog(CBRVWrapper& document, const QString& path, CSaveProgressDlg* dialog);

}  // namespace brevio
