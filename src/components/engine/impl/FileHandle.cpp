#include "engine/impl/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace brevio::engine {

FileHandle::~FileHandle() {
    Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(other.fd_), size_(other.size_), seen_(other.seen_) {
    other.fd_ = -1;
    other.size_ = 0;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        size_ = other.size_;
        seen_ = other.seen_;
        other.fd_ = -1;
        other.size_ = 0;
    }
    return *this;
}

void FileHandle::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Result<FileHandle> FileHandle::OpenRead(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail("cannot open " + path.string() + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(path.string() + " is not a regular file");
    }
    FileHandle h;
    h.fd_ = fd;
    h.size_ = uint64_t(st.st_size);
    h.seen_ = SeenOf(st);
    return h;
}

FileHandle::Seen FileHandle::SeenOf(const struct ::stat& st) {
    return Seen{uint64_t(st.st_dev),
                uint64_t(st.st_ino),
                uint64_t(st.st_size),
                {int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec)},
                {int64_t(st.st_ctim.tv_sec), int64_t(st.st_ctim.tv_nsec)}};
}

bool FileHandle::Unchanged() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && SeenOf(st) == seen_;
}

Status FileHandle::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (fd_ < 0) return Fail("file not open");
    if (offset > size_ || length > size_ - offset) return Fail("read past the end of the file");
    auto* p = static_cast<uint8_t*>(buffer);
    while (length > 0) {
        ssize_t n = ::pread(fd_, p, length, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(std::string("read failed: ") + std::strerror(errno));
        }
        if (n == 0) return Fail("unexpected end of file");
        p += n;
        offset += uint64_t(n);
        length -= size_t(n);
    }
    return {};
}

Result<std::vector<uint8_t>> FileHandle::ReadVector(uint64_t offset, size_t length) const {
    if (offset > size_ || length > size_ - offset) return Fail("read past the end of the file");
    std::vector<uint8_t> v(length);
    if (auto s = ReadAt(offset, v.data(), length); !s) return Fail(s.error());
    return v;
}

}  // namespace brevio::engine
