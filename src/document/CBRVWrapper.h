#pragma once
// The edit document: the opened movie file and the engine's movie, the linear history of editing
// states with its cursor, times in ticks, and the writing of the reference movie and of the final
// movie. The final movie is written by the document's own worker thread (Run), which reports to
// an ISaveProgress: the view's progress dialog, or the command-line tool's console line.
//
// Threads: everything runs on the UI thread except Run and the progress callback. Before any
// operation that changes or writes the movie, and before closing or destruction, the document
// waits for a save worker that is still running (one left behind by a cancelled save).
#include <QFile>
#include <QString>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "interfaces/IBRVModuleWrapperNotify.h"
#include "platform/CThreadBase.h"
#include "platform/HResult.h"

namespace brevio::engine {
class CBrevioMovie;
class CVarnoMovFile;
}  // namespace brevio::engine

namespace brevio {

class ISaveProgress;

class CBRVWrapper : public CThreadBase {
public:
    // Values of the continue flag: below 1 means the user cancelled.
    static constexpr int32_t kCancelled = 0;
    static constexpr int32_t kContinue = 1;
    // Set at the save's commit point, just before the movie is named: a cancel no longer counts.
    static constexpr int32_t kCommitted = 2;

    CBRVWrapper();
    ~CBRVWrapper() override;

    // --- Opening and the scene table ---
    // 0 success; 3 not a Brevio movie, 4 too short or fewer than 2 chapters, 5 unreadable or
    // invalid, 7 out of memory. A null path closes the document and returns 0. A failure leaves
    // an earlier movie open.
    int32_t Open(const QString& path);
    // The same with the path's bytes as they are, for names that are not in the locale's
    // encoding.
    int32_t Open(const std::filesystem::path& path);
    int32_t Close();
    // Why the last Open failed, in the engine's words (empty after a success), for messages.
    const std::string& GetOpenError() const { return openError_; }
    bool IsOpen() const { return movie_ != nullptr; }

    unsigned GetUnitCount() const;
    int64_t GetUnitDuration() const { return unitDuration_; }
    HRESULT GetUnitStartTime(unsigned index, int64_t* ticks) const;
    HRESULT GetTotalTime(int64_t* ticks) const;
    // The unit at a time, assuming every unit is as long as the first; fails (E_FAIL) for a time
    // above the total and when the unit length is not above zero.
    HRESULT GetUnitIndexAtTime(int64_t ticks, unsigned* index) const;
    bool IsEdited() const;
    HRESULT SetNotifySink(IBRVModuleWrapperNotify* sink);
    // The caption of the document's message boxes: the text, or ids::kCaption for null.
    void SetMessageCaption(const QString* caption);
    QString GetMessageCaption() const { return messageCaption_; }

    // --- History ---
    void RecordEditingState();
    HRESULT ReadEditingState(std::vector<unsigned>& state) const;
    // Removes the given units (ascending indexes), the last one first. All or nothing: when one
    // of them cannot go (the last remaining unit never can), the document is left as it was.
    HRESULT CutUnits(std::vector<unsigned> units);
    // The history with its cursor as an edit found it; RestoreHistory puts the document back
    // there when the edit cannot be completed.
    struct HistoryMark {
        std::vector<std::vector<unsigned>> states;
        size_t cursor = 0;
    };
    HistoryMark MarkHistory() const { return HistoryMark{history_, cursor_}; }
    HRESULT RestoreHistory(HistoryMark mark);
    HRESULT Undo();
    HRESULT Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    size_t GetHistorySize() const { return history_.size(); }
    size_t GetHistoryCursor() const { return cursor_; }

