#include "tool_image.h"

#include <cmath>
#include <cstdio>

#include "tool_args.h"

namespace brevio::tool {

int64_t PositionArgs::Ticks() const {
    return static_cast<int64_t>(std::llround(seconds * 10'000'000.0));
}

std::optional<PositionArgs> ParsePositionArgs(const char* command,
                                              const std::vector<std::string>& args) {
    PositionArgs parsed;
    bool haveAt = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at" && i + 1 < args.size()) {
            if (!ParseNumber(args[++i], parsed.seconds) || parsed.seconds < 0) {
                std::fprintf(stderr, "brevio %s: --at needs a number of seconds >= 0\n", command);
                return std::nullopt;
            }
            haveAt = true;
        } else if (a == "-o" && i + 1 < args.size()) {
            parsed.out = args[++i];
        } else if (parsed.file.empty() && !a.empty() && a[0] != '-') {
            parsed.file = a;
        } else {
            std::fprintf(stderr, "brevio %s: unexpected argument '%s'\n", command, a.c_str());
            return std::nullopt;
        }
    }
    if (parsed.file.empty() || parsed.out.empty() || !haveAt) {
        std::fprintf(stderr, "usage: brevio %s FILE --at SECONDS -o OUT.png\n", command);
        return std::nullopt;
    }
    return parsed;
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
