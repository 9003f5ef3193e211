#include "tool_image.h"

#include <cmath>
#include <memory>
#include <utility>

#include "tool_args.h"

namespace brevio::tool {

int64_t PositionArgs::Ticks() const {
    return static_cast<int64_t>(std::llround(seconds * 10'000'000.0));
}

CommandRunner DeclarePositionArgs(CLI::App& command, std::function<int(const PositionArgs&)> run) {
    auto parsed = std::make_shared<PositionArgs>();
    command.add_option("FILE", parsed->file, "the movie")->required();
    command.add_option("--at", parsed->seconds, "the position in seconds")
        ->required()
        ->check(NumberIn(0.0, kMaxSeconds));
    command.add_option("-o,--output", parsed->out, "the PNG file to write")->required();
    return [parsed, run = std::move(run)] { return run(*parsed); };
}

std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "brevio";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace brevio::tool