    // --- Writing ---
    // The reference movie of the current state at `path` (replacing a file there).
    HRESULT CreateReferenceMovie(const QString& path);
    // The same as `name` in the folder open as `folder`, relative to that descriptor; the written
    // file stays open and locked as *lockedFd (the caller closes it). Why a write failed, in the
    // system's words when a system call failed: LastReferenceReason.
    HRESULT CreateReferenceMovie(int folder, const std::string& name, int* lockedFd);
    QString LastReferenceReason() const { return referenceReason_; }
    // A save run by a front end that starts this thread itself (the progress dialog): prepares
    // the worker to write `path` and report to `progress`, after waiting for an earlier worker.
    void PrepareSave(const QString& path, ISaveProgress& progress);
    // Settles that save once the front end has ended with `endCode` (1 written, 3 failed, anything
    // else a cancel by the user). A cancel before the commit point is recorded and returns 2 at
    // once: the worker stops at its next progress report leaving nothing, and nobody waits for
    // it. Otherwise (the movie was already being named) waits for the worker and returns its end
    // code: 1 written, 2 cancelled, 3 failed, 0 when it never ran.
    int SettleSave(int endCode);
    // The same save without a dialog: runs the worker, reports to `progress` and waits for the
    // end. For the command-line tool.
    HRESULT SaveWithProgress(const QString& path, ISaveProgress& progress);
    HRESULT SaveWithProgress(const std::filesystem::path& path, ISaveProgress& progress);
    // Records the user's cancel of the running save. False once the save passed its commit point
    // (the save then counts as written, or fails only for a reason after the naming).
    bool CancelSave();
    // End code of the last save the worker finished: 1 written, 2 cancelled, 3 failed; 0 before.
    int LastSaveResult() const { return saveResult_.load(); }
    // The engine's result of the last final write (-1 when it threw or never ran), for messages.
    int32_t LastWriteResult() const { return writeResult_.load(); }
    // Why the last final write failed, once the worker has ended: the system's error number (0
    // when it was no system call's failure), a text in the user's language (the system's text
    // for the number, else no output name, the source changed or ended early, or the movie
    // cannot be written), and the engine's message for logs.
    int LastWriteSystemError() const { return writeSystemError_; }
    QString LastWriteReason() const;
    const std::string& LastWriteError() const { return writeError_; }
    QString GetDestinationPath() const {
        return QFile::decodeName(QByteArray::fromStdString(destination_.string()));
    }

    // The position for a progress fraction: fraction × 100 truncated, kept within 0..100.
    static int ProgressPosition(double fraction);
    static engine::EBrevioMovFileEditorProgressCallbackResult SaveProgressCallback(
        engine::EBrevioMovFileEditorProgressCallbackMessage message, double fraction, void* user);

    // The engine objects, for readers that need more than the document offers (null while closed).
    const engine::CVarnoMovFile* GetFile() const { return file_.get(); }
    const engine::CBrevioMovie* GetMovie() const { return movie_.get(); }

protected:
    // The save worker: writes the final movie to the destination.
    uint32_t Run() override;

private:
    int RunSave();
    void WaitForSave() { Join(); }
    void PrepareSave(const std::filesystem::path& path, ISaveProgress* progress);

    std::vector<std::vector<unsigned>> history_;
    size_t cursor_ = 0;
    std::unique_ptr<engine::CVarnoMovFile> file_;
    std::unique_ptr<engine::CBrevioMovie> movie_;  // refers to file_: released first
    int64_t unitDuration_ = 0;
    std::filesystem::path destination_;  // the chosen path's bytes, as the worker uses them
    std::atomic<IBRVModuleWrapperNotify*> notify_{nullptr};
    std::atomic<int32_t> continueFlag_{kContinue};
    QString messageCaption_;

    // The save in progress (set before the worker starts, read by the worker only).
    ISaveProgress* progress_ = nullptr;
    int lastPosition_ = -1;
    std::atomic<int> saveResult_{0};
    std::atomic<int32_t> writeResult_{-1};
    // Written by the worker before it ends, read after Join.
    int writeSystemError_ = 0;
    std::string writeError_;
    std::string openError_;
    QString referenceReason_;
};

}  // namespace brevio
