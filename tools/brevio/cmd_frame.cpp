// brevio frame FILE --at SECONDS -o OUT.png: the picture the frame source gives for a position,
// written as PNG at the movie's full size.
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framesource/IFrameSource.h"
#include "tool_image.h"

namespace brevio::tool {

namespace {

int RunFrame(const PositionArgs& parsed) {
    const std::string& file = parsed.file;
    const std::string& out = parsed.out;
    const double seconds = parsed.seconds;
    const int64_t ticks = parsed.Ticks();
    auto app = EnsureGuiApplication();
    RegisterFrameSourceComponent();
    std::unique_ptr<IFrameSource> source;
    HRESULT hr = ComponentRegistry::Instance().CreateAs(kFrameSourceName, source);
    if (SUCCEEDED(hr)) hr = source->Open(QString::fromStdString(file), kFrameSourceOpenMovie);
    if (FAILED(hr)) {
        std::fprintf(stderr, "brevio frame: cannot open %s as a movie\n", file.c_str());
        return kExitFailure;
    }
    std::unique_ptr<IFrameData> frame;
    std::vector<uint8_t> bytes;
    QImage image;
    if (FAILED(source->GetFrame(ticks, kFrameSourceFrameShown, &frame)) ||
        FAILED(frame->GetImageBytes(&bytes)) ||
        !image.loadFromData(bytes.data(), static_cast<int>(bytes.size()))) {
        std::fprintf(stderr, "brevio frame: no frame at %g s\n", seconds);
        return kExitFailure;
    }
    if (!image.save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "brevio frame: cannot write %s\n", out.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

CommandRegistration reg("frame",
                        {"write the frame shown at a position as PNG",
                         "usage: brevio frame FILE --at SECONDS -o OUT.png\n",
                         [](CLI::App& command) { return DeclarePositionArgs(command, RunFrame); }});

}  // namespace

}  // namespace brevio::tool
