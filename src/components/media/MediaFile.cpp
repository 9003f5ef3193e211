#include "MediaFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "Ticks.h"
#include "engine/CVarnoMovFile.h"
#include "engine/FileLocator.h"

namespace brevio::media {

using namespace brevio::engine;


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
    // The engine's own reading of each edit list, so that playing shows what cutting keeps.
    for (const auto& track : samples.tracks) {
        std::vector<PresentedRange> ranges;
        for (const auto& piece : track.presentation) {
            PresentedRange r;
            r.startTicks = MediaToTicks(piece.movieStart, samples.movieTimeScale);
            r.endTicks = piece.movieEnd == PresentedRange::kOpenEnd
                             ? PresentedRange::kOpenEnd
                             : MediaToTicks(piece.movieEnd, samples.movieTimeScale);
            r.mediaStart = piece.mediaStart;
            r.mediaEnd = piece.mediaEnd;
            if (r.endTicks > r.startTicks) ranges.push_back(r);
        }
        file->presentation_.push_back(std::move(ranges));
    }
    for (const auto& track : samples.tracks) {
        if (track.samples.empty() || track.mediaTimeScale == 0) continue;
        if (track.kind == TrackKind::Video && file->video_ == nullptr) file->video_ = &track;
        if (track.kind == TrackKind::Audio && file->audio_ == nullptr) file->audio_ = &track;
    }
    return file;
}

const std::vector<PresentedRange>& MediaFile::Presentation(
    const brevio::engine::TrackSamples& track) const {
    const auto index = static_cast<size_t>(&track - samples_->tracks.data());
    return presentation_.at(index);
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
