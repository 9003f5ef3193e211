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

int RunFrame(const std::vector<std::string>& args) {
    std::string file, out;
    double seconds = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at" && i + 1 < args.size()) {
            if (!ParseNumber(args[++i], seconds) || seconds < 0) {
                std::fprintf(stderr, "brevio frame: --at needs a number of seconds >= 0\n");
                return kExitBadArguments;
            }
        } else if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.empty() && !a.empty() && a[0] != '-') {
            file = a;
        } else {
            std::fprintf(stderr, "brevio frame: unexpected argument '%s'\n", a.c_str());
            return kExitBadArguments;
        }
    }
    if (file.empty() || out.empty() || seconds < 0) {
        std::fprintf(stderr, "usage: brevio frame FILE --at SECONDS -o OUT.png\n");
        return kExitBadArguments;
    }
    auto app = EnsureGuiApplication();
    RegisterFrameSourceComponent();
    std::unique_ptr<IFrameSource> source;
    HRESULT hr = ComponentRegistry::Instance().CreateAs(kFrameSourceName, source);
    if (SUCCEEDED(hr)) hr = source->Open(QString::fromStdString(file), kFrameSourceOpenMovie);
    if (FAILED(hr)) {
        std::fprintf(stderr, "brevio frame: cannot open %s as a movie\n", file.c_str());
        return kExitFailure;
    }
    const auto ticks = static_cast<int64_t>(std::llround(seconds * 10'000'000.0));
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

CommandRegistration reg("frame", "write the frame shown at a position as PNG", RunFrame);

}  // namespace

}  // namespace brevio::tool
