// brevioedit: the host application. It calls the library's BREditDialog on a movie, as a photo
// browser does, and reports what the call returned.
//
//   brevioedit [MOVIE] [--caption TEXT] [--start SECONDS] [--player-value N] [--chapters]
//   brevioedit [MOVIE] --demo [FOLDER]
//
// Without MOVIE a sample Brevio movie is made first (--chapters: one made of chapters). --demo
// drives the dialog by itself: pause, select four scenes, cut, undo, redo, save; the screenshots
// and the saved movie go to FOLDER (./brevioedit-demo by default).
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "DemoScript.h"
#include "SampleMovie.h"
#include "brevioedit/BREditDialog.h"

namespace {

struct Options {
    QString movie;
    std::optional<QString> caption;
    double startSeconds = 0;
    int playerValue = 10000;  // the player's full volume
    bool chapters = false;
    bool demo = false;
    QString demoFolder = QStringLiteral("brevioedit-demo");
};

int Usage(const char* message) {
    std::fprintf(stderr,
                 "brevioedit: %s\n"
                 "usage: brevioedit [MOVIE] [--caption TEXT] [--start SECONDS] "
                 "[--player-value N] [--chapters]\n"
                 "       brevioedit [MOVIE] --demo [FOLDER]\n",
                 message);
    return 2;
}

// False with a message when the arguments are not understood.
bool Parse(const QStringList& args, Options& options, QString& error) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (arg == QStringLiteral("--caption") && hasValue) {
            options.caption = args[++i];
        } else if (arg == QStringLiteral("--start") && hasValue) {
            options.startSeconds = args[++i].toDouble(&ok);
        } else if (arg == QStringLiteral("--player-value") && hasValue) {
            options.playerValue = args[++i].toInt(&ok);
        } else if (arg == QStringLiteral("--chapters")) {
            options.chapters = true;
        } else if (arg == QStringLiteral("--demo")) {
            options.demo = true;
            if (hasValue && !args[i + 1].startsWith(u'-')) options.demoFolder = args[++i];
        } else if (!arg.startsWith(u'-') && options.movie.isEmpty()) {
            options.movie = arg;
        } else {
            error = QStringLiteral("unknown or incomplete argument: ") + arg;
            return false;
        }
        if (!ok) {
            error = QStringLiteral("not a number after ") + arg;
            return false;
        }
    }
    return true;
}

void Print(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    QString error;
    if (!Parse(QApplication::arguments(), options, error)) return Usage(qPrintable(error));

    QString folder;
    if (options.demo) {
        folder = QFileInfo(options.demoFolder).absoluteFilePath();
        if (!QDir().mkpath(folder)) return Usage("cannot make the demo folder");
    }
    if (options.movie.isEmpty()) {
        const QString sampleFolder = options.demo ? folder : brevioedit::SampleFolder();
        options.movie = brevioedit::MakeSampleMovie(sampleFolder, options.chapters, error);
        if (options.movie.isEmpty()) {
            std::fprintf(stderr, "brevioedit: %s\n", qPrintable(error));
            return 7;
        }
        Print(QStringLiteral("sample: ") + options.movie);
    }

    std::unique_ptr<brevioedit::DemoScript> demo;
    if (options.demo) {
        demo = std::make_unique<brevioedit::DemoScript>(folder);
        QTimer::singleShot(0, demo.get(), [&demo] { demo->Run(); });
    }

    std::vector<char16_t> saved(4096, u'\0');
    const QString moviePath = QFileInfo(options.movie).absoluteFilePath();
    const QString captionText = options.caption.value_or(QString());
    int32_t playerValueOut = 0;
    const int32_t result = BREditDialog(
        reinterpret_cast<const char16_t*>(moviePath.utf16()), nullptr, saved.data(),
        static_cast<uint32_t>(saved.size()), options.playerValue, &playerValueOut,
        static_cast<int64_t>(options.startSeconds * 10'000'000.0),
        options.caption ? reinterpret_cast<const char16_t*>(captionText.utf16()) : nullptr);

    Print(QStringLiteral("result: %1").arg(result));
    if (result == 0) Print(QStringLiteral("saved: ") + QString::fromUtf16(saved.data()));
    Print(QStringLiteral("player value: %1").arg(playerValueOut));
    if (demo) {
        for (const QString& shot : demo->Screenshots())
            Print(QStringLiteral("screenshot: ") + shot);
        if (!demo->Failure().isEmpty()) {
            std::fprintf(stderr, "brevioedit: demo: %s\n", qPrintable(demo->Failure()));
        }
    }
    return result;
}
