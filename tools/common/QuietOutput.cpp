#include "QuietOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QtGlobal>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace brevio::tool {

namespace {

std::atomic<const char*> g_fatalLine{nullptr};
std::atomic<int> g_fatalCode{0};
QtMessageHandler g_qtHandler = nullptr;  // Qt's own, which prints
bool g_keepMessages = false;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const char* fatalLine = type == QtFatalMsg ? g_fatalLine.load() : nullptr;
    // A fatal message without a line of ours is shown as Qt words it; Qt aborts afterwards.
    if (g_keepMessages || (type == QtFatalMsg && fatalLine == nullptr))
        if (g_qtHandler != nullptr) g_qtHandler(type, context, text);
    if (fatalLine != nullptr) {
        std::fprintf(stderr, "%s\n", fatalLine);
        std::_Exit(g_fatalCode.load());
    }
}

// $TMPDIR/runtime-UID (or /tmp/...), made when missing; used only when it is a folder of ours
// that nobody else may enter.
void ProvideRuntimeFolder() {
    const char* current = std::getenv("XDG_RUNTIME_DIR");
    if (current != nullptr && current[0] != '\0') return;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    folder += "/runtime-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        return;
    }
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

}  // namespace

void InstallQuietOutput() {
    ProvideRuntimeFolder();
    const char* debug = std::getenv("BREVIO_DEBUG");
    g_keepMessages = debug != nullptr && std::strcmp(debug, "1") == 0;
    g_qtHandler = qInstallMessageHandler(QuietHandler);
}

void SetFatalExit(const char* line, int code) {
    g_fatalCode.store(code);
    g_fatalLine.store(line);
}

}  // namespace brevio::tool
