#pragma once
// Where a save worker reports to: the progress dialog in the editor, a console line in the
// command-line tool. Both operations are called on the save worker's thread and must return
// without waiting for any other thread (the UI thread may itself be waiting for the worker).

namespace brevio {

class ISaveProgress {
public:
    virtual ~ISaveProgress() = default;

    // The bar position, 0 to 100. Called only when the integer position changes.
    virtual void OnSaveProgress(int position) = 0;
    // The write is over: 1 written, 3 failed. Not called for a save the user cancelled.
    virtual void OnSaveEnded(int endCode) = 0;
};

// End codes of a save, as the progress dialog returns them.
inline constexpr int kSaveWritten = 1;
inline constexpr int kSaveCancelled = 2;
inline constexpr int kSaveFailed = 3;

}  // namespace brevio
