#include "QuietOutput.h"

#include <unistd.h>

#include <QtGlobal>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/PrivateFolder.h"

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

// A private runtime folder for Qt and its plugins where XDG_RUNTIME_DIR names none (unset, or a
// folder that is someone else's or open to others): $TMPDIR/runtime-UID (or /tmp/...), made when
// missing, or, where another user took that name, a fresh $TMPDIR/runtime-UID-XXXXXX.
void ProvideRuntimeFolder() {
    if (!PrivateRuntimeFolder().empty()) return;
    const char* tmp = std::getenv("TMPDIR");
    const std::string parent = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    const std::string name = "runtime-" + std::to_string(::geteuid());
    std::string folder = parent + "/" + name;
    int fd = OpenOrMakePrivateFolder(parent, name);
    if (fd < 0) fd = MakeFreshPrivateFolder(parent, name + "-", folder);
    if (fd < 0) return;
    ::close(fd);
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
