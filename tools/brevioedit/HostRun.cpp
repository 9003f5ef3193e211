#include "HostRun.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "DemoScript.h"
#include "HostText.h"
#include "MovieCheck.h"
#include "OpenDialog.h"
#include "SampleMovie.h"
#include "brevioedit/BREditDialog.h"

namespace brevioedit {

namespace {

void Print(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

void PrintError(const QString& text) {
    std::fprintf(stderr, "brevioedit: %s\n", qPrintable(text));
}

// Shows why the movie could not be opened; on stderr always, in a message box when there is a
// screen to show it on and nobody drives the dialog.
void ReportOpenFailure(int32_t result, const QString& movie, bool demo) {
    const QString text = DescribeOpenFailure(result, movie);
    if (text.isEmpty()) return;
    PrintError(text);
    const QString platform = QGuiApplication::platformName();
    if (demo || platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal"))
        return;
    QMessageBox::warning(nullptr, Text(HostText::ProductName), text);
}

// The folder a sample movie goes into, made when missing; empty when it cannot be made.
QString MadeFolder(const QString& folder) {
    const QString path = QFileInfo(folder).absoluteFilePath();
    return QDir().mkpath(path) ? path : QString();
}

}  // namespace

int RunHost(Options options) {
    const HostTranslation translation;
    QString demoFolder;
    if (options.demo) {
        demoFolder = MadeFolder(options.demoFolder);
        if (demoFolder.isEmpty()) {
            PrintError(QStringLiteral("cannot make the demo folder ") + options.demoFolder);
            return kExitFailure;
        }
    }
    if (options.movie.isEmpty() && (options.demo || !options.sampleFolder.isEmpty())) {
        const QString folder = options.demo ? demoFolder : MadeFolder(options.sampleFolder);
        QString error = QStringLiteral("cannot make the folder ") + options.sampleFolder;
        if (!folder.isEmpty()) options.movie = MakeSampleMovie(folder, options.chapters, error);
        if (options.movie.isEmpty()) {
            PrintError(error);
            return kExitFailure;
        }
        Print(QStringLiteral("sample: ") + options.movie);
    }
    if (options.movie.isEmpty()) {
        options.movie = ChooseMovie();
        if (options.movie.isEmpty()) return kExitCancelled;
    }

    std::unique_ptr<DemoScript> demo;
    if (options.demo) {
        demo = std::make_unique<DemoScript>(demoFolder);
        QTimer::singleShot(0, demo.get(), [&demo] { demo->Run(); });
    }

    std::vector<char16_t> saved(4096, u'\0');
    const QString moviePath = QFileInfo(options.movie).absoluteFilePath();
    const QString caption =
        options.caption.value_or(Text(HostText::Caption).arg(QFileInfo(moviePath).fileName()));
    int32_t playerValueOut = 0;
    const int32_t result =
        BREditDialog(reinterpret_cast<const char16_t*>(moviePath.utf16()), nullptr, saved.data(),
                     static_cast<uint32_t>(saved.size()), options.playerValue, &playerValueOut,
                     static_cast<int64_t>(options.startSeconds * 10'000'000.0),
                     reinterpret_cast<const char16_t*>(caption.utf16()));

    Print(QStringLiteral("result: %1").arg(result));
    ReportOpenFailure(result, moviePath, options.demo);
    if (result == 0) Print(QStringLiteral("saved: ") + QString::fromUtf16(saved.data()));
    Print(QStringLiteral("player value: %1").arg(playerValueOut));
    if (demo) {
        for (const QString& shot : demo->Screenshots())
            Print(QStringLiteral("screenshot: ") + shot);
        if (!demo->Failure().isEmpty()) PrintError(QStringLiteral("demo: ") + demo->Failure());
    }
    return result;
}

}  // namespace brevioedit
