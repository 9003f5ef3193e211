#include "OpenDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "HostText.h"

namespace brevioedit {

namespace {

const QString kFolderKey = QStringLiteral("open/folder");

}  // namespace

QString StartFolder(const QSettings& settings) {
    const QString last = settings.value(kFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QFileInfo(videos).isDir()) return videos;
    return QDir::homePath();
}

QString ChooseMovie() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brevioedit"),
                       QStringLiteral("brevioedit"));
    // Qt's own dialog on every desktop: its filter matches *.mov in any case (DAY.MOV too).
    QFileDialog dialog(nullptr, Text(HostText::OpenTitle), StartFolder(settings),
                       Text(HostText::OpenFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString movie = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
    settings.setValue(kFolderKey, QFileInfo(movie).absolutePath());
    return movie;
}

}  // namespace brevioedit
