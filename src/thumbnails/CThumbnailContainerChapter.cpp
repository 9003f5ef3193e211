#include "thumbnails/CThumbnailContainerChapter.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "thumbnails/CThumbnailWndChapter.h"

namespace brevio {

CThumbnailContainerChapter::CThumbnailContainerChapter(QWidget* parent)
    : CThumbnailContainer(parent) {}

CThumbnailContainerChapter::~CThumbnailContainerChapter() = default;

LRESULT CThumbnailContainerChapter::OnCreate() {
    const LRESULT result = CThumbnailContainer::OnCreate();
    if (selectionCombo_ != nullptr) selectionCombo_->hide();
    if (selectionLabel_ != nullptr) {
        selectionLabel_->setText(QString());
        selectionLabel_->hide();  // nothing to show, and no nameless label for screen readers
    }
    return result;
}

void CThumbnailContainerChapter::RefreshSelectionControls() {
    if (cutButton_ == nullptr) return;
    cutButton_->setEnabled(true);
    if (!ViewExists()) return;
    const int count = view_->GetSceneCount();
    view_->SetSelectionLength(1);
    // A movie reduced to one chapter has nothing left to cut.
    cutButton_->setEnabled(count > 1);
}

std::unique_ptr<CThumbnailWnd> CThumbnailContainerChapter::MakeView() {
    auto view = std::make_unique<CThumbnailWndChapter>();
    view->SetPreview(preview_);
    return view;
}

void CThumbnailContainerChapter::OnPlayingPosition(int64_t ticks) {
    // No check of the source file here: a position tick only moves the selection.
    if (view_ != nullptr) view_->SelectSceneAt(ticks);
}

}  // namespace brevio
