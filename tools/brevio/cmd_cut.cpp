// brevio cut FILE --remove LIST -o OUT: removes units through the edit document as the editor does
// and writes the final movie with the document's save worker. Ctrl-C cancels the write; SIGTERM and
// SIGHUP (a logout) end the process at once, after removing a hidden partial file where the file
// system made the write use one. Paths are used as the bytes given, never through a text codec.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "Command.h"
#include "document/CBRVWrapper.h"
#include "engine/CBrevioMovFileEditor.h"
#include "interfaces/ISaveProgress.h"
#include "tool_args.h"
#include "tool_movie.h"

namespace brevio::tool {

using namespace brevio::engine;

namespace {

constexpr int kExitInterrupted = 128 + SIGINT;

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

// The process ends as the signal asks, without its partial file: the default action is restored
// and the signal, blocked while this handler runs, is delivered again when it returns.
extern "C" void OnTerminate(int signal) {
    CBrevioMovFileEditor::RemovePartialFiles();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// Catches SIGINT, SIGTERM and SIGHUP while it lives; the previous handlers come back afterwards.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted.store(false);
        for (size_t i = 0; i < kSignals.size(); ++i) {
            struct sigaction action {};
            action.sa_handler = kSignals[i] == SIGINT ? OnInterrupt : OnTerminate;
            sigemptyset(&action.sa_mask);
            installed_[i] = sigaction(kSignals[i], &action, &previous_[i]) == 0;
        }
    }
    ~InterruptGuard() {
        for (size_t i = 0; i < kSignals.size(); ++i)
            if (installed_[i]) sigaction(kSignals[i], &previous_[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
    std::array<bool, 3> installed_{};
};

struct CutArguments {
    std::string source;
    std::string destination;
    std::vector<unsigned> numbers;  // 1-based, ascending, distinct
};

// What the command line gives, before the unit list is read.
struct CutOptions {
    std::string source;
    std::string destination;
    std::string list;
};

int RunCut(const CutOptions& options);

CommandRunner DeclareCut(CLI::App& command) {
    auto options = std::make_shared<CutOptions>();
    command.add_option("FILE", options->source, "the Brevio movie")->required();
    command.add_option("-r,--remove", options->list, "units to remove, counted from 1, like 3,5-7")
        ->required();
    command.add_option("-o,--output", options->destination, "the new movie; never overwritten")
        ->required();
    return [options] { return RunCut(*options); };
}

int ParseArguments(const CutOptions& options, CutArguments& cut) {
    std::string error;
    auto numbers = ParseUnitList(options.list, error);
    if (!numbers) return BadArguments("cut", error);
    if (options.destination.empty()) return BadArguments("cut", "no output name");
    cut.source = options.source;
    cut.destination = options.destination;
    cut.numbers = std::move(*numbers);
    return kExitOk;
}

// Step 1: open the movie as the editor does.
int OpenForCut(const CutArguments& cut, CBRVWrapper& document) {
    const int result = document.Open(std::filesystem::path(cut.source));
    if (result != 0)
        std::fprintf(stderr, "brevio cut: %s: %s (%s)\n", cut.source.c_str(),
                     DescribeOpenResult(result), document.GetOpenError().c_str());
    return result;
}

// Step 2: remove the units; the document removes the last first, so that the indexes still to go
// stay valid.
int RemoveUnits(const CutArguments& cut, CBRVWrapper& document) {
    const unsigned count = document.GetUnitCount();
    if (cut.numbers.back() > count) {
        std::fprintf(stderr, "brevio cut: unit %u does not exist (the movie has %u)\n",
                     cut.numbers.back(), count);
        return kExitBadArguments;
    }
    if (cut.numbers.size() >= count) {
        std::fprintf(stderr, "brevio cut: cannot remove every unit\n");
        return kExitBadArguments;
    }
    std::vector<unsigned> indexes;
    indexes.reserve(cut.numbers.size());
    for (unsigned number : cut.numbers) indexes.push_back(number - 1);
    if (document.CutUnits(std::move(indexes)) != S_OK) {
        std::fprintf(stderr, "brevio cut: the engine refused to remove the units\n");
        return kExitFailure;
    }
    return kExitOk;
}

// The save worker's progress as a line on a terminal; an interrupt cancels the save.
class ConsoleProgress : public ISaveProgress {
public:
    explicit ConsoleProgress(CBRVWrapper& document)
        : document_(document), show_(isatty(STDERR_FILENO) == 1) {}

    void OnSaveProgress(int position) override {
        if (g_interrupted.load()) document_.CancelSave();
        if (!show_) return;
        shown_ = position;
        char bar[41];
        const int filled = position * 40 / 100;
        for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
        bar[40] = '\0';
        std::fprintf(stderr, "\rwriting [%s] %3d%%", bar, position);
        std::fflush(stderr);
    }
    void OnSaveEnded(int) override {}

    // Ends the progress line.
    void Finish() const {
        if (show_ && shown_ >= 0) std::fprintf(stderr, "\n");
    }

private:
    CBRVWrapper& document_;
    const bool show_;
    int shown_ = -1;
};

// Step 3: write the final movie; a failed or cancelled write leaves no file behind.
int WriteMovie(const CutArguments& cut, CBRVWrapper& document) {
    ConsoleProgress progress(document);
    const HRESULT result =
        document.SaveWithProgress(std::filesystem::path(cut.destination), progress);
    progress.Finish();
    if (result == S_OK) return kExitOk;
    if (document.LastSaveResult() == kSaveCancelled) {
        std::fprintf(stderr, "brevio cut: interrupted, nothing written\n");
        return kExitInterrupted;
    }
    // The engine creates the file exclusively, so a file that already existed is left alone.
    const int32_t code = document.LastWriteResult();
    if (code == CREATEMOVFILE_DESTINATION_EXISTS) {
        std::fprintf(stderr, "brevio cut: %s exists already\n", cut.destination.c_str());
        return kExitBadArguments;
    }
    // The system's reason, as the editor shows it, else the engine's own words ("the source
    // movie changed while it was saved", "the source file ended early").
    const int number = document.LastWriteSystemError();
    const std::string reason = number != 0                          ? std::strerror(number)
                               : !document.LastWriteError().empty() ? document.LastWriteError()
                                                                    : "the movie cannot be written";
    std::fprintf(stderr, "brevio cut: writing %s failed: %s\n", cut.destination.c_str(),
                 reason.c_str());
    return kExitFailure;
}

int RunCut(const CutOptions& options) {
    CutArguments cut;
    if (int rc = ParseArguments(options, cut); rc != kExitOk) return rc;
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(cut.destination, ec))) {
        std::fprintf(stderr, "brevio cut: %s exists already; it is never overwritten\n",
                     cut.destination.c_str());
        return kExitBadArguments;
    }
    InterruptGuard interrupts;
    CBRVWrapper document;
    if (int rc = OpenForCut(cut, document); rc != 0) return rc;
    if (int rc = RemoveUnits(cut, document); rc != kExitOk) return rc;
    if (g_interrupted.load()) {
        std::fprintf(stderr, "brevio cut: interrupted, nothing written\n");
        return kExitInterrupted;
    }
    return WriteMovie(cut, document);
}

CommandRegistration reg("cut", {"remove units from a Brevio movie into a new file",
                                "usage: brevio cut FILE --remove LIST -o OUT   (LIST like 3,5-7)\n",
                                DeclareCut});

}  // namespace

}  // namespace brevio::tool
