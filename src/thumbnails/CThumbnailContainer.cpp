#include "CThumbnailContainer.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "document/CBRVWrapper.h"
#include "document/SourceFileWatch.h"
#include "interfaces/IBRVPreviewContainer.h"
#include "interfaces/IBRVUIUpdater.h"
#include "module/ModuleHelpers.h"
#include "platform/AccessibleFactory.h"
#include "platform/FileHelpers.h"
#include "resources/AccessibleTexts.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"
#include "save/CMovieSaveDlg.h"
#include "thumbnails/CScrollWindowImpl.h"
#include "thumbnails/CThumbnailWnd.h"
#include "thumbnails/StripAccessible.h"
#include "window/PaneColors.h"

namespace brevio {

namespace {

// SM_CYVSCROLL: the height of a horizontal scroll bar.
int ScrollBarHeight() {
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

// A Win32 outline rectangle (right and bottom excluded) as QPainter draws it with a 1-pixel pen.
QRect OutlineRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left - 1, bottom - top - 1);
}

}  // namespace

CThumbnailContainer::CThumbnailContainer(QWidget* parent) : WindowBase(parent) {
    EnableFlickerFreePaint();
    MakeAccessibleGroup(this, resources::AccessibleString(resources::AccessibleText::Editing));
    RegisterMessages();
}

CThumbnailContainer::~CThumbnailContainer() = default;

void CThumbnailContainer::RegisterMessages() {
    MessageMap& map = Messages();
    map.Add(WM_CREATE, [this](uint32_t, uintptr_t, intptr_t, bool&) { return OnCreate(); });
    map.Add(WM_DESTROY, [](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT { return 0; });
    map.Add(WM_SIZE, [this](uint32_t, uintptr_t, intptr_t lParam, bool&) -> LRESULT {
        OnSize(LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));
        return 0;
    });
    using Command = LRESULT (CThumbnailContainer::*)(uint16_t, uint16_t, intptr_t);
    const std::pair<uint16_t, Command> commands[] = {
        {kCutSceneId, &CThumbnailContainer::OnCutScene},
        {kUndoId, &CThumbnailContainer::OnUndo},
        {kRedoId, &CThumbnailContainer::OnRedo},
        {kSaveMovieId, &CThumbnailContainer::OnSaveMovie},
        {kCancelId, &CThumbnailContainer::OnCancel}};
    for (const auto& command : commands) {
        const Command handler = command.second;
        map.AddCommand(command.first, BN_CLICKED,
                       [this, handler](uint32_t, uintptr_t wParam, intptr_t lParam, bool&) {
                           return (this->*handler)(HIWORD(wParam), LOWORD(wParam), lParam);
                       });
    }
    map.AddCommandId(kSelectionListId,
                     [this](uint32_t, uintptr_t wParam, intptr_t, bool&) -> LRESULT {
                         const uint16_t code = HIWORD(wParam);
                         if (code == CBN_CLOSEUP) {
                             // Qt closes the list before it reports the choice: decide once
                             // the choice (if any) has arrived.
                             QTimer::singleShot(0, this, [this] { OnListClosed(); });
                         } else {
                             OnSelectionListNotify(code);
                         }
                         return 0;
                     });
    map.Add(WM_BRV_CLOSE_REQUEST, [this](uint32_t, uintptr_t wParam, intptr_t, bool&) -> LRESULT {
        PostCloseRequest(wParam);
        return 0;
    });
    map.Add(WM_CUT_KEY, [this](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        if (cutButton_ != nullptr && cutButton_->isEnabled()) {
            OnCutScene(BN_CLICKED, kCutSceneId, 0);
            if (ViewExists()) view_->setFocus();
        }
        return 0;
    });
}

// --- Creation, layout, painting ---

LRESULT CThumbnailContainer::OnCreate() {
    const auto fail = [this] {
        PostCloseRequest(BRVDLG_FAILURE);
        return 0;
    };
    if (view_ == nullptr || !view_->Create(this, QRect(0, 0, 10, 10))) return fail();
    view_->show();

    selectionCombo_ = new LabelledList(this);
    selectionCombo_->setObjectName(QString::number(kSelectionListId));
    selectionCombo_->setEditable(false);
    ConnectCombo(selectionCombo_, kSelectionListId);
    selectionCombo_->show();
    FillSelectionList(kFirstSelectionLength, kLastSelectionLength);

    selectionLabel_ = new QLabel(this);
    selectionLabel_->setObjectName(QStringLiteral("0"));
    selectionLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    selectionLabel_->setGeometry(0, 0, 10, 10);
    selectionLabel_->show();
    if (!SetWindowTextFromString(selectionLabel_, ids::kSelectedSeconds)) return fail();
    // The list is known by its label, to screen readers as to the eye; so is its drop-down part.
    selectionLabel_->setBuddy(selectionCombo_);
    selectionCombo_->view()->setAccessibleName(selectionLabel_->text().remove(u'&'));

    if (FAILED(CreateButtons())) return fail();

    selectionCombo_->setCurrentIndex(kLastSelectionLength - kFirstSelectionLength);
    view_->SetSelectionLength(kLastSelectionLength);
    if (messageCaption_.isEmpty()) messageCaption_ = LoadString(ids::kCaption);
    UpdateButtons();
    return 0;
}

