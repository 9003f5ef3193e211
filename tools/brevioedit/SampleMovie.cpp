#include "SampleMovie.h"

#include <QDir>
#include <QFile>

#include "generator/SyntheticMovie.h"

namespace brevioedit {

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
