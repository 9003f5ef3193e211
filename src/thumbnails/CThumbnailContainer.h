#pragma once
// The thumbnail pane: the child window across the bottom of the editing dialog that holds the
// strip (CThumbnailWnd), the selected-seconds label and list, and the five command buttons
// (Cut scene, Undo and Redo under the strip; Save and Cancel at the bottom right). It turns the
// buttons into operations on the view, reloads the preview with the reference movie after every
// edit, checks before every operation that the source movie has not changed on disk, and ends the
// dialog by posting WM_BRV_CLOSE_REQUEST to its parent.
//
// Controls carry their ids as object names: the list "1008", the buttons "1002" to "1006".
// The list's notifications map as: a user's choice (QComboBox::activated, also of the shown
// item) is CBN_SELCHANGE; the list opening is CBN_DROPDOWN and closing CBN_CLOSEUP; a list closed
// without a choice is CBN_SELENDCANCEL followed by CBN_CLOSEUP. Setting the shown item from code
// notifies nothing.
//
// UI thread only. The chapter kind (CThumbnailContainerChapter) overrides the creation,
// RefreshSelectionControls, MakeView and the playback notifications.
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>

#include "document/SourceFileWatch.h"
#include "interfaces/IBRVThumbnailContainer.h"
#include "platform/HResult.h"
#include "window/WindowBase.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace brevio {

class CThumbnailWnd;
class IBRVPreviewContainer;
class IBRVUIUpdater;

class CThumbnailContainer : public WindowBase, public IBRVThumbnailContainer {
    Q_OBJECT

public:
    static constexpr uint16_t kCutSceneId = 1002;
    static constexpr uint16_t kUndoId = 1003;
    static constexpr uint16_t kRedoId = 1004;
    static constexpr uint16_t kSaveMovieId = 1005;
    static constexpr uint16_t kCancelId = 1006;
    static constexpr uint16_t kSelectionListId = 1008;
    // The numbers the selected-seconds list offers at most, and the one it starts with.
    static constexpr int kFirstSelectionLength = 4;
    static constexpr int kLastSelectionLength = 8;
    // Geometry of the view in the pane.
    static constexpr int kViewLeft = 4;
    static constexpr int kViewTop = 36;
    static constexpr int kViewWidth = 690;
    // Height of the list including its dropped-down part.
    static constexpr int kListDroppedHeight = 200;

    explicit CThumbnailContainer(QWidget* parent = nullptr);
    ~CThumbnailContainer() override;

    // --- IBRVThumbnailContainer ---
    int32_t LoadMovie(const QString& path) override;
    void UnloadMovie() override;
    HRESULT OnPositionChanged(int64_t ticks) override;
    void OnPlaybackStarted() override;
    void OnPlayingPosition(int64_t ticks) override;

    // --- Used by the main dialog ---
    // Not owned; set before LoadMovie.
    void SetPreview(IBRVPreviewContainer* preview) { preview_ = preview; }
    // Not owned; set once the pane's window exists.
    void SetUIUpdater(IBRVUIUpdater* updater) { uiUpdater_ = updater; }
    // The caption of the pane's (and the view's) message boxes: the text, or ids::kCaption for
    // null.
    void SetMessageCaption(const QString* text);
    QString GetMessageCaption() const { return messageCaption_; }
    // Enables Undo, Redo and Save from the document's state.
    void UpdateButtons();
    // The destination of the last save: E_POINTER for null, E_FAIL while there is none.
    HRESULT GetSavedPath(QString* path) const;
    // Whether the movie has edits that are not saved (the dialog's close confirmation); false
    // before LoadMovie.
    bool IsEdited() const;
    // The start of the scene before (direction < 0) or after `position` in the edited movie, for
    // the seek bar's Page Up and Page Down; `position` itself when there is none.
    int64_t SceneStartBeside(int64_t position, int direction) const;

    // True once the source movie has changed on disk (reported once with ids::kSourceChanged and a
    // close request with 7); from then on every operation is refused.
    bool CheckSourceFileChanged();
    // Moves the preview to a position (kept within the movie) with notification.
    HRESULT SeekPreview(int64_t ticks);
    // Saves the edited movie to `path` through the view (unless the source has changed).
    HRESULT SaveToPath(const QString& path);
    // Fills the list with the numbers first to last; nothing for a negative or reversed range.
    void FillSelectionList(int first, int last);

