// brevio cut FILE --remove LIST -o OUT: removes units through the engine as the editor does and
// writes the final movie. Ctrl-C cancels the write and removes the partial file.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Command.h"
#include "engine/CBrevioMovFileEditor.h"
#include "tool_args.h"
#include "tool_movie.h"

namespace brevio::tool {

namespace {

constexpr int kExitInterrupted = 128 + SIGINT;

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

// Catches SIGINT while it lives; the previous handler comes back afterwards.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        installed_ = sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptGuard() {
        if (installed_) sigaction(SIGINT, &previous_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

struct CutArguments {
    std::string source;
    std::string destination;
    std::vector<unsigned> numbers;  // 1-based, ascending, distinct
};

int ParseArguments(const std::vector<std::string>& args, CutArguments& cut) {
    std::string list;
    bool haveList = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* name) -> const std::string* {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "brevio cut: %s needs a value\n", name);
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--remove" || a == "-r") {
            auto v = value("--remove");
            if (!v) return kExitBadArguments;
            list = *v;
            haveList = true;
        } else if (a == "-o" || a == "--output") {
            auto v = value("-o");
            if (!v) return kExitBadArguments;
            cut.destination = *v;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "brevio cut: unknown option '%s'\n", a.c_str());
            return kExitBadArguments;
        } else if (cut.source.empty()) {
            cut.source = a;
        } else {
            std::fprintf(stderr, "brevio cut: more than one input file\n");
            return kExitBadArguments;
        }
    }
    if (cut.source.empty() || cut.destination.empty() || !haveList) {
        std::fprintf(stderr, "usage: brevio cut FILE --remove LIST -o OUT   (LIST like 3,5-7)\n");
        return kExitBadArguments;
    }
    std::string error;
    auto numbers = ParseUnitList(list, error);
    if (!numbers) {
        std::fprintf(stderr, "brevio cut: %s\n", error.c_str());
        return kExitBadArguments;
    }
    cut.numbers = std::move(*numbers);
    return kExitOk;
}

// Step 1: open the movie as the editor does.
int OpenForCut(const CutArguments& cut, OpenedMovie& movie) {
    std::string error;
    int result = OpenBrevioMovie(cut.source, movie, error);
    if (result != 0)
        std::fprintf(stderr, "brevio cut: %s: %s (%s)\n", cut.source.c_str(),
                     DescribeOpenResult(result), error.c_str());
    return result;
}

// Step 2: remove the units, the last first, so that the indexes still to go stay valid.
int RemoveUnits(const CutArguments& cut, OpenedMovie& movie) {
    const unsigned count = movie.movie->GetShootingUnitCount();
    if (cut.numbers.back() > count) {
        std::fprintf(stderr, "brevio cut: unit %u does not exist (the movie has %u)\n",
                     cut.numbers.back(), count);
        return kExitBadArguments;
    }
    if (cut.numbers.size() >= count) {
        std::fprintf(stderr, "brevio cut: cannot remove every unit\n");
        return kExitBadArguments;
    }
    for (auto it = cut.numbers.rbegin(); it != cut.numbers.rend(); ++it) {
        if (!movie.movie->RemoveShootingUnit(*it - 1)) {
            std::fprintf(stderr, "brevio cut: the engine refused to remove unit %u\n", *it);
            return kExitFailure;
        }
    }
    return kExitOk;
}

struct ProgressState {
    bool show = false;
    int shown = -1;
};

EBrevioMovFileEditorProgressCallbackResult OnProgress(
    EBrevioMovFileEditorProgressCallbackMessage message, double fraction, void* user) {
    auto* state = static_cast<ProgressState*>(user);
    if (message == BrevioMovFileEditorProgress && state->show) {
        const int percent = fraction <= 0 ? 0 : fraction >= 1 ? 100 : int(fraction * 100.0);
        if (percent != state->shown) {
            state->shown = percent;
            char bar[41];
            const int filled = percent * 40 / 100;
            for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
            bar[40] = '\0';
            std::fprintf(stderr, "\rwriting [%s] %3d%%", bar, percent);
            std::fflush(stderr);
        }
    }
    return g_interrupted.load() ? BrevioMovFileEditorCancel : BrevioMovFileEditorContinue;
}

// Step 3: write the final movie; a failed or cancelled write leaves no file behind.
int WriteMovie(const CutArguments& cut, OpenedMovie& movie) {
    ProgressState progress;
    progress.show = isatty(STDERR_FILENO) == 1;
    ERROR_CREATEMOVFILE code = CREATEMOVFILE_WRITE_FAILED;
    std::string failure;
    try {
        CBrevioMovFileEditor editor(*movie.file);
        editor.SetProgressCallback(OnProgress, &progress);
        FileLocator locator{std::filesystem::path(cut.destination)};
        code = editor.CreateNewMovFile(locator, movie.movie.get());
    } catch (const std::exception& e) {
        failure = e.what();
        code = CREATEMOVFILE_WRITE_FAILED;
    }
    if (progress.show && progress.shown >= 0) std::fprintf(stderr, "\n");
    const bool cancelled = g_interrupted.load();
    if (code == CREATEMOVFILE_OK && !cancelled) return kExitOk;
    // The engine creates the file exclusively, so a file that already existed is not ours.
    if (code != CREATEMOVFILE_DESTINATION_EXISTS) {
        std::error_code ec;
        std::filesystem::remove(cut.destination, ec);
    }
    if (cancelled) {
        std::fprintf(stderr, "brevio cut: interrupted, nothing written\n");
        return kExitInterrupted;
    }
    if (code == CREATEMOVFILE_DESTINATION_EXISTS) {
        std::fprintf(stderr, "brevio cut: %s exists already\n", cut.destination.c_str());
        return kExitBadArguments;
    }
    std::fprintf(stderr, "brevio cut: writing %s failed (engine result %d)%s%s\n",
                 cut.destination.c_str(), int(code), failure.empty() ? "" : ": ", failure.c_str());
    return kExitFailure;
}

int RunCut(const std::vector<std::string>& args) {
    CutArguments cut;
    if (int rc = ParseArguments(args, cut); rc != kExitOk) return rc;
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(cut.destination, ec))) {
        std::fprintf(stderr, "brevio cut: %s exists already; it is never overwritten\n",
                     cut.destination.c_str());
        return kExitBadArguments;
    }
    InterruptGuard interrupts;
    OpenedMovie movie;
    if (int rc = OpenForCut(cut, movie); rc != 0) return rc;
    if (int rc = RemoveUnits(cut, movie); rc != kExitOk) return rc;
    if (g_interrupted.load()) {
        std::fprintf(stderr, "brevio cut: interrupted, nothing written\n");
        return kExitInterrupted;
    }
    return WriteMovie(cut, movie);
}

CommandRegistration reg("cut", "remove units from a Brevio movie into a new file", RunCut);

}  // namespace

}  // namespace brevio::tool
