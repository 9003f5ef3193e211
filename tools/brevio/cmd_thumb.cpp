// brevio thumb FILE --at SECONDS -o OUT.png: the 64 x 48 strip thumbnail of a position, as PNG.
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framesource/CThumbnailMaker.h"
#include "tool_image.h"

namespace brevio::tool {

namespace {

int RunThumb(const PositionArgs& parsed) {
    const std::string& file = parsed.file;
    const std::string& out = parsed.out;
    const double seconds = parsed.seconds;
    const int64_t ticks = parsed.Ticks();
    auto app = EnsureGuiApplication();
    RegisterFrameSourceComponent();
    CThumbnailMaker maker;
    if (FAILED(maker.Open(QString::fromStdString(file)))) {
        std::fprintf(stderr, "brevio thumb: cannot open %s as a movie\n", file.c_str());
        return kExitFailure;
    }
    QImage thumbnail;
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

CommandRegistration reg("thumb",
                        {"write the 64x48 strip thumbnail of a position as PNG",
                         "usage: brevio thumb FILE --at SECONDS -o OUT.png\n",
                         [](CLI::App& command) { return DeclarePositionArgs(command, RunThumb); }});

}  // namespace

}  // namespace brevio::tool
