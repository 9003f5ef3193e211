#include "SampleMovie.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "generator/SyntheticMovie.h"

namespace brevioedit {

QString SampleFolder() {
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/brevioedit-sample-XXXXXX"));
    if (!folder.isValid()) return QDir::tempPath();
    folder.setAutoRemove(false);  // the sample stays for the user to open again
    return folder.path();
}

QString MakeSampleMovie(const QString& folder, bool chapters, QString& error) {
    brevio::generator::SyntheticOptions options;
    options.units = 12;
    options.width = 640;
    options.height = 480;
    options.chapters = chapters;
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("sample.mov"));
    QFile::remove(path);
    const auto result = brevio::generator::GenerateSyntheticMovie(options, path.toStdString(), {});
    if (!result.ok) {
        error =
            QStringLiteral("cannot make the sample movie: ") + QString::fromStdString(result.error);
        return {};
    }
    return path;
}

}  // namespace brevioedit
