// brevio thumb FILE --at SECONDS -o OUT.png: the 64 x 48 strip thumbnail of a position, as PNG.
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "preview/CThumbnailMaker.h"
#include "tool_args.h"

namespace brevio::tool {

namespace {

// QImage and QPainter need a GUI application; without a display the offscreen platform does.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "brevio";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int RunThumb(const std::vector<std::string>& args) {
    std::string file, out;
    double seconds = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at" && i + 1 < args.size()) {
            if (!ParseNumber(args[++i], seconds) || seconds < 0) {
                std::fprintf(stderr, "brevio thumb: --at needs a number of seconds >= 0\n");
                return kExitBadArguments;
            }
        } else if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.empty() && !a.empty() && a[0] != '-') {
            file = a;
        } else {
            std::fprintf(stderr, "brevio thumb: unexpected argument '%s'\n", a.c_str());
            return kExitBadArguments;
        }
    }
    if (file.empty() || out.empty() || seconds < 0) {
        std::fprintf(stderr, "usage: brevio thumb FILE --at SECONDS -o OUT.png\n");
        return kExitBadArguments;
    }
    auto app = EnsureGuiApplication();
    RegisterFrameSourceComponent();
    CThumbnailMaker maker;
    if (FAILED(maker.Open(QString::fromStdString(file)))) {
        std::fprintf(stderr, "brevio thumb: cannot open %s as a movie\n", file.c_str());
        return kExitFailure;
    }
    QImage thumbnail;
    const auto ticks = static_cast<int64_t>(std::llround(seconds * 10'000'000.0));
    if (FAILED(maker.RenderThumbnail(ticks, &thumbnail))) {
        std::fprintf(stderr, "brevio thumb: no thumbnail at %g s\n", seconds);
        return kExitFailure;
    }
    if (!thumbnail.save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "brevio thumb: cannot write %s\n", out.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

CommandRegistration reg("thumb", "write the 64x48 strip thumbnail of a position as PNG", RunThumb);

}  // namespace

}  // namespace brevio::tool
