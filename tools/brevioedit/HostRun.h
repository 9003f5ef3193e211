#pragma once
// What brevioedit does once its application object exists: chooses the movie (the one named, a
// sample made on request, or the open dialog's choice), calls BREditDialog on it with the caption
// "movie – Brevio Edit", explains a movie it could not open, and prints the result.
#include <QString>
#include <optional>

namespace brevioedit {

struct Options {
    QString movie;
    std::optional<QString> caption;
    double startSeconds = 0;
    int playerValue = 10000;  // the player's full volume
    bool chapters = false;
    bool demo = false;
    QString demoFolder = QStringLiteral("brevioedit-demo");
    // --sample FOLDER: make a sample movie there and open it.
    QString sampleFolder;
};

constexpr int kExitCancelled = 1;
constexpr int kExitFailure = 7;

// The exit code: the call's result, 1 when the open dialog was cancelled (nothing printed), 7
// when the sample movie or the demo folder could not be made.
int RunHost(Options options);

}  // namespace brevioedit
