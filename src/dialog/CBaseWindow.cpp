#include "CBaseWindow.h"

#include <QFileInfo>
#include <QResizeEvent>
#include <exception>

#include "dialog/CInfoMessageWnd.h"
#include "dialog/CInfoMessageWndChapter.h"
#include "dialog/KeyboardAccess.h"
#include "document/IsChapterMovie.h"
#include "platform/AccessibleFactory.h"
#include "resources/AccessibleTexts.h"
#include "thumbnails/CThumbnailContainer.h"
#include "thumbnails/CThumbnailContainerChapter.h"

namespace brevio {

namespace {

// Every pane starts at (0, 0) with 10 by 10 pixels; the layout moves it to its place.
const QRect kInitialPaneRect(0, 0, 10, 10);

}  // namespace

CBaseWindow::CBaseWindow(QWidget* parent) : WindowBase(parent) {
    setObjectName(QStringLiteral("0"));
    EnableFlickerFreePaint();
    MakeAccessibleGroup(this);  // named by the movie once it is opened
    Messages().Add(WM_CREATE, [this](uint32_t, uintptr_t, intptr_t, bool&) { return OnCreate(); });
    // The panes' end requests go on to the dialog unchanged.
    Messages().Add(WM_BRV_CLOSE_REQUEST, [this](uint32_t, uintptr_t wParam, intptr_t, bool&) {
        PostCloseRequestToDialog(wParam);
        return LRESULT{0};
    });
}

CBaseWindow::~CBaseWindow() = default;

int32_t CBaseWindow::Open(const QString& path) {
    if (path.isNull()) return BRVDLG_FAILURE;
    try {
        const bool chapters = IsChapterMovie(path);
        if (chapters) {
            infoPanel_ = std::make_unique<CInfoMessageWndChapter>();
            thumbnailPane_ = std::make_unique<CThumbnailContainerChapter>();
        } else {
            infoPanel_ = std::make_unique<CInfoMessageWnd>();
            thumbnailPane_ = std::make_unique<CThumbnailContainer>();
        }
    } catch (const std::exception&) {
        return BRVDLG_FAILURE;
    }
    thumbnailPane_->SetPreview(&preview_);
    const int32_t result = thumbnailPane_->LoadMovie(path);
    if (result != 0) return result;
    moviePath_ = path;
    setAccessibleName(resources::AccessibleString(resources::AccessibleText::Content)
                          .arg(QFileInfo(path).fileName()));
    return 0;
}

void CBaseWindow::SetCaption(const QString* caption) {
    preview_.SetMessageCaption(caption);
    if (thumbnailPane_) thumbnailPane_->SetMessageCaption(caption);
}

HRESULT CBaseWindow::GetIdealSize(int32_t* width, int32_t* height) {
    if (width == nullptr || height == nullptr) return E_POINTER;
    int32_t controlWidth = 0;
    int32_t controlHeight = 0;
    const HRESULT hr = preview_.GetControlSize(&controlWidth, &controlHeight);
    if (FAILED(hr)) return hr;
    *width = kIdealWidth;
    *height = controlHeight + kIdealHeightExtra;
    return S_OK;
}

HRESULT CBaseWindow::GetSavedPath(QString* path) const {
    if (path == nullptr) return E_POINTER;
    if (!thumbnailPane_) return E_FAIL;
    return thumbnailPane_->GetSavedPath(path);
}

HRESULT CBaseWindow::GetPlayerValue(int32_t* value) {
    if (value == nullptr) return E_POINTER;
    int32_t setting = 10000;
    if (preview_.IsWindow()) {
        int32_t flag = 0;
        preview_.GetPlayerSetting(&setting, &flag);
    }
    *value = setting;
    return S_OK;
}

bool CBaseWindow::IsEdited() const {
    return thumbnailPane_ && thumbnailPane_->IsEdited();
}

LRESULT CBaseWindow::ForwardCommand(uint16_t id, uintptr_t wParam, intptr_t lParam, bool& handled) {
    handled = false;
    if (!thumbnailPane_) return 0;
    // The pane's own command table decides what the button does, as for a click.
    return thumbnailPane_->SendMessage(WM_COMMAND, MAKEWPARAM(id, HIWORD(wParam)), lParam);
}

void CBaseWindow::RefreshUI() {
    if (thumbnailPane_) thumbnailPane_->UpdateButtons();
}

LRESULT CBaseWindow::OnCreate() {
    try {
        CreatePanes();
        if (preview_.IsWindow()) {
            if (thumbnailPane_ && thumbnailPane_->IsWindow()) {
                preview_.SetThumbnailContainer(thumbnailPane_.get());
            }
            const int32_t loaded = preview_.LoadInitialMovie(moviePath_);
            if (loaded != 0) throw static_cast<EBRVDLGERRCODE>(loaded);
            preview_.SetPlayerSetting(playerValue_, false);
            if (startPosition_ > 0) {
                static_cast<IBRVPreviewContainer&>(preview_).SetPosition(startPosition_, true);
            }
        }
        if (thumbnailPane_ && thumbnailPane_->IsWindow()) thumbnailPane_->SetUIUpdater(this);
        InstallKeyboardAccess(*this);
        RefreshUI();
    } catch (EBRVDLGERRCODE code) {
        PostCloseRequestToDialog(static_cast<uintptr_t>(code));
    } catch (...) {
        PostCloseRequestToDialog(BRVDLG_FAILURE);
    }
    return 0;
}

void CBaseWindow::PostCloseRequestToDialog(uintptr_t code) const {
    ParentHandle(this).PostMessage(WM_BRV_CLOSE_REQUEST, code, 0);
}

void CBaseWindow::CreatePanes() {
    // A pane whose window cannot be made stops the sequence and ends the dialog with 7.
    if (!preview_.Create(this, kInitialPaneRect)) throw BRVDLG_FAILURE;
    if (!thumbnailPane_ || !thumbnailPane_->Create(this, kInitialPaneRect)) throw BRVDLG_FAILURE;
    if (!infoPanel_ || !infoPanel_->Create(this, kInitialPaneRect)) throw BRVDLG_FAILURE;
    // The thumbnail pane begins 10 pixels above the preview pane's bottom edge: the preview, its
    // frame and the player's controls stay whole on top.
    preview_.raise();
}

void CBaseWindow::resizeEvent(QResizeEvent* event) {
    WindowBase::resizeEvent(event);
    Layout();
}

void CBaseWindow::Layout() {
    int32_t controlWidth = 0;
    int32_t h = 0;
    if (FAILED(preview_.GetControlSize(&controlWidth, &h))) return;
    const int w = width();
    const int bottom = height();
    if (preview_.IsWindow()) preview_.setGeometry(11, 13, 328, h + 248);
    if (infoPanel_ && infoPanel_->IsWindow()) infoPanel_->setGeometry(359, 13, w - 359, h + 238);
    if (thumbnailPane_ && thumbnailPane_->IsWindow()) {
        thumbnailPane_->setGeometry((w - 698) / 2, h + 251, 698, bottom - h - 251);
    }
}

}  // namespace brevio
