#pragma once
// The widget toolkit for one editing call. The dialog needs a QApplication on the calling thread:
// the host's when it has one, else one made for the call and destroyed when the call ends (after
// every window and worker of the call is gone, which the caller guarantees by destroying its call
// record first). A host the call cannot serve is refused before anything opens.
#include <QApplication>
#include <QString>
#include <QStringList>
#include <memory>

namespace brevio {

class HostToolkit {
public:
    enum class State {
        HostApplication,   // the host's QApplication, on this thread
        OwnApplication,    // made for this call
        WrongThread,       // the host's application lives on another thread
        NotWidgets,        // the host has only a QCoreApplication or QGuiApplication
        NoDisplayPlatform  // no application, and no display platform could be loaded
    };

    HostToolkit();
    ~HostToolkit();
    HostToolkit(const HostToolkit&) = delete;
    HostToolkit& operator=(const HostToolkit&) = delete;

    State GetState() const { return state_; }
    bool IsUsable() const {
        return state_ == State::HostApplication || state_ == State::OwnApplication;
    }

private:
    State state_;
    std::unique_ptr<QApplication> own_;
};

// The platform plugins Qt would try, in order: QT_QPA_PLATFORM (a ';'-separated list), else the
// session's choice (wayland on a Wayland session, then xcb).
QStringList CandidateDisplayPlatforms();
// True when Qt's platform `name` can be loaded now: its plugin is installed and, for the display
// servers, the server named by the environment accepts a connection.
bool IsDisplayPlatformUsable(const QString& name);

}  // namespace brevio
