#include "MediaFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "Ticks.h"
#include "engine/CVarnoMovFile.h"
#include "engine/FileLocator.h"

namespace brevio::media {

using brevio::engine::TrackKind;

MediaFile::~MediaFile() {
    for (int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

std::shared_ptr<const MediaFile> MediaFile::Open(const std::filesystem::path& path,
                                                 std::string* error) {
    auto fail = [error](std::string why) -> std::shared_ptr<const MediaFile> {
        if (error) *error = std::move(why);
        return nullptr;
    };
    if (path.empty()) return fail("empty path");
    std::shared_ptr<MediaFile> file(new MediaFile());
    try {
        file->movie_ =
            std::make_unique<CVarnoMovFile>(FileLocator(path), CVarnoMovFile::Purpose::Playback);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    if (!file->movie_->IsValid()) return fail(file->movie_->GetError());
    file->samples_ = &file->movie_->GetSamples();
    const auto& samples = *file->samples_;
    for (const auto& name : samples.files) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail("cannot open " + name.string());
        file->fds_.push_back(fd);
    }
    file->durationTicks_ = MediaToTicks(samples.movieDuration, samples.movieTimeScale);
    for (const auto& track : samples.tracks) {
        if (track.samples.empty() || track.mediaTimeScale == 0) continue;
        if (track.kind == TrackKind::Video && file->video_ == nullptr) file->video_ = &track;
        if (track.kind == TrackKind::Audio && file->audio_ == nullptr) file->audio_ = &track;
    }
    return file;
}

bool MediaFile::ReadSample(const brevio::engine::SampleRef& sample,
                           std::vector<uint8_t>& out) const {
    out.resize(sample.size);
    return ReadBytes(sample.file, sample.offset, sample.size, out.data());
}

bool MediaFile::ReadBytes(uint32_t file, uint64_t offset, size_t size, uint8_t* dst) const {
    if (file >= fds_.size()) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fds_[file], dst + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace brevio::media
