#pragma once
// A read-only file descriptor with positioned reads.
#include <sys/stat.h>

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
    // True while the file is the one opened, unchanged since: the same device and inode, size,
    // modification and status-change times (an overwrite in place changes the times).
    bool Unchanged() const;

private:
    struct Seen {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modified[2] = {}, changed[2] = {};
        bool operator==(const Seen&) const = default;
    };
    static Seen SeenOf(const struct ::stat& st);

    int fd_ = -1;
    uint64_t size_ = 0;
    Seen seen_;
};

}  // namespace brevio::engine
