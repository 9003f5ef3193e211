// brevioedit: the host application. It calls the library's BREditDialog on a movie, as a photo
// browser does, and reports what the call returned.
//
//   brevioedit [MOVIE] [--caption TEXT] [--start SECONDS] [--player-value N] [--chapters]
//   brevioedit [MOVIE] --demo [FOLDER]
//   brevioedit --help | --version
//
// Without MOVIE a sample Brevio movie is made first (--chapters: one made of chapters). --demo
// drives the dialog by itself: pause, select four scenes, cut, undo, redo, save; the screenshots
// and the saved movie go to FOLDER (./brevioedit-demo by default).
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "DemoScript.h"
#include "QuietOutput.h"
#include "SampleMovie.h"
#include "brevioedit/BREditDialog.h"

namespace {

constexpr int kExitBadArguments = 2;
constexpr int kExitFailure = 7;

struct Options {
    QString movie;
    std::optional<QString> caption;
    double startSeconds = 0;
    int playerValue = 10000;  // the player's full volume
    bool chapters = false;
    bool demo = false;
    QString demoFolder = QStringLiteral("brevioedit-demo");
};

enum class ParseResult { Run, Help, Version, Bad };

QString Tr(const char* text) {
    return QCoreApplication::translate("brevioedit", text);
}

// Reads the command line before any application object exists, so that --help and --version work
// without a display. Qt would decode argv the same way (the locale's encoding).
ParseResult Parse(int argc, char** argv, Options& options, QString& message) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args += QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(Tr(
        "Opens the Brevio movie-editing dialog on MOVIE, as a photo browser does, and prints the\n"
        "result code (0 saved, 1 cancelled, 2 bad argument, 3 not a Brevio movie, 4 too short,\n"
        "5 invalid file, 6 component missing, 7 failure). Without MOVIE a sample movie is made."));
    parser.addPositionalArgument(QStringLiteral("MOVIE"), Tr("the Brevio movie to edit"),
                                 QStringLiteral("[MOVIE]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  Tr("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     Tr("Show the version and exit."));
    const QCommandLineOption caption(QStringLiteral("caption"),
                                     Tr("Caption of the dialog and its message boxes."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption start(QStringLiteral("start"), Tr("Start position of the preview."),
                                   QStringLiteral("SECONDS"));
    const QCommandLineOption playerValue(QStringLiteral("player-value"),
                                         Tr("The player setting handed in (10000: full volume)."),
                                         QStringLiteral("N"));
    const QCommandLineOption chapters(QStringLiteral("chapters"),
                                      Tr("Make the sample movie of chapters."));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        Tr("Drive the dialog by itself and save screenshots and the edited movie in FOLDER "
           "(given right after --demo; ./brevioedit-demo by default)."));
    parser.addOptions({help, version, caption, start, playerValue, chapters, demo});

    if (!parser.parse(args)) {
        message = parser.errorText();
        return ParseResult::Bad;
    }
    if (parser.isSet(help)) {
        // Without an application object Qt does not know the program's name.
        message = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                            QStringLiteral("brevioedit"));
        return ParseResult::Help;
    }
    if (parser.isSet(version)) return ParseResult::Version;

    QStringList positional = parser.positionalArguments();
    options.demo = parser.isSet(demo);
    if (options.demo) {
        // The folder is the word right after --demo, when that word is not an option.
        const qsizetype at = args.indexOf(QStringLiteral("--demo"));
        if (at > 0 && at + 1 < args.size() && !args[at + 1].startsWith(u'-') &&
            positional.removeOne(args[at + 1])) {
            options.demoFolder = args[at + 1];
        }
    }
    if (positional.size() > 1) {
        message = Tr("more than one movie: %1").arg(positional.join(u' '));
        return ParseResult::Bad;
    }
    if (!positional.isEmpty()) options.movie = positional.front();
    if (parser.isSet(caption)) options.caption = parser.value(caption);
    options.chapters = parser.isSet(chapters);
    bool ok = true;
    if (parser.isSet(start)) {
        options.startSeconds = parser.value(start).toDouble(&ok);
        if (!ok || !std::isfinite(options.startSeconds) || std::abs(options.startSeconds) > 1e9) {
            message = Tr("--start needs a number of seconds");
            return ParseResult::Bad;
        }
    }
    if (parser.isSet(playerValue)) {
        options.playerValue = parser.value(playerValue).toInt(&ok);
        if (!ok) {
            message = Tr("--player-value needs a whole number");
            return ParseResult::Bad;
        }
    }
    return ParseResult::Run;
}

const char kUsage[] =
    "usage: brevioedit [MOVIE] [--caption TEXT] [--start SECONDS] [--player-value N] "
    "[--chapters]\n"
    "       brevioedit [MOVIE] --demo [FOLDER]\n"
    "       brevioedit --help | --version\n";

int Usage(const QString& message) {
    std::fprintf(stderr, "brevioedit: %s\n%s", qPrintable(message), kUsage);
    return kExitBadArguments;
}

// What an open result means to the user; empty for the results that need no explanation (saved,
// cancelled) or that the dialog explained itself.
QString DescribeOpenFailure(int32_t result, const QString& movie) {
    const QString name = QDir::toNativeSeparators(movie);
    switch (result) {
        case 3:
            return Tr("\u201c%1\u201d is not a Brevio movie: Brevio Edit edits only the movies "
                      "that "
                      "a Brevio camera builds of shooting units or chapters.")
                .arg(name);
        case 4:
            return Tr("\u201c%1\u201d is too short to edit.").arg(name);
        case 5:
            return Tr("\u201c%1\u201d cannot be read as a movie: it is missing, unreadable or "
                      "damaged.")
                .arg(name);
        case 6:
            return Tr(
                "Brevio Edit cannot play movies on this system: the FFmpeg libraries lack a "
                "decoder it needs.");
        default:
            return {};
    }
}

// Shows why the movie could not be opened; on stderr always, in a message box when there is a
// screen to show it on and nobody drives the dialog.
void ReportOpenFailure(int32_t result, const QString& movie, bool demo) {
    const QString text = DescribeOpenFailure(result, movie);
    if (text.isEmpty()) return;
    std::fprintf(stderr, "brevioedit: %s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (demo || platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal"))
        return;
    QMessageBox::warning(nullptr, Tr("Brevio Edit"), text);
}

