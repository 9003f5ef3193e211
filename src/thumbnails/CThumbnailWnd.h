#pragma once
// The strip of scene thumbnails of a Brevio movie without chapters: at most 16 consecutive scenes
// (shooting units) around a position, one 64 x 48 thumbnail per scene in one scrolling row, with a
// run of `selectionLength` scenes selected with the mouse. The view owns the edit document and the
// temporary reference movie: cut, undo and redo reach the document through it, and after every
// edit it rewrites the reference movie and rebuilds the strip. A worker thread makes the
// thumbnails; the document's save thread tells the view through OnMovieSaved.
//
// Geometry, in content coordinates: scene i's image at (68i + 4, 8), 64 x 48; its selection frame
// from x 68i + 3 to 68i + 69 (exclusive) and y 0 to 64; content 68n + 4 by 64.
//
// The strip takes the focus by Tab and by a click; while it has it, the style's focus frame
// surrounds the selected run, Left and Right move the run by one scene, Home and End to the
// movie's first and last scenes (bringing other scenes into the strip as ShowScenesAt does),
// Delete cuts and Space asks for play or pause. To accessibility it is a list with one item per
// scene shown (StripAccessible.cpp), told of every change of the scenes, the run and the focus.
//
// Threads: UI thread for everything except OnMovieSaved (save thread, posts only) and the worker
// body with StoreThumbnail (worker thread, swaps images under the items' locks).
#include <QString>
#include <cstdint>
#include <vector>

#include "document/CBRVWrapper.h"
#include "interfaces/IBRVModuleWrapperNotify.h"
#include "platform/HResult.h"
#include "platform/WindowHandle.h"
#include "preview/CCreateThumbnailThread.h"
#include "save/CRefMovFile.h"
#include "thumbnails/CScrollWindowImpl.h"
#include "thumbnails/CThumbnailCache.h"
#include "thumbnails/StripRules.h"

