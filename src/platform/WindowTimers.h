#pragma once
// Timers by fixed identifier, as a window sets them: one QBasicTimer per identifier, and setting
// an identifier that is running restarts it with the new interval. Each expiry calls the handler
// with the identifier. Use on the thread of the object that holds the timers (the UI thread).
#include <QBasicTimer>
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>

namespace brevio {

class WindowTimers : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(uint32_t id)>;

    // The shortest interval: a smaller one (0 included) is raised to it, as SetTimer does.
    static constexpr int kMinimumIntervalMs = 10;

    explicit WindowTimers(Handler handler, QObject* parent = nullptr);
    ~WindowTimers() override;

    // Starts the timer `id`, or restarts it when it runs. False off the object's thread.
    bool Set(uint32_t id, int intervalMs);
    // Stops the timer `id`; false when it was not running.
    bool Kill(uint32_t id);
    void KillAll();
    bool IsActive(uint32_t id) const;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    Handler handler_;
    std::map<uint32_t, QBasicTimer> timers_;
};

}  // namespace brevio