void Print(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

}  // namespace

int main(int argc, char** argv) {
    brevio::tool::InstallQuietOutput();
    Options options;
    QString message;
    switch (Parse(argc, argv, options, message)) {
        case ParseResult::Help:
            std::printf("%s", qPrintable(message));
            return 0;
        case ParseResult::Version:
            std::printf("brevioedit %s\n", BREVIO_VERSION);
            return 0;
        case ParseResult::Bad:
            return Usage(message);
        case ParseResult::Run:
            break;
    }

    brevio::tool::SetFatalExit(
        "brevioedit: no display to open the editor on (DISPLAY or WAYLAND_DISPLAY is unset or "
        "unreachable); QT_QPA_PLATFORM=offscreen runs it without one",
        kExitFailure);
    QApplication app(argc, argv);
    brevio::tool::SetFatalExit(nullptr, 0);
    QString error;

    QString folder;
    if (options.demo) {
        folder = QFileInfo(options.demoFolder).absoluteFilePath();
        if (!QDir().mkpath(folder)) return Usage(Tr("cannot make the demo folder"));
    }
    if (options.movie.isEmpty()) {
        const QString sampleFolder = options.demo ? folder : brevioedit::SampleFolder();
        options.movie = brevioedit::MakeSampleMovie(sampleFolder, options.chapters, error);
        if (options.movie.isEmpty()) {
            std::fprintf(stderr, "brevioedit: %s\n", qPrintable(error));
            return kExitFailure;
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
    ReportOpenFailure(result, moviePath, options.demo);
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
