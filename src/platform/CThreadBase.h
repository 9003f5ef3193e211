#pragma once
// Base of every worker thread object. Start() runs Run() on a new thread; stopping is the
// subclass's job: clear its own atomic flag, then Join(). Join() on a thread that never started or
// has already been joined returns at once. The destructor joins too, so a thread never outlives
// the object whose Run() it executes.
#include <cstdint>
#include <mutex>
#include <thread>

namespace brevio {

class CThreadBase {
public:
    CThreadBase() = default;
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;
    virtual ~CThreadBase();

    // Starts the thread; false when it could not be created or one is still running (not joined).
    bool Start();
    // Waits without a time limit for the thread to end; returns at once when there is none.
    void Join();
    // True between a successful Start and the Join that follows it.
    bool IsStarted() const;
    // The exit code that Run returned; 0 before the thread has ended.
    uint32_t ExitCode() const { return exitCode_; }
    // True when called from this object's own thread.
    bool IsCurrentThread() const;

protected:
    // The thread body; its result is the thread's exit code.
    virtual uint32_t Run() { return 0; }

private:
    mutable std::mutex mutex_;  // guards thread_ against Start/Join from different threads
    std::thread thread_;
    uint32_t exitCode_ = 0;
};

}  // namespace brevio