HRESULT CThumbnailContainer::CreateButtons() {
    struct ButtonSpec {
        QPushButton** button;
        uint16_t id;
        uint32_t text;
    };
    const ButtonSpec buttons[] = {{&cutButton_, kCutSceneId, ids::kCutScene},
                                  {&undoButton_, kUndoId, ids::kUndo},
                                  {&redoButton_, kRedoId, ids::kRedo},
                                  {&saveMovieButton_, kSaveMovieId, ids::kSave},
                                  {&cancelButton_, kCancelId, ids::kCancel}};
    for (const ButtonSpec& spec : buttons) {
        auto* button = new QPushButton(this);
        *spec.button = button;
        button->setObjectName(QString::number(spec.id));
        button->setAutoDefault(false);
        button->show();
        ConnectCommand(button, spec.id);
        if (LoadString(spec.text).isEmpty() || !SetWindowTextFromString(button, spec.text)) {
            for (const ButtonSpec& made : buttons) {
                if (*made.button != nullptr) (*made.button)->hide();
            }
            return E_FAIL;
        }
    }
    return S_OK;
}

void CThumbnailContainer::OnSize(int width, int height) {
    if (ViewExists()) {
        view_->setGeometry(kViewLeft, kViewTop, kViewWidth,
                           CThumbnailWnd::kStripHeight + ScrollBarHeight());
    }
    if (selectionCombo_ != nullptr) {
        // The closed list keeps the height Qt gives it; its top stays in the pane.
        const int h = selectionCombo_->sizeHint().height();
        const int top = std::max(0, 26 - h);
        selectionCombo_->setGeometry(width - 70, top, 70, h);
        selectionCombo_->view()->setMaximumHeight(std::max(h, kListDroppedHeight - h));
        if (selectionLabel_ != nullptr) selectionLabel_->setGeometry(width - 325, top + 4, 250, 22);
    }
    LayoutButtons(width, height);
}

void CThumbnailContainer::LayoutButtons(int width, int height) {
    const int viewBottom = ViewExists() ? view_->geometry().y() + view_->height() : 0;
    const int row = viewBottom + 12;
    if (cutButton_ != nullptr) cutButton_->setGeometry(0, row, 120, 26);
    if (undoButton_ != nullptr) undoButton_->setGeometry(140, row, 105, 26);
    if (redoButton_ != nullptr) redoButton_->setGeometry(255, row, 105, 26);
    if (saveMovieButton_ != nullptr)
        saveMovieButton_->setGeometry(width - 200, height - 40, 90, 26);
    if (cancelButton_ != nullptr) cancelButton_->setGeometry(width - 100, height - 40, 90, 26);
}

void CThumbnailContainer::PaintContent(QPainter& painter) {
    if (ViewExists()) {
        const QRect view = view_->geometry();
        const int left = view.x(), top = view.y();
        const int right = left + view.width(), bottom = top + view.height();
        painter.setBrush(kPaneFrameFace);
        painter.setPen(QPen(kPaneFrameLine, 1));
        // The light frame with its rounded dark outline, then the dark line around the view.
        painter.drawRoundedRect(OutlineRect(left - 4, top - 4, right + 4, bottom + 4), 1.5, 1.5);
        painter.drawRect(OutlineRect(left - 1, top - 1, right + 1, bottom + 1));
    }
    if (cutButton_ != nullptr) {
        const int y = cutButton_->geometry().y() + cutButton_->height() + 25;
        painter.setPen(QPen(kPaneSeparator, 1));
        painter.drawLine(0, y, width() - 1, y);
    }
}

// --- The selected-seconds list ---

void CThumbnailContainer::FillSelectionList(int first, int last) {
    if (first < 0 || last < 0 || last < first || selectionCombo_ == nullptr) return;
    selectionCombo_->clear();
    for (int number = first; number <= last; ++number) {
        selectionCombo_->addItem(QString::number(number));
    }
}

