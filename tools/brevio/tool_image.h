#pragma once
// What the picture commands (frame, thumb) share: their arguments and a GUI application for
// QImage and QPainter.
#include <QGuiApplication>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brevio::tool {

struct PositionArgs {
    std::string file;
    std::string out;
    double seconds = 0;
    int64_t Ticks() const;
};

// Parses "FILE --at SECONDS -o OUT.png"; says what is wrong on stderr, prefixed with the
// command's name, and returns nothing on bad arguments.
std::optional<PositionArgs> ParsePositionArgs(const char* command,
                                              const std::vector<std::string>& args);

// A QGuiApplication on the offscreen platform when the process has no application yet.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

}  // namespace brevio::tool
