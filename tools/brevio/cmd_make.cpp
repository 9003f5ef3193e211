// brevio make: builds a Brevio movie, either from clips given on the command line or from
// synthetic numbered test-pattern clips (--synthetic N).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Command.h"
#include "engine/MovieAssembler.h"
#include "generator/SyntheticMovie.h"
#include "tool_args.h"

namespace brevio::tool {

namespace {

const char* const kUsage =
    "usage: brevio make [--chapters] [--title TEXT]... OUT CLIP...\n"
    "       brevio make --synthetic N [--size WxH] [--unit-seconds S] [--bframes] [--mjpeg]\n"
    "                   [--jpeg-quality Q] [--audio pcm|aac|none] [--chapters] [--title TEXT]... "
    "OUT\n";

struct Progress {
    bool show = isatty(STDERR_FILENO) == 1;
    int shown = -1;
    void Set(double fraction) {
        if (!show) return;
        const int percent = fraction <= 0 ? 0 : fraction >= 1 ? 100 : int(fraction * 100.0);
        if (percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\rmaking %3d%%", percent);
        std::fflush(stderr);
    }
    ~Progress() {
        if (show && shown >= 0) std::fprintf(stderr, "\n");
    }
};

EBrevioMovFileEditorProgressCallbackResult OnAssembleProgress(
    EBrevioMovFileEditorProgressCallbackMessage message, double fraction, void* user) {
    if (message == BrevioMovFileEditorProgress) static_cast<Progress*>(user)->Set(fraction);
    return BrevioMovFileEditorContinue;
}

int Bad(const std::string& message) {
    std::fprintf(stderr, "brevio make: %s\n%s", message.c_str(), kUsage);
    return kExitBadArguments;
}

int RunMake(const std::vector<std::string>& args) {
    generator::SyntheticOptions synthetic;
    bool isSynthetic = false;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        long long n = 0;
        if (a == "-h" || a == "--help") {
            std::printf("%s", kUsage);
            return kExitOk;
        } else if (a == "--synthetic") {
            auto v = value();
            if (!v || !ParseInt(*v, 1, 100000, n)) return Bad("--synthetic needs a unit count");
            synthetic.units = int(n);
            isSynthetic = true;
        } else if (a == "--size") {
            auto v = value();
            if (!v || !ParseSize(*v, synthetic.width, synthetic.height))
                return Bad("--size needs WIDTHxHEIGHT");
        } else if (a == "--unit-seconds") {
            auto v = value();
            if (!v || !ParseNumber(*v, synthetic.unitSeconds) || synthetic.unitSeconds <= 0)
                return Bad("--unit-seconds needs a length in seconds");
        } else if (a == "--audio") {
            auto v = value();
            if (!v) return Bad("--audio needs pcm, aac or none");
            if (*v == "pcm")
                synthetic.audio = generator::AudioCodec::Pcm;
            else if (*v == "aac")
                synthetic.audio = generator::AudioCodec::Aac;
            else if (*v == "none")
                synthetic.audio = generator::AudioCodec::None;
            else
                return Bad("--audio needs pcm, aac or none");
        } else if (a == "--jpeg-quality") {
            auto v = value();
            if (!v || !ParseInt(*v, 1, 31, n)) return Bad("--jpeg-quality needs 1 to 31");
            synthetic.jpegQuality = int(n);
        } else if (a == "--bframes") {
            synthetic.bframes = true;
        } else if (a == "--mjpeg") {
            synthetic.mjpeg = true;
        } else if (a == "--chapters") {
            synthetic.chapters = true;
        } else if (a == "--title") {
            auto v = value();
            if (!v) return Bad("--title needs a text");
            synthetic.titles.push_back(*v);
        } else if (a.size() > 1 && a[0] == '-') {
            return Bad("unknown option '" + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) return Bad("no output file");
    const std::filesystem::path destination = positional.front();
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(destination, ec)))
        return Bad(destination.string() + " exists already; it is never overwritten");

    Progress progress;
    if (isSynthetic) {
        if (positional.size() != 1) return Bad("--synthetic takes no clips");
        auto result = generator::GenerateSyntheticMovie(synthetic, destination,
                                                        [&](double f) { progress.Set(f); });
        if (result.ok) return kExitOk;
        std::fprintf(stderr, "brevio make: %s\n", result.error.c_str());
        return result.badArguments ? kExitBadArguments : kExitFailure;
    }

    if (positional.size() < 2) return Bad("no clips given");
    std::vector<std::filesystem::path> clips(positional.begin() + 1, positional.end());
    for (const auto& clip : clips)
        if (!std::filesystem::is_regular_file(clip, ec))
            return Bad("no clip file " + clip.string());
    engine::AssembleOptions options;
    options.chapters = synthetic.chapters;
    options.titles = synthetic.titles;
    options.progress = OnAssembleProgress;
    options.user = &progress;
    auto result = engine::AssembleMovie(clips, destination, options);
    if (result.code == CREATEMOVFILE_OK) return kExitOk;
    if (result.code != CREATEMOVFILE_DESTINATION_EXISTS) std::filesystem::remove(destination, ec);
    std::fprintf(stderr, "brevio make: cannot assemble the clips (%d): %s\n", int(result.code),
                 result.error.c_str());
    return result.code == CREATEMOVFILE_DESTINATION_EXISTS ? kExitBadArguments : kExitFailure;
}

CommandRegistration reg("make", "build a Brevio movie from clips or synthetic test patterns",
                        RunMake);

}  // namespace

}  // namespace brevio::tool
