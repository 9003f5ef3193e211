#include "engine/impl/MovieWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "engine/impl/AtomBuilder.h"
#include "engine/impl/DurableFile.h"
#include "engine/impl/MoovBuilder.h"

namespace brevio::engine {

namespace {

constexpr const char* kSourceChangedMessage = "the source movie changed while it was saved";

bool WriteAll(int fd, uint64_t offset, const uint8_t* data, size_t length, WriteFailure& error) {
    while (length > 0) {
        ssize_t n = ::pwrite(fd, data, length, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            error.Set("write failed");
            return false;
        }
        if (n == 0) {
            error.message = "write made no progress";
            return false;
        }
        data += n;
        length -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

class Copier {
public:
    Copier(const SourceFiles& sources, const OutputMovie& movie, int out, uint64_t total,
           uint64_t blockSize, const Progress& progress)
        : sources_(sources),
          movie_(movie),
          out_(out),
          total_(total),
          blockSize_(blockSize),
          progress_(progress) {
        block_ = 4 * 1024 * 1024;
        // Pieces start and end at destination offsets that are multiples of 64 kB where they
        // can: the kernel copies a piece through a pipe of 64 kB at a time, and writes that
        // start off such a boundary fill the page cache with small pages (ext4 measured 1.6
        // times the system time of aligned pieces). The alignment is at least a block and at
        // most a percent of the movie, so that no percent is skipped; a movie of fewer than 100
        // blocks is copied in pieces that end exactly at each percent.
        align_ = std::max<uint64_t>(blockSize_, 64 * 1024);
        while (align_ > blockSize_ && total_ < 100 * align_) align_ /= 2;
        if (total_ < 100 * blockSize_) align_ = 0;
    }

    // The sources are read front to back while copying: the kernel may read twice as far ahead.
    ~Copier() {
        for (const FileHandle* source : sources_.handles)
            ::posix_fadvise(source->fd(), 0, 0, POSIX_FADV_NORMAL);
    }

    ERROR_CREATEMOVFILE Run(const std::vector<CopyRun>& runs, WriteFailure& error) {
        for (const FileHandle* source : sources_.handles)
            ::posix_fadvise(source->fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
        if (!Report(0.0)) return CREATEMOVFILE_CANCELLED;
        for (const CopyRun& r : runs) {
            if (r.inlineData >= 0) {
                const auto& bytes = movie_.inlineData[size_t(r.inlineData)];
                if (!WriteAll(out_, r.destination, bytes.data(), bytes.size(), error))
                    return CREATEMOVFILE_WRITE_FAILED;
                done_ += bytes.size();
                if (!Report(total_ ? double(done_) / double(total_) : 1.0))
                    return CREATEMOVFILE_CANCELLED;
                continue;
            }
            uint64_t left = r.bytes, in = r.offset, to = r.destination;
            while (left > 0) {
                // Pieces end at percent boundaries so that every percent is reported, rounded up
                // to a multiple of align_ in the destination (see Run's start): a run's first
                // pieces reach a block boundary, then an aligned offset, and the rest of the run
                // goes in aligned pieces. A run lands congruent to its source modulo the block
                // size (see LayOutFinalMovie), so pieces from a block boundary on are whole
                // blocks on both sides, which a file system that shares blocks shares.
                const uint64_t nextPercent = (uint64_t(lastPercent_ + 1) * total_ + 99) / 100;
                const uint64_t toPercent =
                    nextPercent > done_ ? nextPercent - done_ : std::max<uint64_t>(total_ / 100, 1);
                uint64_t step;
                if (align_ == 0) {
                    step = std::min({left, block_, toPercent});
                } else if (to % blockSize_ != 0) {
                    step = std::min(left, blockSize_ - to % blockSize_);
                } else if (to % align_ != 0) {
                    step = std::min(left, align_ - to % align_);
                } else {
                    const uint64_t wanted = std::min(block_, toPercent);
                    step = std::min(left, (wanted + align_ - 1) / align_ * align_);
                }
                if (auto rc =
                        CopyPiece(sources_.handles[r.source]->fd(), in, to, size_t(step), error);
                    rc != CREATEMOVFILE_OK)
                    return rc;
                left -= step;
                in += step;
                to += step;
                done_ += step;
                if (!Report(total_ ? double(done_) / double(total_) : 1.0))
                    return CREATEMOVFILE_CANCELLED;
            }
        }
        return CREATEMOVFILE_OK;
    }

    // Reports a fraction (at every percent step and the first call); false when cancelled.
    bool Report(double fraction) {
        if (!progress_.callback) return true;
        fraction = std::min(fraction, 1.0);
        int percent = int(fraction * 100.0);
        if (percent == lastPercent_ && fraction < 1.0) return true;
        lastPercent_ = percent;
        return progress_.callback(BrevioMovFileEditorProgress, fraction, progress_.user) !=
               BrevioMovFileEditorCancel;
    }

private:
    ERROR_CREATEMOVFILE CopyPiece(int in, uint64_t inOffset, uint64_t outOffset, size_t length,
                                  WriteFailure& error) {
        while (length > 0 && useCopyRange_) {
            loff_t a = loff_t(inOffset), b = loff_t(outOffset);
            ssize_t n = ::copy_file_range(in, &a, out_, &b, length, 0);
            if (n > 0) {
                inOffset += uint64_t(n);
                outOffset += uint64_t(n);
                length -= size_t(n);
                continue;
            }
            if (n == 0) {
                error.message = "the source file ended early";
                return CREATEMOVFILE_READ_FAILED;
            }
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL ||
                errno == EBADF || errno == EPERM) {
                useCopyRange_ = false;  // not supported between these files: plain reads and writes
                break;
            }
            error.Set("copy failed");
            return CREATEMOVFILE_WRITE_FAILED;
        }
        if (length == 0) return CREATEMOVFILE_OK;
        if (!buffer_) {
            bufferSize_ = 1024 * 1024;
            buffer_.reset(new (std::nothrow) uint8_t[bufferSize_]);
            if (!buffer_) return CREATEMOVFILE_OUT_OF_MEMORY;
        }
        while (length > 0) {
            size_t step = std::min(length, bufferSize_);
            ssize_t n = ::pread(in, buffer_.get(), step, off_t(inOffset));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error.Set("read failed");
                return CREATEMOVFILE_READ_FAILED;
            }
            if (n == 0) {
                error.message = "the source file ended early";
                return CREATEMOVFILE_READ_FAILED;
            }
            if (!WriteAll(out_, outOffset, buffer_.get(), size_t(n), error))
                return CREATEMOVFILE_WRITE_FAILED;
            inOffset += uint64_t(n);
            outOffset += uint64_t(n);
            length -= size_t(n);
        }
        return CREATEMOVFILE_OK;
    }

    const SourceFiles& sources_;
    const OutputMovie& movie_;
    int out_;
    uint64_t total_;
    uint64_t blockSize_;
    Progress progress_;
    uint64_t block_;
    uint64_t align_ = 0;  // 0: pieces end exactly at percent boundaries
    uint64_t done_ = 0;
    int lastPercent_ = -1;
    bool useCopyRange_ = true;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferSize_ = 0;
};

}  // namespace

ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, WriteFailure& error,
                                    FinalFileKind kind) {
    try {
        DurableFile file;
        if (auto rc = file.Create(destination, kind, error); rc != CREATEMOVFILE_OK) return rc;
        const FinalLayout layout = LayOutFinalMovie(movie, FileSystemBlockSize(file.folderPath()));
        auto moov = BuildMoov(movie, layout.moov);
        if (!moov) {
            error.message = moov.error();
            return CREATEMOVFILE_UNSUPPORTED;
        }

        const FileSizeSignalBlock fileSizeSignal;
        AtomBuilder head;
        head.Append(BuildFtyp());
        const uint64_t mdatSize = layout.moovOffset - layout.mdatOffset;
        if (layout.largeMdat) {
            head.U32(1);
            head.U32(FourCC("mdat"));
            head.U64(mdatSize);
        } else {
            head.U32(uint32_t(mdatSize));
            head.U32(FourCC("mdat"));
        }
        if (!WriteAll(file.fd(), 0, head.bytes().data(), head.size(), error))
            return CREATEMOVFILE_WRITE_FAILED;
        Copier copier(sources, movie, file.fd(), layout.copyBytes, layout.blockSize, progress);
        if (auto rc = copier.Run(layout.runs, error); rc != CREATEMOVFILE_OK) return rc;
        if (!WriteAll(file.fd(), layout.moovOffset, moov->data(), moov->size(), error))
            return CREATEMOVFILE_WRITE_FAILED;
        return file.Commit(
            [&](WriteFailure& failure) {
                // What was copied is what was planned only if no source changed since it was
                // opened; an overwrite in place changes its times before its bytes.
                for (const FileHandle* source : sources.handles) {
                    if (!source->Unchanged()) {
                        failure.message = kSourceChangedMessage;
                        failure.systemError = 0;
                        return CREATEMOVFILE_SOURCE_CHANGED;
                    }
                }
                // The last moment to cancel: once the caller agrees, the movie is named.
                if (progress.callback &&
                    progress.callback(BrevioMovFileEditorCommit, 1.0, progress.user) ==
                        BrevioMovFileEditorCancel)
                    return CREATEMOVFILE_CANCELLED;
                return CREATEMOVFILE_OK;
            },
            error);
    } catch (const std::bad_alloc&) {
        error.Set("out of memory", ENOMEM);
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        int folder, const std::string& name, WriteFailure& error,
                                        int* lockedFd) {
    try {
        MoovLayout layout;
        for (const OutTrack& t : movie.tracks) {
            std::vector<uint64_t> offsets;
            uint32_t source = t.chunks.empty() ? 0 : t.chunks.front().source;
            for (const OutChunk& c : t.chunks) {
                if (c.inlineData >= 0 || c.source != source) {
                    error.message = "a track whose samples lie in several files";
                    return CREATEMOVFILE_UNSUPPORTED;
                }
                offsets.push_back(c.offset);
            }
            layout.chunkOffsets.push_back(std::move(offsets));
            layout.dataUrls.push_back(FileUrl(sources.paths[source].string()));
        }
        auto moov = BuildMoov(movie, layout);
        if (!moov) {
            error.message = moov.error();
            return CREATEMOVFILE_UNSUPPORTED;
        }
        std::vector<uint8_t> bytes = BuildFtyp();
        bytes.insert(bytes.end(), moov->begin(), moov->end());

        // Replacing a file the movie reads from would destroy the media it points to.
        struct stat existing {};
        if (::fstatat(folder, name.c_str(), &existing, 0) == 0) {
            for (const FileHandle* source : sources.handles) {
                struct stat st {};
                if (::fstat(source->fd(), &st) == 0 && st.st_dev == existing.st_dev &&
                    st.st_ino == existing.st_ino)
                    return CREATEMOVFILE_INVALID_ARGUMENT;
            }
        }

        const FileSizeSignalBlock fileSizeSignal;
        // A hidden name beside the destination, private (it names the source's full path), locked
        // at once: a sweep of leftovers by another process passes locked files by.
        std::string temporary;
        FileDescriptor out(-1);
        for (unsigned attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
            temporary = PartialName(name, NAME_MAX, attempt);
            const int fd = ::openat(folder, temporary.c_str(),
                                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST) continue;
            if (fd < 0) break;
            struct stat st {};
            if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
                out = FileDescriptor(fd);
            } else {
                ::close(fd);  // swept away between its creation and the lock: another name
            }
        }
        if (out.get() < 0) {
            error.Set("cannot create a temporary file");
            return CREATEMOVFILE_CREATE_FAILED;
        }
        auto failed = [&](ERROR_CREATEMOVFILE rc) {
            ::unlinkat(folder, temporary.c_str(), 0);
            return rc;
        };
        if (!WriteAll(out.get(), 0, bytes.data(), bytes.size(), error))
            return failed(CREATEMOVFILE_WRITE_FAILED);
        if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            error.Set("cannot replace the destination");
            return failed(CREATEMOVFILE_CREATE_FAILED);
        }
        if (lockedFd != nullptr) *lockedFd = out.Release();
        return CREATEMOVFILE_OK;
    } catch (const std::bad_alloc&) {
        error.Set("out of memory", ENOMEM);
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        WriteFailure& error) {
    std::filesystem::path dirPath = destination.parent_path();
    if (dirPath.empty()) dirPath = ".";
    const FileDescriptor folder(::open(dirPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        error.Set("cannot open the destination folder");
        return CREATEMOVFILE_CREATE_FAILED;
    }
    return WriteReferenceMovie(movie, sources, folder.get(), destination.filename().string(), error,
                               nullptr);
}

}  // namespace brevio::engine