void CThumbnailContainer::RefreshSelectionControls() {
    if (cutButton_ != nullptr) cutButton_->setEnabled(true);
    if (selectionCombo_ != nullptr) selectionCombo_->setEnabled(true);
    FillSelectionList(kFirstSelectionLength, kLastSelectionLength);
    if (!ViewExists()) return;

    const int count = view_->GetSceneCount();
    unsigned length = kLastSelectionLength;
    view_->GetSelectionLength(&length);
    const bool listEnabled = count >= kFirstSelectionLength;
    const bool countFitsList = count >= kFirstSelectionLength && count <= kLastSelectionLength;
    const int maximum = countFitsList ? count : kLastSelectionLength;
    const bool cutEnabled = static_cast<int64_t>(length) < count;
    if (!cutEnabled && countFitsList) length = static_cast<unsigned>(count);

    view_->SetSelectionLength(length);
    FillSelectionList(kFirstSelectionLength, maximum);
    if (selectionCombo_ != nullptr) {
        selectionCombo_->setCurrentIndex(static_cast<int>(length) - kFirstSelectionLength);
    }
    if (cutButton_ != nullptr) cutButton_->setEnabled(cutEnabled);
    if (selectionCombo_ != nullptr) selectionCombo_->setEnabled(listEnabled);
}

void CThumbnailContainer::OnSelectionListNotify(uint16_t code) {
    if (CheckSourceFileChanged()) return;
    switch (code) {
        case CBN_SELCHANGE: {
            choiceSinceDropDown_ = true;
            const int k = selectionCombo_ != nullptr ? selectionCombo_->currentIndex() : -1;
            if (k >= 0 && view_ != nullptr) {
                view_->SetSelectionLength(static_cast<unsigned>(k + kFirstSelectionLength));
            }
            RefreshSelectionControls();
            break;
        }
        case CBN_DROPDOWN:
            listDroppedDown_ = true;
            choiceSinceDropDown_ = false;
            break;
        case CBN_SELENDCANCEL:
            if (listDroppedDown_) revertSelectionPending_ = true;
            break;
        case CBN_CLOSEUP:
            listDroppedDown_ = false;
            if (revertSelectionPending_) {
                revertSelectionPending_ = false;
                unsigned length = kFirstSelectionLength;
                if (view_ == nullptr || FAILED(view_->GetSelectionLength(&length))) {
                    length = kFirstSelectionLength;
                }
                if (length >= static_cast<unsigned>(kFirstSelectionLength) &&
                    selectionCombo_ != nullptr) {
                    selectionCombo_->setCurrentIndex(static_cast<int>(length) -
                                                     kFirstSelectionLength);
                }
                RefreshSelectionControls();
            }
            break;
        default:
            break;
    }
}

void CThumbnailContainer::OnListClosed() {
    if (!choiceSinceDropDown_) OnSelectionListNotify(CBN_SELENDCANCEL);
    OnSelectionListNotify(CBN_CLOSEUP);
}

// --- The source file, the preview, the parent ---

bool CThumbnailContainer::CheckSourceFileChanged() {
    return sourceWatch_.CheckChanged([this] {
        if (preview_ != nullptr) preview_->CloseMovie();
        ShowMessage(this, ids::kSourceChanged, &messageCaption_, MB_ICONEXCLAMATION);
        PostCloseRequest(BRVDLG_FAILURE);
    });
}

HRESULT CThumbnailContainer::SeekPreview(int64_t ticks) {
    if (preview_ == nullptr) return S_OK;
    if (view_ == nullptr) return E_FAIL;
    ticks = std::max<int64_t>(ticks, 0);
    int64_t total = 0;
    const HRESULT hr = view_->GetTotalTime(&total);
    if (FAILED(hr)) return hr;
    if (ticks >= total - 1) ticks = total - 1;
    const HRESULT seek = preview_->SetPosition(ticks, true);
    return FAILED(seek) ? seek : S_OK;
}

HRESULT CThumbnailContainer::ReloadPreview(int64_t start) {
    if (preview_ != nullptr) {
        const HRESULT hr = preview_->OpenMovie(view_->GetReferenceMoviePath());
        if (FAILED(hr)) return hr;
    }
    return SeekPreview(start);
}

void CThumbnailContainer::FinishEdit(HRESULT edit, int64_t before) {
    // A failed edit left the document, the reference movie and the preview as they were, and the
    // strip empty: it is rebuilt where the selection stood.
    if (FAILED(edit)) SeekPreview(before);
    // Whatever happened, the buttons show what can be done now.
    RefreshSelectionControls();
    if (uiUpdater_ != nullptr) uiUpdater_->RefreshUI();
}

