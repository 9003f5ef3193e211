#include "CFileDlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QShowEvent>

namespace brevio {

CFileDlg::CFileDlg(QWidget* owner, const QString& title, const QString* filter, uint32_t flags)
    : QFileDialog(owner), flags_(flags | kFileDlgBaseFlags) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setWindowTitle(title);
    if (filter != nullptr) SetFilter(*filter);
    connect(this, &QFileDialog::directoryEntered, this, [this] { OnFolderChange(); });
    connect(this, &QFileDialog::currentChanged, this, [this] { OnSelChange(); });
    connect(this, &QFileDialog::filterSelected, this, [this] { OnTypeChange(); });
}

CFileDlg::~CFileDlg() = default;

void CFileDlg::SetFilter(const QString& text) {
    // Pairs of description and ';'-separated patterns; an empty description ends the list.
    const QStringList parts = text.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) break;
        const QString patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts).join(u' ');
        // Qt reads the patterns from the last parentheses of the description.
        filters.append(description.endsWith(QStringLiteral("(") + patterns + u')')
                           ? description
                           : description + QStringLiteral(" (") + patterns + u')');
    }
    setNameFilters(filters);
}

void CFileDlg::SetFileName(const QString& text) {
    fileName_ = text;
    selectFile(text);
}

void CFileDlg::SetDefaultExtension(const QString& text) {
    // Added here rather than by QFileDialog, which adds it only to names without any dot.
    defaultExtension_ = text.startsWith(u'.') ? text.mid(1) : text;
}

QString CFileDlg::WithDefaultExtension(const QString& path) const {
    if (defaultExtension_.isEmpty() || path.isEmpty() || path.endsWith(u'/') ||
        QFileInfo(path).isDir())
        return path;
    const QString suffix = u'.' + defaultExtension_;
    return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
}

QPushButton* CFileDlg::AcceptButton() const {
    const auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (box == nullptr) return nullptr;
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            return qobject_cast<QPushButton*>(button);
        }
    }
    return nullptr;
}

QString CFileDlg::CurrentFilePath() const {
    return WithDefaultExtension(selectedFiles().value(0));
}

void CFileDlg::ApplyFlags(bool open) {
    setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // A save dialog takes names that do not exist yet whatever the flags say: requiring an
    // existing file there would refuse every name a save can use.
    setFileMode(open && (flags_ & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                          : QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite, (flags_ & OFN_OVERWRITEPROMPT) == 0);
    setSizeGripEnabled((flags_ & OFN_ENABLESIZING) != 0);
    // The accept mode makes the button box anew: name its accept button after IDOK.
    if (QPushButton* button = AcceptButton()) button->setObjectName(QStringLiteral("1"));
}

int CFileDlg::DoModal(bool open) {
    ApplyFlags(open);
    initPending_ = true;
    const int result = exec();
    initPending_ = false;
    if (result != QDialog::Accepted) return 2;
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return 2;
    fileName_ = WithDefaultExtension(files.first());
    return 1;
}

void CFileDlg::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    if (!initPending_) return;
    initPending_ = false;
    OnInitDone();
    OnFolderChange();
}

void CFileDlg::accept() {
    const QString path = CurrentFilePath();
    const QFileInfo info(path);
    // Confirming a folder enters it; that is not a file choice.
    if (path.isEmpty() || info.isDir()) {
        const QString before = directory().absolutePath();
        QFileDialog::accept();
        if (directory().absolutePath() != before) OnFolderChange();
        return;
    }
    if (OnFileOK() != 0) return;
    if (acceptMode() == QFileDialog::AcceptSave) {
        // The name is taken as it is, whatever its length: QFileDialog would silently keep the
        // dialog open on a name longer than the folder allows, and the save reports that failure
        // with its own message. An existing name is the caller's to refuse.
        if ((flags_ & OFN_OVERWRITEPROMPT) == 0 || !info.exists()) {
            QDialog::accept();
            return;
        }
    }
    QFileDialog::accept();
}

}  // namespace brevio