    QComboBox* SelectionList() const { return selectionCombo_; }
    QLabel* SelectionLabel() const { return selectionLabel_; }
    QPushButton* CutButton() const { return cutButton_; }
    QPushButton* UndoButton() const { return undoButton_; }
    QPushButton* RedoButton() const { return redoButton_; }
    QPushButton* SaveMovieButton() const { return saveMovieButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }

signals:
    // Space in the strip: the player's Play/Pause is to be pressed.
    void PlayPauseKeyPressed();

protected:
    // WM_CREATE: the view's window, the list, the label and the buttons; a failure posts a close
    // request with 7. Returns 0.
    virtual LRESULT OnCreate();
    // Enables Cut scene and the list and fills the list from the strip's scene count.
    virtual void RefreshSelectionControls();
    // A new view object for LoadMovie (the chapter kind makes its own and hands it the preview).
    virtual std::unique_ptr<CThumbnailWnd> MakeView();

    HRESULT CreateButtons();
    void LayoutButtons(int width, int height);
    // A notification of the selected-seconds list (CBN_ codes).
    void OnSelectionListNotify(uint16_t code);
    // Posts WM_BRV_CLOSE_REQUEST with `code` to the parent window.
    void PostCloseRequest(uintptr_t code);
    bool ViewExists() const;
    void PaintContent(QPainter& painter) override;

    std::unique_ptr<CThumbnailWnd> view_;
    QComboBox* selectionCombo_ = nullptr;
    QPushButton* cutButton_ = nullptr;
    QPushButton* undoButton_ = nullptr;
    QPushButton* redoButton_ = nullptr;
    QPushButton* saveMovieButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    IBRVPreviewContainer* preview_ = nullptr;
    SourceFileWatch sourceWatch_;
    QLabel* selectionLabel_ = nullptr;
    IBRVUIUpdater* uiUpdater_ = nullptr;
    QString messageCaption_;
    bool revertSelectionPending_ = false;
    bool listDroppedDown_ = false;
    QString savePath_;

private:
    // The command handlers, with the arguments of WM_COMMAND, reached only through the message
    // map: a click, and WM_COMMAND sent to the pane (the dialog's keyboard activation and close
    // box). 0, except Save (1 when pausing the preview fails or the Save-As dialog is not
    // confirmed) and Cancel (1 when pausing fails).
    LRESULT OnCutScene(uint16_t code, uint16_t id, intptr_t control);
    LRESULT OnUndo(uint16_t code, uint16_t id, intptr_t control);
    LRESULT OnRedo(uint16_t code, uint16_t id, intptr_t control);
    LRESULT OnSaveMovie(uint16_t code, uint16_t id, intptr_t control);
    LRESULT OnCancel(uint16_t code, uint16_t id, intptr_t control);

    void RegisterMessages();
    void OnSize(int width, int height);
    // After Cut scene, Undo and Redo: the preview plays the reference movie from `start`.
    HRESULT ReloadPreview(int64_t start);
    // After every attempt of Cut scene, Undo or Redo (result `edit`): a failed edit rebuilds the
    // strip at `before`, the selection's start when the command began; the buttons are refreshed.
    void FinishEdit(HRESULT edit, int64_t before);
    LRESULT UndoOrRedo(HRESULT (CThumbnailWnd::*edit)(), bool showRestored);

    // Set while Cut scene, Undo, Redo or Save runs, with the message boxes they show: a command
    // that arrives meanwhile (a second Delete handled inside such a box) is refused.
    class EditScope {
    public:
        explicit EditScope(bool& flag) : flag_(flag) { flag_ = true; }
        ~EditScope() { flag_ = false; }
        EditScope(const EditScope&) = delete;
        EditScope& operator=(const EditScope&) = delete;

    private:
        bool& flag_;
    };
    bool editing_ = false;
    // Around Cut scene, Undo and Redo: when the edit button that had the focus is left disabled
    // (or lost the focus to the disabling), the strip gets the focus.
    class FocusGuard {
    public:
        explicit FocusGuard(CThumbnailContainer& pane);
        ~FocusGuard();
        FocusGuard(const FocusGuard&) = delete;
        FocusGuard& operator=(const FocusGuard&) = delete;

    private:
        CThumbnailContainer& pane_;
        QPointer<QWidget> focused_;
    };
    // The list closed: decides, once its choice (if any) has arrived, whether it was a cancel.
    void OnListClosed();

    bool choiceSinceDropDown_ = false;
};

}  // namespace brevio
