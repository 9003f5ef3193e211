#pragma once
// The library's module object: a lock count that objects handed out to the host (the player's
// event sink) hold while they live.
#include <atomic>
#include <cstdint>

namespace brevio {

class CBRVDllModule {
public:
    CBRVDllModule() = default;
    CBRVDllModule(const CBRVDllModule&) = delete;
    CBRVDllModule& operator=(const CBRVDllModule&) = delete;
    virtual ~CBRVDllModule() = default;

    // Both return the new count. Safe from any thread.
    virtual int32_t Lock() { return lockCount_.fetch_add(1) + 1; }
    virtual int32_t Unlock() { return lockCount_.fetch_sub(1) - 1; }
    virtual int32_t GetLockCount() const { return lockCount_.load(); }

private:
    std::atomic<int32_t> lockCount_{0};
};

}  // namespace brevio