namespace brevio {

class CThumbnailWnd : public CScrollWindowImpl,
                      public CCreateThumbnailThread,
                      public IBRVModuleWrapperNotify {
    Q_OBJECT
public:
    static constexpr int kPitch = 68;       // pixels per scene
    static constexpr int kImageWidth = 64;  // thumbnail size
    static constexpr int kImageHeight = 48;
    static constexpr int kImageTop = 8;       // image top, also the top of the hit band
    static constexpr int kHitBottom = 56;     // last client row of the hit band
    static constexpr int kStripHeight = 64;   // content height
    static constexpr int kScrollMargin = 56;  // margin when a selection is scrolled into view
    static constexpr int kCacheLength = 16;   // thumbnails of one strip
    static constexpr int kUnitsBefore = 4;    // the strip starts this many units before
    static constexpr unsigned kDefaultSelectionLength = 8;
    static constexpr int kFewestToSelect = 4;  // a strip of this many scenes or fewer selects none
    static constexpr QRgb kBackground = 0xFFFFFFFF;       // RGB(255, 255, 255)
    static constexpr QRgb kSelectionFill = 0xFFB9D4FF;    // RGB(185, 212, 255)
    static constexpr QRgb kSelectionBorder = 0xFF3168C6;  // RGB(49, 104, 198)

    explicit CThumbnailWnd(QWidget* parent = nullptr);
    ~CThumbnailWnd() override;

    // --- Operations of both kinds of view ---
    // Selects the run at strip position p (the half-run rule); false when p is beyond the strip.
    virtual bool SelectScene(int p, bool scroll);
    // Unit indexes of the selected thumbnails, ascending.
    virtual void GetSelectedUnits(std::vector<int>& units) const;
    virtual int GetSceneCount() const;
    // Opens the edit document: 0, or the document's result code (3, 4, 5, 7); 7 for a null path.
    virtual int32_t OpenDocument(const QString& path);
    virtual HRESULT SetSelectionLength(unsigned n);
    // Builds the strip around a position (ticks) and starts the worker.
    virtual HRESULT ShowScenesAt(int64_t position);
    // Rewrites the reference movie and makes it the movie the thumbnails come from.
    virtual HRESULT RefreshReferenceMovie();
    // Start time (ticks) of the selected run; S_FALSE with out untouched when nothing is selected.
    virtual HRESULT GetSelectionStart(int64_t* ticks) const;
    virtual bool IsChapterView() const { return false; }
    // Selects the scene at a position; nothing in this kind.
    virtual void SelectSceneAt(int64_t /*position*/) {}
    virtual bool AnchorAtUnit(int index);
    // The window of 16 units around a unit start: [first, last) in ticks.
    virtual HRESULT ComputeWindow(int64_t unitStart, int64_t unitDuration, int64_t total,
                                  int64_t* first, int64_t* last) const;
    virtual HRESULT InitThumbnailCache(int n);
    // The window around the unit that contains a position.
    virtual HRESULT ComputeUnitWindow(int64_t position, int64_t total, int64_t* first,
                                      int64_t* last) const;

    // --- Operations the pane uses ---
    HRESULT GetSelectionLength(unsigned* n) const;
    HRESULT GetTotalTime(int64_t* ticks) const;
    HRESULT SaveAs(const QString& path);
    bool CanUndo() const { return document_.CanUndo(); }
    bool CanRedo() const { return document_.CanRedo(); }
    bool IsEdited() const { return document_.IsEdited(); }
    // Cuts the selected units; S_FALSE when nothing was cut (no selection, thumbnails being made).
    HRESULT CutSelection();
    // Undoes the last cut and selects the restored scenes.
    HRESULT UndoEdit();
    HRESULT RedoEdit();
    QString GetReferenceMoviePath() const { return refMovie_.PlayerPath(); }
    // Unselects the run: no scene is selected and nothing can be cut until the next selection.
    void ClearSelection();
    // Stops the worker and empties the strip.
    void ResetStrip();
    // Closes the document (after stopping the worker) and empties the strip.
    void CloseDocument();
    // The caption of the view's message boxes: the text, or ids::kCaption for null; passed on to
    // the document.
    void SetMessageCaption(const QString* text);
    // Optionally resets the scroll size to the strip, brings the run at p (with its margins) into
    // view when p >= 0, and repaints.
    void ScrollToScenes(bool resetSize, int p);
    // Strip position under a client point, or -1 outside the hit band (not checked against the
    // scene count).
    int HitTest(int x, int y) const;

    // --- State, for the pane and for tests ---
    const QString& GetMoviePath() const { return moviePath_; }
    int GetFirstUnit() const { return firstUnit_; }
    // Strip position of the first selected thumbnail, -1 when reset.
    int GetSelectionPosition() const { return selectionStart_; }
    bool HasSelection() const { return hasSelection_; }
    bool IsSceneSelected(int i) const { return cache_.IsSelected(i); }
    QImage GetThumbnail(int i) const { return cache_.CopyImage(i); }
    const CBRVWrapper& GetDocument() const { return document_; }

    // IBRVModuleWrapperNotify, on the save thread: asks the parent window to end with 0.
    void OnMovieSaved() override;

    // --- The keyboard and accessibility ---
    // Moves the selected run as its key does; false when nothing moved (no run, or at the end).
    virtual bool MoveRun(RunMove move);
    // What a screen reader calls the scene at strip position i ("Scene 5, 0:16 to 0:20").
    virtual QString SceneName(int i) const;
    // The strip's own name: scenes or chapters.
    virtual QString StripName() const;
    // Whether the scene at strip position i belongs to the selected run.
    virtual bool IsInRun(int i) const { return cache_.IsSelected(i); }
    // Strip position of the run's first scene, -1 without a run.
    int RunStart() const { return hasSelection_ ? selectionStart_ : -1; }
    // Scene i's frame in client coordinates.
    QRect SceneRect(int i) const;

signals:
    // Space in the strip: the player's play or pause.
    void PlayPauseKeyPressed();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Selects exactly the run of the current length from strip position p and scrolls it into view.
    void SelectRunAt(int p);
    // The movie's time of a unit's start and end, by its index in the current editing state.
    bool UnitTimes(int unit, int64_t* start, int64_t* end) const;
    // Schedules the accessibility events for what changed since they were last sent.
    void NotifyAccessibility();
    // Draws the style's focus frame around strip positions [first, last).
    void DrawFocusFrame(QPainter& dc, int first, int last);

    // Message handlers.
    virtual LRESULT OnCreate();
    virtual LRESULT OnLButtonDown(uintptr_t flags, int x, int y);
    void OnDestroy();
    void DoPaint(QPainter& dc) override;
    bool StoreThumbnail(int index, QImage& image) override;
    // Starts the worker on the strip as it is now set up (firstUnit_, cache count, moviePath_).
    HRESULT StartStripWorker();
    // What a failed rebuild leaves: an empty strip; returns hr, or E_FAIL for a success code.
    HRESULT FailStrip(HRESULT hr);
    // What a failed edit leaves: an empty strip and the default selection length.
    HRESULT FailEdit(HRESULT hr);
    // After the document changed: the reference movie follows it, or, when it cannot be written,
    // the document goes back to `mark` and the edit fails whole.
    HRESULT FollowEdit(CBRVWrapper::HistoryMark mark);
    // The parent window's handle, taken on the UI thread when the window is created.
    const WindowHandle& ParentHandle() const { return parentHandle_; }

    CThumbnailCache cache_;
    QString moviePath_;
    unsigned selectionLength_ = 0;
    int firstUnit_ = 0;
    int selectionStart_ = -1;
    CBRVWrapper document_;
    bool hasSelection_ = false;
    CRefMovFile refMovie_;
    QString messageCaption_;

private:
    void RegisterMessages();
    void FillStripWhite(QPainter& dc, int sceneCount);
    void OnKeyDown(uintptr_t key);
    // Sends the accessibility events for the difference from the last state sent.
    void SendAccessibilityEvents();

    WindowHandle parentHandle_;
    // What screen readers were last told: the scene names, the run, the focused scene (-1 none).
    struct AccessibleState {
        std::vector<QString> names;
        std::vector<bool> inRun;
        int focused = -1;
        unsigned strip = 0;  // stripsBuilt_ then
    };
    // Counts the strips emptied and built anew: the same names may then stand for other scenes.
    unsigned stripsBuilt_ = 0;
    AccessibleState told_;
    bool accessibilityPending_ = false;
};

}  // namespace brevio
