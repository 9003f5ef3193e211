#include "CThreadBase.h"

#include <system_error>

namespace brevio {

CThreadBase::~CThreadBase() {
    // A subclass must have joined in its own destructor (its Run uses its members); this is the
    // last line of defence for threads that use only the base.
    Join();
}

bool CThreadBase::Start() {
    std::lock_guard joinLock(joinMutex_);
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return false;
    exitCode_ = 0;
    finished_ = false;
    try {
        thread_ = std::thread([this] {
            runningId_ = std::this_thread::get_id();  // before Run, which may ask
            exitCode_ = Run();
            finished_ = true;
        });
    } catch (const std::system_error&) {
        return false;
    }
    runningId_ = thread_.get_id();
    return true;
}

void CThreadBase::Join() {
    // Checked before taking any lock: the thread may call Join (or its owner's stop) on itself
    // while another thread is joining it.
    if (IsCurrentThread()) return;
    std::lock_guard joinLock(joinMutex_);
    std::thread running;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        running = std::move(thread_);
    }
    // Joined without mutex_, which the thread itself may take (IsStarted, IsCurrentThread); the
    // join lock keeps a new Start from overlapping the thread that is still ending.
    running.join();
    runningId_ = std::thread::id();
}

bool CThreadBase::IsStarted() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

bool CThreadBase::IsCurrentThread() const {
    return runningId_.load() == std::this_thread::get_id();
}

}  // namespace brevio
