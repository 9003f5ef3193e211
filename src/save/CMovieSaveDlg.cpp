#include "CMovieSaveDlg.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>

#include "module/ModuleHelpers.h"
#include "platform/HResult.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"
#include "save/DestinationCheck.h"

namespace brevio {

CMovieSaveDlg::CMovieSaveDlg(QWidget* owner, const QString& title, const QString* filter,
                             uint32_t flags)
    : CFileDlg(owner, title, filter, flags),
      messageCaption_(LoadString(ids::kCaption)),
      rule_([](const QString& path) { return IsAllowedDestination(path); }) {}

CMovieSaveDlg::~CMovieSaveDlg() = default;

void CMovieSaveDlg::SetMessageCaption(const QString* text) {
    messageCaption_ = resources::CaptionOrDefault(text);
}

QString CMovieSaveDlg::InitialFolder(const QString& sourceMovie) const {
    if (!sourceMovie.isEmpty()) {
        const QString folder = QFileInfo(sourceMovie).absolutePath();
        if (QFileInfo(folder).isDir() && rule_(folder)) return folder;
    }
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QFileInfo(videos).isDir()) return videos;
    return QDir::homePath();
}

void CMovieSaveDlg::OpenNear(const QString& sourceMovie) {
    setDirectory(InitialFolder(sourceMovie));
}

int CMovieSaveDlg::OnInitDone() {
    if (saveButton_ != nullptr) saveButton_->removeEventFilter(this);
    saveButton_ = AcceptButton();
    // QFileDialog enables its button again whenever the typed name changes; the filter disables
    // it again at once while the current destination is refused.
    if (saveButton_ != nullptr) saveButton_->installEventFilter(this);
    return 0;
}

void CMovieSaveDlg::CheckCurrentPath() {
    saveAllowed_ = rule_(CurrentFilePath());
    if (!saveAllowed_) {
        saveButton_->setEnabled(false);
    } else if (!saveButton_->isEnabled()) {
        saveButton_->setEnabled(true);
    }
}

int CMovieSaveDlg::OnFolderChange() {
    if (saveButton_ == nullptr) return 0;
    CheckCurrentPath();
    skipNextSelChange_ = true;
    return 0;
}

int CMovieSaveDlg::OnSelChange() {
    if (saveButton_ != nullptr) {
        if (skipNextSelChange_) {
            skipNextSelChange_ = false;
        } else {
            CheckCurrentPath();
        }
    }
    skipNextSelChange_ = false;
    return 0;
}

int CMovieSaveDlg::OnFileOK() {
    // A name that is empty before its extension, or begins with a dot, would make a hidden file.
    if (QFileInfo(CurrentFilePath()).fileName().startsWith(u'.')) {
        ShowMessage(this, ids::kInvalidFileName, &messageCaption_, MB_ICONEXCLAMATION);
        return 1;
    }
    if (rule_(CurrentFilePath())) return 0;
    ShowMessage(this, ids::kFolderRefused, &messageCaption_, MB_ICONEXCLAMATION);
    return 1;
}

bool CMovieSaveDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == saveButton_ && event->type() == QEvent::EnabledChange && !saveAllowed_ &&
        saveButton_->isEnabled()) {
        saveButton_->setEnabled(false);
    }
    return CFileDlg::eventFilter(watched, event);
}

}  // namespace brevio
