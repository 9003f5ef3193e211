#include "engine/impl/MovieWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "engine/impl/AtomBuilder.h"
#include "engine/impl/MoovBuilder.h"

namespace brevio::engine {

namespace {

// Writing past RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the process. The writer
// wants the EFBIG error instead, so the signal is ignored while a default disposition is set.
void IgnoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

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
    int get() const { return fd_; }
    // Closes and reports the result of close().
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

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
    }

    ERROR_CREATEMOVFILE Run(const std::vector<CopyRun>& runs, WriteFailure& error) {
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
            // A head up to the source's next block boundary, a body of whole blocks, a tail. When
            // the run lands congruent to its source (see LayOutFinalMovie) the body's pieces are
            // block-aligned on both sides and a file system that shares blocks shares them.
            const uint64_t head =
                std::min(r.bytes, (blockSize_ - r.offset % blockSize_) % blockSize_);
            const uint64_t body = (r.bytes - head) / blockSize_ * blockSize_;
            uint64_t left = r.bytes, in = r.offset, to = r.destination;
            while (left > 0) {
                const uint64_t copied = r.bytes - left;
                // Pieces end at percent boundaries so that every percent is reported; body
                // pieces end at the first block boundary from there, so that they stay whole
                // blocks, unless a percent is smaller than a block (a movie too small for
                // sharing to matter).
                const uint64_t nextPercent = (uint64_t(lastPercent_ + 1) * total_ + 99) / 100;
                const uint64_t toBoundary = nextPercent > done_ ? nextPercent - done_ : block_;
                const bool tiny = total_ < 100 * blockSize_;
                uint64_t step;
                if (copied < head) {
                    step = std::min(head - copied, toBoundary);
                } else if (copied < head + body && !tiny) {
                    const uint64_t toBlock =
                        (toBoundary + blockSize_ - 1) / blockSize_ * blockSize_;
                    step = std::min({head + body - copied, block_, toBlock});
                } else {
                    step = std::min({left, block_, toBoundary});
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
    uint64_t done_ = 0;
    int lastPercent_ = -1;
    bool useCopyRange_ = true;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferSize_ = 0;
};

struct ChunkRef {
    size_t track;
    size_t chunk;
};

// The hidden partial files being written, by folder descriptor and name, for a signal handler
// to remove. A slot is claimed with `busy`, filled, and published by storing the descriptor.
struct PartialSlot {
    std::atomic<bool> busy{false};
    std::atomic<int> dir{-1};
    char name[NAME_MAX + 1] = {};
};
PartialSlot g_partials[16];
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

class PartialRegistration {
public:
    PartialRegistration(int dir, const std::string& name) {
        for (PartialSlot& slot : g_partials) {
            if (slot.busy.exchange(true)) continue;
            std::memcpy(slot.name, name.c_str(), std::min(name.size() + 1, sizeof slot.name));
            slot.name[NAME_MAX] = '\0';
            slot.dir.store(dir, std::memory_order_release);
            slot_ = &slot;
            return;
        }
    }
    ~PartialRegistration() {
        if (slot_ == nullptr) return;
        slot_->dir.store(-1, std::memory_order_release);
        slot_->busy.store(false);
    }
    PartialRegistration(const PartialRegistration&) = delete;
    PartialRegistration& operator=(const PartialRegistration&) = delete;

private:
    PartialSlot* slot_ = nullptr;
};

// The longest leading part of `text` of at most `limit` bytes that does not split a UTF-8
// sequence (other bytes are kept as they are).
std::string CutAtCharacter(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Gives the finished partial file `from` the name `to` in the folder `dir` unless `to` exists.
int RenameWithoutReplacing(int dir, const char* from, const char* to) {
    if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::linkat(dir, from, dir, to, 0) != 0) return errno;
    ::unlinkat(dir, from, 0);
    return 0;
}

// Gives the unnamed file `fd` the name `to` in the folder `dir` unless `to` exists. Linking by
// the descriptor itself needs CAP_DAC_READ_SEARCH; everyone else links its /proc entry.
int LinkUnnamed(int fd, int dir, const char* to) {
    if (::linkat(fd, "", dir, to, AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT && errno != EPERM && errno != EINVAL) return errno;
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, proc, dir, to, AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
}

// The file a final movie is written to before it has its name.
struct UnfinishedFile {
    int fd = -1;
    std::string partial;  // empty for an unnamed file
};

ERROR_CREATEMOVFILE CreateUnfinished(int dir, const std::string& name, size_t nameMax,
                                     FinalFileKind kind, UnfinishedFile& out, WriteFailure& error) {
    if (kind == FinalFileKind::Automatic) {
        out.fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (out.fd >= 0) return CREATEMOVFILE_OK;
        // EISDIR: a kernel without O_TMPFILE; EOPNOTSUPP: a file system without it.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error.Set("cannot create the movie file");
            return CREATEMOVFILE_CREATE_FAILED;
        }
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        out.partial = PartialName(name, nameMax, attempt);
        out.fd = ::openat(dir, out.partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out.fd >= 0) return CREATEMOVFILE_OK;
        if (errno != EEXIST) break;
    }
    out.partial.clear();
    error.Set("cannot create the movie file");
    return CREATEMOVFILE_CREATE_FAILED;
}

}  // namespace

void WriteFailure::Set(const char* what) {
    Set(what, errno);
}

void WriteFailure::Set(const char* what, int number) {
    systemError = number;
    message = std::string(what) + ": " + std::strerror(number);
}

std::string PartialName(const std::string& fileName, size_t nameMax, unsigned attempt) {
    static std::atomic<uint64_t> counter{0};
    uint64_t x = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull ^
                 uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (counter.fetch_add(1) << 20) ^ attempt;
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag = ".";
    for (int i = 0; i < 6; ++i, x /= 36) tag += digits[x % 36];
    tag += ".partial";
    const size_t room = nameMax > tag.size() + 1 ? nameMax - tag.size() - 1 : 0;
    return "." + CutAtCharacter(fileName, room) + tag;
}

void RemovePartialFiles() noexcept {
    for (PartialSlot& slot : g_partials) {
        const int dir = slot.dir.load(std::memory_order_acquire);
        if (dir >= 0) ::unlinkat(dir, slot.name, 0);
    }
}

uint64_t FileSystemBlockSize(const std::filesystem::path& directory) {
    struct statvfs st {};
    if (::statvfs(directory.c_str(), &st) != 0) return 4096;
    uint64_t b = st.f_frsize ? st.f_frsize : st.f_bsize;
    // A power of two between 512 bytes and 1 MB, else the usual page-sized block.
    if (b < 512 || b > (1u << 20) || (b & (b - 1)) != 0) return 4096;
    return b;
}

FinalLayout LayOutFinalMovie(const OutputMovie& movie, uint64_t blockSize) {
    FinalLayout layout;
    layout.blockSize = blockSize;
    // Chunks in source order: by file, then by offset; in-memory chunks last.
    std::vector<ChunkRef> order;
    for (size_t t = 0; t < movie.tracks.size(); ++t)
        for (size_t c = 0; c < movie.tracks[t].chunks.size(); ++c) order.push_back({t, c});
    auto chunkOf = [&](const ChunkRef& r) -> const OutChunk& {
        return movie.tracks[r.track].chunks[r.chunk];
    };
    std::stable_sort(order.begin(), order.end(), [&](const ChunkRef& a, const ChunkRef& b) {
        const OutChunk& x = chunkOf(a);
        const OutChunk& y = chunkOf(b);
        if ((x.inlineData >= 0) != (y.inlineData >= 0)) return x.inlineData < 0;
        if (x.source != y.source) return x.source < y.source;
        return x.offset < y.offset;
    });
    // Runs: chunks that continue each other in the source are one run.
    std::vector<size_t> runOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const OutChunk& c = chunkOf(order[i]);
        CopyRun* last = layout.runs.empty() ? nullptr : &layout.runs.back();
        if (last && c.inlineData < 0 && last->inlineData < 0 && last->source == c.source &&
            last->offset + last->bytes == c.offset) {
            last->bytes += c.bytes;
        } else {
            layout.runs.push_back(CopyRun{c.source, c.offset, c.bytes, c.inlineData, 0});
        }
        runOf[i] = layout.runs.size() - 1;
        layout.copyBytes += c.bytes;
    }
    const uint64_t ftypSize = BuildFtyp().size();
    for (bool large : {false, true}) {
        layout.largeMdat = large;
        layout.mdatOffset = ftypSize;
        uint64_t pos = ftypSize + (large ? 16 : 8);
        for (CopyRun& r : layout.runs) {
            if (r.inlineData < 0 && r.bytes >= blockSize)
                pos += (r.offset % blockSize + blockSize - pos % blockSize) % blockSize;
            r.destination = pos;
            pos += r.bytes;
        }
        layout.moovOffset = pos;
        if (large || pos - ftypSize <= UINT32_MAX) break;
    }
    layout.moov.chunkOffsets.resize(movie.tracks.size());
    layout.moov.dataUrls.resize(movie.tracks.size());
    for (size_t t = 0; t < movie.tracks.size(); ++t)
        layout.moov.chunkOffsets[t].resize(movie.tracks[t].chunks.size());
    // Chunks of a run follow one another as in the source.
    std::vector<uint64_t> runPos(layout.runs.size());
    for (size_t i = 0; i < layout.runs.size(); ++i) runPos[i] = layout.runs[i].destination;
    for (size_t i = 0; i < order.size(); ++i) {
        layout.moov.chunkOffsets[order[i].track][order[i].chunk] = runPos[runOf[i]];
        runPos[runOf[i]] += chunkOf(order[i]).bytes;
    }
    return layout;
}

ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, WriteFailure& error,
                                    FinalFileKind kind) {
    try {
        std::filesystem::path dirPath = destination.parent_path();
        if (dirPath.empty()) dirPath = ".";
        const std::string name = destination.filename().string();
        if (name.empty() || name == "." || name == "..") {
            error.Set("not a file name", EISDIR);
            return CREATEMOVFILE_CREATE_FAILED;
        }
        // The folder is opened once; every later step works relative to it, so a folder renamed
        // or replaced meanwhile cannot redirect the movie. Without read access to the folder it
        // cannot be flushed, but it can still be written to.
        int dirFd = ::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0 && errno == EACCES)
            dirFd = ::open(dirPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) {
            error.Set("cannot open the destination folder");
            return CREATEMOVFILE_CREATE_FAILED;
        }
        FileDescriptor dir(dirFd);
        const long nameMaxValue = ::fpathconf(dir.get(), _PC_NAME_MAX);
        const size_t nameMax = nameMaxValue > 0 ? size_t(nameMaxValue) : NAME_MAX;
        if (name.size() > nameMax) {
            error.Set("cannot create the movie file", ENAMETOOLONG);
            return CREATEMOVFILE_CREATE_FAILED;
        }
        // Refuse an existing destination (a dangling link included) before copying anything;
        // the final naming refuses one that appears meanwhile.
        struct stat existing {};
        if (::fstatat(dir.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            error.Set("the destination exists", EEXIST);
            return CREATEMOVFILE_DESTINATION_EXISTS;
        }

        const FinalLayout layout = LayOutFinalMovie(movie, FileSystemBlockSize(dirPath));
        auto moov = BuildMoov(movie, layout.moov);
        if (!moov) {
            error.message = moov.error();
            return CREATEMOVFILE_UNSUPPORTED;
        }

        IgnoreFileSizeSignal();
        UnfinishedFile unfinished;
        if (auto rc = CreateUnfinished(dir.get(), name, nameMax, kind, unfinished, error);
            rc != CREATEMOVFILE_OK)
            return rc;
        FileDescriptor out(unfinished.fd);
        std::optional<PartialRegistration> registration;
        if (!unfinished.partial.empty()) registration.emplace(dir.get(), unfinished.partial);
        struct RemoveUnlessKept {
            int dir;
            const std::string& partial;
            bool keep = false;
            ~RemoveUnlessKept() {
                if (!keep && !partial.empty()) ::unlinkat(dir, partial.c_str(), 0);
            }
        } cleanup{dir.get(), unfinished.partial};

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
        if (!WriteAll(out.get(), 0, head.bytes().data(), head.size(), error))
            return CREATEMOVFILE_WRITE_FAILED;
        Copier copier(sources, movie, out.get(), layout.copyBytes, layout.blockSize, progress);
        if (auto rc = copier.Run(layout.runs, error); rc != CREATEMOVFILE_OK) return rc;
        if (!WriteAll(out.get(), layout.moovOffset, moov->data(), moov->size(), error))
            return CREATEMOVFILE_WRITE_FAILED;
        // The data reaches the disk before the name does: a file system that allocates late
        // (ext4) could otherwise commit the name of an empty or short file, and a late full disk
        // shows here. Blocks shared with the source (XFS, btrfs) need no data written.
        if (::fdatasync(out.get()) != 0) {
            error.Set("cannot flush the movie to the disk");
            return CREATEMOVFILE_WRITE_FAILED;
        }
        if (progress.callback && progress.callback(BrevioMovFileEditorProgress, 1.0,
                                                   progress.user) == BrevioMovFileEditorCancel)
            return CREATEMOVFILE_CANCELLED;
        const int placed =
            unfinished.partial.empty()
                ? LinkUnnamed(out.get(), dir.get(), name.c_str())
                : RenameWithoutReplacing(dir.get(), unfinished.partial.c_str(), name.c_str());
        if (placed != 0) {
            if (placed == EEXIST) {
                error.Set("the destination exists", EEXIST);
                return CREATEMOVFILE_DESTINATION_EXISTS;
            }
            error.Set("cannot name the movie", placed);
            return CREATEMOVFILE_CREATE_FAILED;
        }
        cleanup.keep = true;
        // The name itself: flushed with the folder. The movie is whole and named either way, so
        // a folder that cannot be flushed (opened without read access) does not fail the save.
        ::fsync(dir.get());
        return CREATEMOVFILE_OK;
    } catch (const std::bad_alloc&) {
        error.Set("out of memory", ENOMEM);
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        WriteFailure& error) {
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

        IgnoreFileSizeSignal();
        std::filesystem::path dir = destination.parent_path();
        if (dir.empty()) dir = ".";
        std::string templ = (dir / ("." + destination.filename().string() + ".XXXXXX")).string();
        int fd = ::mkstemp(templ.data());
        if (fd < 0) {
            error.Set("cannot create a temporary file");
            return CREATEMOVFILE_CREATE_FAILED;
        }
        FileDescriptor out(fd);
        auto failed = [&](ERROR_CREATEMOVFILE rc) {
            ::unlink(templ.c_str());
            return rc;
        };
        // mkstemp makes the file private, as it stays: it names the source's full path.
        if (!WriteAll(fd, 0, bytes.data(), bytes.size(), error))
            return failed(CREATEMOVFILE_WRITE_FAILED);
        if (!out.Close()) {
            error.Set("close failed");
            return failed(CREATEMOVFILE_WRITE_FAILED);
        }
        if (::rename(templ.c_str(), destination.c_str()) != 0) {
            error.Set("cannot replace the destination");
            return failed(CREATEMOVFILE_CREATE_FAILED);
        }
        return CREATEMOVFILE_OK;
    } catch (const std::bad_alloc&) {
        error.Set("out of memory", ENOMEM);
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

}  // namespace brevio::engine
