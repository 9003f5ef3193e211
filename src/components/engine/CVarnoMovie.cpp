#include "engine/CVarnoMovie.h"

#include "engine/impl/FileImpl.h"
#include "engine/impl/Utf8.h"

namespace brevio::engine {

bool CVarnoMovie::HasChapter() const {
    return file_.GetImpl().chapterTrack >= 0;
}

unsigned CVarnoMovie::GetChapterCount() const {
    const auto& impl = file_.GetImpl();
    if (impl.chapterTrack < 0) return 0;
    return unsigned(impl.samples.tracks[size_t(impl.chapterTrack)].samples.size());
}

std::vector<std::string> CVarnoMovie::GetChapterTitles() const {
    std::vector<std::string> titles;
    const auto& impl = file_.GetImpl();
    if (impl.chapterTrack < 0) return titles;
    for (const SampleRef& s : impl.samples.tracks[size_t(impl.chapterTrack)].samples) {
        auto bytes = impl.ReadSample(s);
        titles.push_back(bytes ? DecodeChapterTitle(*bytes) : std::string());
    }
    return titles;
}

int32_t CVarnoMovie::GetTimeScale() const {
    return int32_t(file_.GetImpl().model.timeScale);
}
int64_t CVarnoMovie::GetDuration() const {
    return file_.GetImpl().samples.movieDuration;
}
const MovieSamples& CVarnoMovie::GetSamples() const {
    return file_.GetSamples();
}

std::string DecodeChapterTitle(const std::vector<uint8_t>& sample) {
    if (sample.size() < 2) return {};
    size_t length = (size_t(sample[0]) << 8) | sample[1];
    length = std::min(length, sample.size() - 2);
    const uint8_t* p = sample.data() + 2;
    if (length >= 2 && ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE))) {
        bool big = p[0] == 0xFE;
        std::string out;
        for (size_t i = 2; i + 1 < length; i += 2) {
            uint32_t u = big ? (uint32_t(p[i]) << 8 | p[i + 1]) : (uint32_t(p[i + 1]) << 8 | p[i]);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < length) {
                uint32_t lo = big ? (uint32_t(p[i + 2]) << 8 | p[i + 3])
                                  : (uint32_t(p[i + 3]) << 8 | p[i + 2]);
                if (lo >= 0xDC00 && lo < 0xE000) {
                    AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            AppendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
        }
        return out;
    }
    return std::string(reinterpret_cast<const char*>(p), length);
}

}  // namespace brevio::engine
