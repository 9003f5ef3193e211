#pragma once
// The content window of the editing dialog: its only child, filling its client area. It chooses
// the panes for the movie (shooting units or chapters), creates and lays them out, wires them to
// each other, passes the panes' end requests on to the dialog, and refreshes the buttons after
// every edit.
#include <QString>
#include <cstdint>
#include <memory>

#include "interfaces/IBRVUIUpdater.h"
#include "platform/HResult.h"
#include "preview/CPreviewContainer.h"
#include "window/WindowBase.h"

namespace brevio {

class CInfoMessageWnd;
class CThumbnailContainer;

class CBaseWindow : public WindowBase, public IBRVUIUpdater {
    Q_OBJECT

public:
    // The dialog's outer width, and what it adds to the player's control height.
    static constexpr int kIdealWidth = 730;
    static constexpr int kIdealHeightExtra = 503;

    explicit CBaseWindow(QWidget* parent = nullptr);
    ~CBaseWindow() override;

    // Before any window exists: picks the pane kinds for the movie and opens it in the thumbnail
    // pane. 0, or the document's result code (3, 4, 5, 7); 7 for a null path.
    int32_t Open(const QString& path);
    // Null stays null: each pane falls back to ids::kCaption itself.
    void SetCaption(const QString* caption);
    void SetPlayerValue(int32_t value) { playerValue_ = value < 0 ? 0 : value; }
    void SetStartPosition(int64_t ticks) { startPosition_ = ticks < 0 ? 0 : ticks; }

    // The dialog's outer size for the player: 730 by (control height + 503).
    HRESULT GetIdealSize(int32_t* width, int32_t* height);
    HRESULT GetSavedPath(QString* path) const;
    // The player's host setting: 10000 unless the preview's player says otherwise.
    HRESULT GetPlayerValue(int32_t* value);
    bool IsEdited() const;

    // Runs the thumbnail pane's command for button `id` (1002 to 1006) with the WM_COMMAND
    // arguments, as a press made from the keyboard: the pane's message map handles it as it
    // handles a click. Clears `handled`.
    LRESULT ForwardCommand(uint16_t id, uintptr_t wParam, intptr_t lParam, bool& handled);

    void RefreshUI() override;

    CPreviewContainer& Preview() { return preview_; }
    CThumbnailContainer* ThumbnailPane() const { return thumbnailPane_.get(); }
    CInfoMessageWnd* InfoPanel() const { return infoPanel_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    LRESULT OnCreate();
    void CreatePanes();
    void PostCloseRequestToDialog(uintptr_t code) const;
    void Layout();

    // Fields in the order they are made; destroyed in the reverse order.
    std::unique_ptr<CThumbnailContainer> thumbnailPane_;
    CPreviewContainer preview_;
    QString moviePath_;
    std::unique_ptr<CInfoMessageWnd> infoPanel_;
    int32_t playerValue_ = 0;
    int64_t startPosition_ = 0;
};

}  // namespace brevio
