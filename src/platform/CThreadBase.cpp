#include "CThreadBase.h"

#include <system_error>

namespace brevio {

CThreadBase::~CThreadBase() {
    // A subclass must have joined in its own destructor (its Run uses its members); this is the
    // last line of defence for threads that use only the base.
    Join();
}

bool CThreadBase::Start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return false;
    exitCode_ = 0;
    try {
        thread_ = std::thread([this] { exitCode_ = Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CThreadBase::Join() {
    std::thread finished;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        if (thread_.get_id() == std::this_thread::get_id()) return;  // never join oneself
        finished = std::move(thread_);
    }
    finished.join();
}

bool CThreadBase::IsStarted() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

bool CThreadBase::IsCurrentThread() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable() && thread_.get_id() == std::this_thread::get_id();
}

}  // namespace brevio
