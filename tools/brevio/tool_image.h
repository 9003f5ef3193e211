#pragma once
// What the picture commands (frame, thumb) share: their arguments and a GUI application for
// QImage and QPainter.
#include <QGuiApplication>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"

namespace brevio::tool {

struct PositionArgs {
    std::string file;
    std::string out;
    double seconds = 0;
    int64_t Ticks() const;
};

// The latest position the picture commands take, about 31 years: its ticks fit in 64 bits.
inline constexpr double kMaxSeconds = 1e9;

// Declares "FILE --at SECONDS -o OUT.png" on a picture command; `run` gets them once parsed.
CommandRunner DeclarePositionArgs(CLI::App& command, std::function<int(const PositionArgs&)> run);

// A QGuiApplication on the offscreen platform when the process has no application yet.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

}  // namespace brevio::tool