CThumbnailContainer::FocusGuard::FocusGuard(CThumbnailContainer& pane)
    : pane_(pane), focused_(QApplication::focusWidget()) {}

CThumbnailContainer::FocusGuard::~FocusGuard() {
    // Qt moves the focus on from a control that is disabled, towards Save and Cancel, where the
    // next Enter would end the dialog: the strip takes it instead.
    QWidget* const edits[] = {pane_.cutButton_, pane_.undoButton_, pane_.redoButton_};
    if (focused_ == nullptr ||
        std::find(std::begin(edits), std::end(edits), focused_.data()) == std::end(edits))
        return;
    if (focused_->isEnabled() && QApplication::focusWidget() == focused_) return;
    if (pane_.ViewExists()) pane_.view_->setFocus(Qt::OtherFocusReason);
}

void CThumbnailContainer::PostCloseRequest(uintptr_t code) {
    brevio::ParentHandle(this).PostMessage(WM_BRV_CLOSE_REQUEST, code, 0);
}

bool CThumbnailContainer::ViewExists() const {
    return view_ != nullptr && view_->IsWindow();
}

// --- The commands ---

LRESULT CThumbnailContainer::OnCutScene(uint16_t, uint16_t, intptr_t) {
    if (editing_ || CheckSourceFileChanged() || view_ == nullptr) return 0;
    const EditScope scope(editing_);
    const FocusGuard focus(*this);
    int64_t before = 0;
    view_->GetSelectionStart(&before);
    const HRESULT rc = view_->CutSelection();
    if (rc == S_FALSE) return 0;
    int64_t start = 0;
    view_->GetSelectionStart(&start);
    // The reload disables Cut scene for a moment: the focus, if it was there, goes to the strip.
    if (SUCCEEDED(rc)) ReloadPreview(start);
    FinishEdit(rc, before);
    return 0;
}

LRESULT CThumbnailContainer::OnUndo(uint16_t, uint16_t, intptr_t) {
    return UndoOrRedo(&CThumbnailWnd::UndoEdit, true);
}

LRESULT CThumbnailContainer::OnRedo(uint16_t, uint16_t, intptr_t) {
    return UndoOrRedo(&CThumbnailWnd::RedoEdit, false);
}

LRESULT CThumbnailContainer::UndoOrRedo(HRESULT (CThumbnailWnd::*edit)(), bool showRestored) {
    if (editing_ || CheckSourceFileChanged() || view_ == nullptr) return 0;
    const EditScope scope(editing_);
    const FocusGuard focus(*this);
    int64_t before = 0;
    view_->GetSelectionStart(&before);
    if (preview_ != nullptr && FAILED(preview_->SetPosition(0, false))) return 0;
    const HRESULT rc = (view_.get()->*edit)();
    if (SUCCEEDED(rc)) {
        int64_t start = 0;
        unsigned length = 0;
        if (SUCCEEDED(view_->GetSelectionStart(&start)) &&
            SUCCEEDED(view_->GetSelectionLength(&length))) {
            // After Undo the list shows the number of restored scenes.
            if (showRestored && selectionCombo_ != nullptr) {
                selectionCombo_->setCurrentIndex(static_cast<int>(length) - kFirstSelectionLength);
            }
            ReloadPreview(start);
        }
    }
    FinishEdit(rc, before);
    return 0;
}

