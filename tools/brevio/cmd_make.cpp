// brevio make: builds a Brevio movie, either from clips given on the command line or from
// synthetic numbered test-pattern clips (--synthetic N).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "Command.h"
#include "engine/MovieAssembler.h"
#include "generator/SyntheticMovie.h"
#include "tool_args.h"

namespace brevio::tool {

using namespace brevio::engine;

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

struct MakeOptions {
    generator::SyntheticOptions synthetic;
    bool isSynthetic = false;
    std::string size;
    std::string audio;
    std::string out;
    std::vector<std::string> clips;
};

int RunMake(const MakeOptions& options);

CommandRunner DeclareMake(CLI::App& command) {
    auto options = std::make_shared<MakeOptions>();
    generator::SyntheticOptions& synthetic = options->synthetic;
    command.add_option("OUT", options->out, "the movie to make; never overwritten")->required();
    command.add_option("CLIP", options->clips, "the clips, one shooting unit (or chapter) each");
    command
        .add_option_function<int>(
            "--synthetic",
            [options](int units) {
                options->synthetic.units = units;
                options->isSynthetic = true;
            },
            "make N test-pattern units instead")
        ->check(CLI::Range(1, 100000));
    command.add_option("--size", options->size, "picture size of the test patterns, WxH");
    command.add_option("--unit-seconds", synthetic.unitSeconds, "length of a test-pattern unit")
        ->check(NumberIn(1e-6, 1e6));
    command.add_option("--audio", options->audio, "sound of the test patterns")
        ->check(CLI::IsMember({"pcm", "aac", "none"}));
    command
        .add_option("--jpeg-quality", synthetic.jpegQuality, "Motion JPEG quality, 1 (best) to 31")
        ->check(CLI::Range(1, 31));
    command.add_flag("--bframes", synthetic.bframes, "H.264 with B-frames");
    command.add_flag("--mjpeg", synthetic.mjpeg, "Motion JPEG instead of H.264");
    command.add_flag("--chapters", synthetic.chapters, "a movie made of chapters");
    command.add_option("--title", synthetic.titles, "a chapter's title, once per chapter")
        ->allow_extra_args(false);  // one value each time, not every word that follows
    return [options] { return RunMake(*options); };
}

int RunMake(const MakeOptions& options) {
    generator::SyntheticOptions synthetic = options.synthetic;
    if (!options.size.empty() && !ParseSize(options.size, synthetic.width, synthetic.height))
        return Bad("--size needs WIDTHxHEIGHT");
    if (options.audio == "pcm")
        synthetic.audio = generator::AudioCodec::Pcm;
    else if (options.audio == "aac")
        synthetic.audio = generator::AudioCodec::Aac;
    else if (options.audio == "none")
        synthetic.audio = generator::AudioCodec::None;
    const std::filesystem::path destination = options.out;
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(destination, ec)))
        return Bad(destination.string() + " exists already; it is never overwritten");

    Progress progress;
    if (options.isSynthetic) {
        if (!options.clips.empty()) return Bad("--synthetic takes no clips");
        auto result = generator::GenerateSyntheticMovie(synthetic, destination,
                                                        [&](double f) { progress.Set(f); });
        if (result.ok) return kExitOk;
        std::fprintf(stderr, "brevio make: %s\n", result.error.c_str());
        return result.badArguments ? kExitBadArguments : kExitFailure;
    }

    if (options.clips.empty()) return Bad("no clips given");
    std::vector<std::filesystem::path> clips(options.clips.begin(), options.clips.end());
    for (const auto& clip : clips)
        if (!std::filesystem::is_regular_file(clip, ec))
            return Bad("no clip file " + clip.string());
    engine::AssembleOptions assemble;
    assemble.chapters = synthetic.chapters;
    assemble.titles = synthetic.titles;
    assemble.progress = OnAssembleProgress;
    assemble.user = &progress;
    auto result = engine::AssembleMovie(clips, destination, assemble);
    if (result.code == CREATEMOVFILE_OK) return kExitOk;
    if (result.code != CREATEMOVFILE_DESTINATION_EXISTS) std::filesystem::remove(destination, ec);
    std::fprintf(stderr, "brevio make: cannot assemble the clips (%d): %s\n", int(result.code),
                 result.error.c_str());
    return result.code == CREATEMOVFILE_DESTINATION_EXISTS ? kExitBadArguments : kExitFailure;
}

CommandRegistration reg("make", {"build a Brevio movie from clips or synthetic test patterns",
                                 kUsage, DeclareMake});

}  // namespace

}  // namespace brevio::tool
