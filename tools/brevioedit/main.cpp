// brevioedit: the host application. It calls the library's BREditDialog on a movie, as a photo
// browser does, and reports what the call returned.
//
//   brevioedit [MOVIE] [--caption TEXT] [--start SECONDS] [--player-value N]
//   brevioedit --sample FOLDER [--chapters] [...]
//   brevioedit [MOVIE] --demo [FOLDER]
//   brevioedit --help | --version
//
// Without MOVIE it shows an open dialog (Cancel exits with 1). --sample makes a sample Brevio
// movie in FOLDER and opens it (--chapters: one made of chapters). --demo drives the dialog by
// itself: pause, select four scenes, cut, undo, redo, save; the screenshots, the saved movie and,
// without MOVIE, the sample go to FOLDER (./brevioedit-demo by default).
#include <QApplication>
#include <QCommandLineParser>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "HostRun.h"
#include "QuietOutput.h"

namespace {

using brevioedit::kExitFailure;
using brevioedit::Options;

constexpr int kExitBadArguments = 2;

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
        "5 invalid file, 6 component missing, 7 failure). Without MOVIE an open dialog asks for\n"
        "one."));
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
    const QCommandLineOption sample(QStringLiteral("sample"),
                                    Tr("Make a sample Brevio movie in FOLDER and open it."),
                                    QStringLiteral("FOLDER"));
    const QCommandLineOption chapters(QStringLiteral("chapters"),
                                      Tr("Make the sample movie of chapters."));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        Tr("Drive the dialog by itself and save screenshots and the edited movie in FOLDER "
           "(given right after --demo; ./brevioedit-demo by default)."));
    parser.addOptions({help, version, caption, start, playerValue, sample, chapters, demo});

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
    if (parser.isSet(sample)) options.sampleFolder = parser.value(sample);
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
    "usage: brevioedit [MOVIE] [--caption TEXT] [--start SECONDS] [--player-value N]\n"
    "       brevioedit --sample FOLDER [--chapters] [--caption TEXT] [...]\n"
    "       brevioedit [MOVIE] --demo [FOLDER]\n"
    "       brevioedit --help | --version\n";

int Usage(const QString& message) {
    std::fprintf(stderr, "brevioedit: %s\n%s", qPrintable(message), kUsage);
    return kExitBadArguments;
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
    return brevioedit::RunHost(std::move(options));
}