LRESULT CThumbnailContainer::OnSaveMovie(uint16_t, uint16_t, intptr_t) {
    if (editing_ || CheckSourceFileChanged()) return 0;
    const EditScope scope(editing_);
    if (preview_ != nullptr && FAILED(preview_->ControlPlayback(IBRVPreviewContainer::kPause)))
        return 1;

    const QString filter = LoadString(ids::kMovieFilter);
    CMovieSaveDlg dialog(this, LoadString(ids::kSaveAsTitle), &filter,
                         OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    // Never asked to overwrite: an existing name is refused below. The name need not exist.
    dialog.SetFlags(dialog.GetFlags() & ~OFN_OVERWRITEPROMPT);
    dialog.SetDefaultExtension(LoadString(ids::kMovieExtension));
    dialog.SetFileName(LoadString(ids::kUntitled));
    dialog.SetMessageCaption(&messageCaption_);
    // Beside the movie the user opened: after an edit the view's own movie is the reference
    // movie in the temporary folder, which the user never sees.
    dialog.OpenNear(sourceWatch_.GetPath());
    if (dialog.DoModal(false) != IDOK) return 1;
    repaint();

    const QString path = dialog.GetFileName();
    if (NameExists(path)) {
        ShowMessage(this, ids::kNameExists, &messageCaption_, MB_ICONEXCLAMATION);
        return 0;
    }
    savePath_ = path;
    // Only a written movie is the saved movie: a failed or cancelled save leaves no path behind.
    if (SaveToPath(savePath_) != S_OK) savePath_.clear();
    return 0;
}

LRESULT CThumbnailContainer::OnCancel(uint16_t, uint16_t, intptr_t) {
    if (CheckSourceFileChanged()) return 0;
    if (preview_ != nullptr && FAILED(preview_->ControlPlayback(IBRVPreviewContainer::kPause)))
        return 1;
    PostCloseRequest(BRVDLG_CANCELLED);
    return 0;
}

HRESULT CThumbnailContainer::SaveToPath(const QString& path) {
    if (CheckSourceFileChanged()) return S_FALSE;
    if (view_ == nullptr) return E_FAIL;
    return view_->SaveAs(path);
}

void CThumbnailContainer::UpdateButtons() {
    if (CheckSourceFileChanged() || !ViewExists()) return;
    if (undoButton_ != nullptr) undoButton_->setEnabled(view_->CanUndo());
    if (redoButton_ != nullptr) redoButton_->setEnabled(view_->CanRedo());
    if (saveMovieButton_ != nullptr) saveMovieButton_->setEnabled(view_->IsEdited());
}

// --- IBRVThumbnailContainer and the dialog's operations ---

std::unique_ptr<CThumbnailWnd> CThumbnailContainer::MakeView() {
    return std::make_unique<CThumbnailWnd>();
}

int32_t CThumbnailContainer::LoadMovie(const QString& path) {
    if (path.isNull()) return BRVDLG_FAILURE;
    sourceWatch_.Watch(path);
    std::unique_ptr<CThumbnailWnd> view = MakeView();
    if (view == nullptr) return BRVDLG_FAILURE;
    const int32_t result = view->OpenDocument(path);
    view_ = std::move(view);
    connect(view_.get(), &CThumbnailWnd::PlayPauseKeyPressed, this,
            &CThumbnailContainer::PlayPauseKeyPressed);
    if (uiUpdater_ != nullptr) uiUpdater_->RefreshUI();
    return result;
}

void CThumbnailContainer::UnloadMovie() {
    if (CheckSourceFileChanged()) return;
    if (view_ != nullptr) view_->CloseDocument();
    if (uiUpdater_ != nullptr) uiUpdater_->RefreshUI();
}

HRESULT CThumbnailContainer::OnPositionChanged(int64_t ticks) {
    if (CheckSourceFileChanged()) return S_FALSE;
    if (view_ == nullptr) return S_FALSE;
    const HRESULT rc = view_->ShowScenesAt(ticks);
    if (SUCCEEDED(rc)) RefreshSelectionControls();
    return rc;
}

void CThumbnailContainer::OnPlaybackStarted() {
    if (CheckSourceFileChanged()) return;
    if (cutButton_ != nullptr) cutButton_->setEnabled(false);
    if (selectionCombo_ != nullptr) selectionCombo_->setEnabled(false);
    if (view_ != nullptr) view_->ResetStrip();
}

void CThumbnailContainer::OnPlayingPosition(int64_t /*ticks*/) {}

void CThumbnailContainer::SetMessageCaption(const QString* text) {
    messageCaption_ = resources::CaptionOrDefault(text);
    if (view_ != nullptr) view_->SetMessageCaption(text);
}

bool CThumbnailContainer::IsEdited() const {
    return view_ != nullptr && view_->IsEdited();
}

int64_t CThumbnailContainer::SceneStartBeside(int64_t position, int direction) const {
    if (view_ == nullptr) return position;
    const CBRVWrapper& document = view_->GetDocument();
    unsigned unit = 0;
    int64_t start = 0;
    if (FAILED(document.GetUnitIndexAtTime(position, &unit)) ||
        FAILED(document.GetUnitStartTime(unit, &start)))
        return position;
    if (direction < 0) {
        if (position > start || unit == 0) return start;
        document.GetUnitStartTime(unit - 1, &start);
        return start;
    }
    if (unit + 1 < document.GetUnitCount()) {
        document.GetUnitStartTime(unit + 1, &start);
        return start;
    }
    int64_t total = position;
    document.GetTotalTime(&total);
    return total;
}

HRESULT CThumbnailContainer::GetSavedPath(QString* path) const {
    if (path == nullptr) return E_POINTER;
    if (savePath_.isEmpty()) return E_FAIL;
    *path = savePath_;
    return S_OK;
}

}  // namespace brevio
