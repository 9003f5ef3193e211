#include "HostToolkit.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QThread>
#include <cstring>

#include "platform/PrivateFolder.h"

namespace brevio {

namespace {

// argc and argv of the call's own application: Qt keeps references to them for the application's
// whole life, so they live as long as the process.
int g_argc = 1;
char g_argv0[] = "brevioedit";
char* g_argv[] = {g_argv0, nullptr};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Connects to a Unix socket; an '@' in front names an abstract socket.
bool CanConnectUnix(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    if (path.startsWith('@')) address.sun_path[0] = '\0';
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return false;
    return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

// An X server named by $DISPLAY: a local display (":N" or "unix:N") through its socket; a display
// on another host is taken on trust (Qt tells only by trying).
bool IsXDisplayReachable() {
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) return false;
    const int colon = display.lastIndexOf(':');
    if (colon < 0) return false;
    const QByteArray host = display.left(colon);
    QByteArray number = display.mid(colon + 1);
    const int dot = number.indexOf('.');
    if (dot >= 0) number.truncate(dot);
    if (number.isEmpty()) return false;
    if (!host.isEmpty() && host != "unix") return true;
    const QByteArray socket = "/tmp/.X11-unix/X" + number;
    return CanConnectUnix('@' + socket) || CanConnectUnix(socket);
}

bool IsWaylandReachable() {
    QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (name.isEmpty()) name = "wayland-0";
    if (name.startsWith('/')) return CanConnectUnix(name);
    // Only a runtime folder of this user that nobody else may enter holds a socket to trust.
    const QByteArray runtime = QByteArray::fromStdString(PrivateRuntimeFolder());
    if (runtime.isEmpty()) return false;
    return CanConnectUnix(runtime + '/' + name);
}

bool IsPluginInstalled(const QString& name) {
    QStringList folders;
    const QString platformPath = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!platformPath.isEmpty()) folders += platformPath.split(u':', Qt::SkipEmptyParts);
    for (const QString& path :
         qEnvironmentVariable("QT_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts)) {
        folders += path + QStringLiteral("/platforms");
    }
    folders += QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    for (const QString& folder : folders) {
        if (QFileInfo::exists(folder + QStringLiteral("/libq") + name + QStringLiteral(".so"))) {
            return true;
        }
    }
    return false;
}

}  // namespace

QStringList CandidateDisplayPlatforms() {
    QString requested = qEnvironmentVariable("QT_QPA_PLATFORM");
    QStringList names;
    for (const QString& entry : requested.split(u';', Qt::SkipEmptyParts)) {
        names += entry.section(u':', 0, 0).trimmed();  // "name:options"
    }
    if (names.isEmpty()) {
        if (qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland")) {
            names += QStringLiteral("wayland");
        }
        names += QStringLiteral("xcb");
    }
    return names;
}

bool IsDisplayPlatformUsable(const QString& name) {
    if (!IsPluginInstalled(name)) return false;
    if (name == QStringLiteral("xcb")) return IsXDisplayReachable();
    if (name.startsWith(QStringLiteral("wayland"))) return IsWaylandReachable();
    return true;  // offscreen, minimal, vnc, eglfs, linuxfb: no server to reach
}

HostToolkit::HostToolkit() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr) {
        if (qobject_cast<QApplication*>(app) == nullptr) {
            state_ = State::NotWidgets;
        } else if (QThread::currentThread() != app->thread()) {
            state_ = State::WrongThread;
        } else {
            state_ = State::HostApplication;
        }
        return;
    }
    bool usable = false;
    for (const QString& name : CandidateDisplayPlatforms()) {
        if (IsDisplayPlatformUsable(name)) {
            usable = true;
            break;
        }
    }
    if (!usable) {
        state_ = State::NoDisplayPlatform;
        return;
    }
    g_argc = 1;
    own_ = std::make_unique<QApplication>(g_argc, g_argv);
    state_ = State::OwnApplication;
}

HostToolkit::~HostToolkit() {
    if (!own_) return;
    // Objects whose deletion was deferred go before the application does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    own_.reset();
}

}  // namespace brevio
