#include "engine/impl/MovieWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <new>

#include "engine/impl/AtomBuilder.h"
#include "engine/impl/MoovBuilder.h"

namespace brevio::engine {

namespace {

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

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

bool WriteAll(int fd, uint64_t offset, const uint8_t* data, size_t length, std::string& error) {
    while (length > 0) {
        ssize_t n = ::pwrite(fd, data, length, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = Errno("write failed");
            return false;
        }
        if (n == 0) {
            error = "write made no progress";
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

// One run of bytes to copy: a source range or in-memory bytes, to a destination offset.
struct CopyRun {
    uint32_t source = 0;
    uint64_t offset = 0;
    uint64_t bytes = 0;
    int32_t inlineData = -1;
    uint64_t destination = 0;
};

class Copier {
public:
    Copier(const SourceFiles& sources, const OutputMovie& movie, int out, uint64_t total,
           const Progress& progress)
        : sources_(sources), movie_(movie), out_(out), total_(total), progress_(progress) {
        block_ = 4 * 1024 * 1024;
    }

    ERROR_CREATEMOVFILE Run(const std::vector<CopyRun>& runs, std::string& error) {
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
                // Blocks end at percent boundaries so that every percent is reported.
                uint64_t nextPercent = (uint64_t(lastPercent_ + 1) * total_ + 99) / 100;
                uint64_t toBoundary = nextPercent > done_ ? nextPercent - done_ : block_;
                size_t step = size_t(std::min({left, block_, toBoundary}));
                if (auto rc = CopyBlock(sources_.handles[r.source]->fd(), in, to, step, error);
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
    ERROR_CREATEMOVFILE CopyBlock(int in, uint64_t inOffset, uint64_t outOffset, size_t length,
                                  std::string& error) {
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
                error = "the source file ended early";
                return CREATEMOVFILE_READ_FAILED;
            }
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL ||
                errno == EBADF || errno == EPERM) {
                useCopyRange_ = false;  // not supported between these files: plain reads and writes
                break;
            }
            error = Errno("copy failed");
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
                error = Errno("read failed");
                return CREATEMOVFILE_READ_FAILED;
            }
            if (n == 0) {
                error = "the source file ended early";
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

}  // namespace

ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, std::string& error) {
    try {
        // Chunks in source order: by file, then by offset; in-memory chunks last.
        std::vector<ChunkRef> order;
        uint64_t total = 0;
        for (size_t t = 0; t < movie.tracks.size(); ++t)
            for (size_t c = 0; c < movie.tracks[t].chunks.size(); ++c) {
                order.push_back({t, c});
                total += movie.tracks[t].chunks[c].bytes;
            }
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

        const std::vector<uint8_t> ftyp = BuildFtyp();
        const bool largeMdat = total + 8 > UINT32_MAX;
        const uint64_t mdatHeader = largeMdat ? 16 : 8;
        const uint64_t dataStart = ftyp.size() + mdatHeader;

        MoovLayout layout;
        layout.chunkOffsets.resize(movie.tracks.size());
        layout.dataUrls.resize(movie.tracks.size());
        for (size_t t = 0; t < movie.tracks.size(); ++t)
            layout.chunkOffsets[t].resize(movie.tracks[t].chunks.size());
        std::vector<CopyRun> runs;
        uint64_t pos = dataStart;
        for (const ChunkRef& r : order) {
            const OutChunk& c = chunkOf(r);
            layout.chunkOffsets[r.track][r.chunk] = pos;
            // Merge runs that continue each other in the source.
            if (!runs.empty() && c.inlineData < 0 && runs.back().inlineData < 0 &&
                runs.back().source == c.source &&
                runs.back().offset + runs.back().bytes == c.offset) {
                runs.back().bytes += c.bytes;
            } else {
                runs.push_back(CopyRun{c.source, c.offset, c.bytes, c.inlineData, pos});
            }
            pos += c.bytes;
        }
        auto moov = BuildMoov(movie, layout);
        if (!moov) {
            error = moov.error();
            return CREATEMOVFILE_UNSUPPORTED;
        }

        IgnoreFileSizeSignal();
        FileDescriptor out(
            ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (out.get() < 0) {
            bool exists = errno == EEXIST;
            error = Errno("cannot create the destination");
            return exists ? CREATEMOVFILE_DESTINATION_EXISTS : CREATEMOVFILE_CREATE_FAILED;
        }
        AtomBuilder head;
        head.Append(ftyp);
        if (largeMdat) {
            head.U32(1);
            head.U32(FourCC("mdat"));
            head.U64(total + 16);
        } else {
            head.U32(uint32_t(total + 8));
            head.U32(FourCC("mdat"));
        }
        if (!WriteAll(out.get(), 0, head.bytes().data(), head.size(), error))
            return CREATEMOVFILE_WRITE_FAILED;
        Copier copier(sources, movie, out.get(), total, progress);
        if (auto rc = copier.Run(runs, error); rc != CREATEMOVFILE_OK) return rc;
        if (!WriteAll(out.get(), pos, moov->data(), moov->size(), error))
            return CREATEMOVFILE_WRITE_FAILED;
        // No fsync: like cp and other copiers the movie is left to the page cache, which halves the
        // time of a save. Local file systems reserve space at write time, so a full disk is still
        // reported above; network file systems report late errors at close, which is checked.
        if (!out.Close()) {
            error = Errno("close failed");
            return CREATEMOVFILE_WRITE_FAILED;
        }
        if (progress.callback && progress.callback(BrevioMovFileEditorProgress, 1.0,
                                                   progress.user) == BrevioMovFileEditorCancel)
            return CREATEMOVFILE_CANCELLED;
        return CREATEMOVFILE_OK;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        std::string& error) {
    try {
        MoovLayout layout;
        for (const OutTrack& t : movie.tracks) {
            std::vector<uint64_t> offsets;
            uint32_t source = t.chunks.empty() ? 0 : t.chunks.front().source;
            for (const OutChunk& c : t.chunks) {
                if (c.inlineData >= 0 || c.source != source) {
                    error = "a track whose samples lie in several files";
                    return CREATEMOVFILE_UNSUPPORTED;
                }
                offsets.push_back(c.offset);
            }
            layout.chunkOffsets.push_back(std::move(offsets));
            layout.dataUrls.push_back(FileUrl(sources.paths[source].string()));
        }
        auto moov = BuildMoov(movie, layout);
        if (!moov) {
            error = moov.error();
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
            error = Errno("cannot create a temporary file");
            return CREATEMOVFILE_CREATE_FAILED;
        }
        FileDescriptor out(fd);
        auto failed = [&](ERROR_CREATEMOVFILE rc) {
            ::unlink(templ.c_str());
            return rc;
        };
        // mkstemp makes the file private; a reference movie is as readable as any movie.
        ::fchmod(fd, 0644);
        if (!WriteAll(fd, 0, bytes.data(), bytes.size(), error))
            return failed(CREATEMOVFILE_WRITE_FAILED);
        if (!out.Close()) {
            error = Errno("close failed");
            return failed(CREATEMOVFILE_WRITE_FAILED);
        }
        if (::rename(templ.c_str(), destination.c_str()) != 0) {
            error = Errno("cannot replace the destination");
            return failed(CREATEMOVFILE_CREATE_FAILED);
        }
        return CREATEMOVFILE_OK;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

}  // namespace brevio::engine
