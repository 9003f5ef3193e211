#pragma once
// A read-only file descriptor with positioned reads.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/impl/Result.h"

namespace brevio::engine {

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    static Result<FileHandle> OpenRead(const std::filesystem::path& path);

    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    uint64_t size() const { return size_; }
    // Reads exactly `length` bytes at `offset`; fails on a short read or an error.
    Status ReadAt(uint64_t offset, void* buffer, size_t length) const;
    Result<std::vector<uint8_t>> ReadVector(uint64_t offset, size_t length) const;
    void Close();

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace brevio::engine
