#include "engine/CVarnoMovFile.h"

#include <algorithm>
#include <new>

#include "engine/impl/AtomParsers.h"
#include "engine/impl/EditPlan.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieParser.h"
#include "engine/impl/SampleTable.h"
#include "engine/impl/TrackTimeline.h"

namespace brevio::engine {

namespace {

struct TrackData {
    uint32_t fileIndex = 0;
    const DataSpace* space = nullptr;
};

}  // namespace

void CVarnoMovFile::Impl::Open(const std::filesystem::path& p, Purpose how) {
    path = p;
    purpose = how;
    auto fail = [this](std::string message) {
        valid = false;
        error = std::move(message);
        samples = MovieSamples{};
        model = MovieModel{};
        handles.clear();
    };

    auto opened = FileHandle::OpenRead(p);
    if (!opened) return fail(opened.error());
    FileHandle self = std::move(*opened);

    auto top = ScanTopLevel(self);
    if (!top) return fail(top.error());
    const Atom* moov = nullptr;
    DataSpace selfSpace;
    selfSpace.fileSize = self.size();
    for (const Atom& a : *top) {
        if (a.type == FourCC("moov")) {
            if (moov) return fail("more than one movie atom");
            moov = &a;
        } else if (a.type == FourCC("mdat")) {
            selfSpace.ranges.emplace_back(a.offset + a.headerSize, a.offset + a.size);
        }
    }
    if (!moov) return fail("no movie atom");
    // Sample tables of even very long movies take a few tens of megabytes.
    constexpr uint64_t kMaxMovieAtom = 256ull * 1024 * 1024;
    if (moov->size > kMaxMovieAtom) return fail("movie atom too large");
    {
        // The atom's bytes go as soon as they are parsed: the model holds the tables as stored.
        auto moovBytes =
            self.ReadVector(moov->offset + moov->headerSize, size_t(moov->size - moov->headerSize));
        if (!moovBytes) return fail(moovBytes.error());
        auto parsed = ParseMovie(*moovBytes);
        if (!parsed) return fail(parsed.error());
        model = std::move(*parsed);
    }
    uint64_t listed = 0;
    for (const TrackModel& tm : model.tracks) listed += ListedSampleCount(tm);
    if (listed > kMaxListedSamples)
        return fail("more samples than any movie this engine edits (" + std::to_string(listed) +
                    ")");

    samples = MovieSamples{};
    samples.files.push_back(std::filesystem::absolute(p));
    samples.movieTimeScale = model.timeScale;
    samples.movieDuration = int64_t(std::min<uint64_t>(model.duration, INT64_MAX));
    handles.clear();
    handles.push_back(std::move(self));
    std::vector<DataSpace> externalSpaces;
    externalSpaces.reserve(model.tracks.size());

    for (size_t ti = 0; ti < model.tracks.size(); ++ti) {
        const TrackModel& tm = model.tracks[ti];
        const std::string where = "track " + std::to_string(ti + 1) + ": ";
        // What opens for editing can be cut and written.
        if (purpose == Purpose::Editing)
            if (auto s = CheckCuttable(tm); !s) return fail(where + s.error());
        // Which file holds the samples: the data reference of the first sample description.
        uint32_t fileIndex = 0;
        const DataSpace* space = &selfSpace;
        if (tm.dataRefs.empty()) return fail(where + "no data reference");
        {
            uint16_t refIndex = tm.description.dataRefIndex;
            if (refIndex == 0 || refIndex > tm.dataRefs.size())
                return fail(where + "sample description names a missing data reference");
            for (const DataRef& ref : tm.dataRefs) {
                if (ref.flags & 1) continue;
                if (purpose == Purpose::Editing)
                    return fail(where + "the media lies in another file");
            }
            const DataRef& ref = tm.dataRefs[refIndex - 1];
            if (!(ref.flags & 1)) {
                if (ref.type != FourCC("url "))
                    return fail(where + "unsupported data reference '" + FourCCText(ref.type) +
                                "'");
                std::string local = atoms::FileUrlToPath(ref.location);
                if (local.empty()) return fail(where + "data reference is not a local file URL");
                std::filesystem::path ext(local);
                auto it = std::find(samples.files.begin(), samples.files.end(), ext);
                if (it == samples.files.end()) {
                    auto h = FileHandle::OpenRead(ext);
                    if (!h) return fail(where + "referenced media: " + h.error());
                    DataSpace s;
                    s.fileSize = h->size();
                    s.wholeFile = true;
                    externalSpaces.push_back(s);
                    samples.files.push_back(ext);
                    handles.push_back(std::move(*h));
                    it = samples.files.end() - 1;
                }
                fileIndex = uint32_t(it - samples.files.begin());
                space = &externalSpaces[fileIndex - 1];
            }
        }

        auto refs = BuildSampleList(tm, fileIndex, *space);
        if (!refs) return fail(where + refs.error());

        TrackSamples ts;
        ts.trackId = tm.trackId;
        ts.kind = tm.Kind();
        ts.handler = tm.handler;
        ts.format = tm.description.format;
        ts.mediaTimeScale = tm.mediaTimeScale;
        ts.sampleEntry = tm.description.entry;
        ts.codecConfig = tm.description.codecConfig;
        ts.width = tm.description.width;
        ts.height = tm.description.height;
        ts.channels = tm.description.channels;
        ts.sampleRate = tm.description.sampleRate;
        if (UsesChunkSamples(tm)) {
            ts.bitsPerSample = tm.description.bitsPerSample;
            ts.bigEndian = tm.description.bigEndian;
            ts.floatingPoint = tm.description.floatingPoint;
            ts.bytesPerFrame = tm.description.bytesPerFrame;
        }
        ts.editMediaTime = tm.EditMediaTime();
        ts.presentation = TrackTimeline(tm, model.timeScale).Pieces(0, PresentedPiece::kOpenEnd);
        ts.samples = std::move(*refs);
        samples.tracks.push_back(std::move(ts));
    }

    // The chapter track: a text track named by another track's tref/chap.
    chapterTrack = -1;
    for (const TrackModel& tm : model.tracks) {
        for (uint32_t id : tm.chapterTrackIds) {
            for (size_t i = 0; i < model.tracks.size() && chapterTrack < 0; ++i)
                if (model.tracks[i].trackId == id && model.tracks[i].Kind() == TrackKind::Text)
                    chapterTrack = int(i);
        }
    }
    mainVideoTrack = -1;
    for (size_t i = 0; i < model.tracks.size(); ++i) {
        const TrackModel& tm = model.tracks[i];
        if (tm.Kind() != TrackKind::Video || samples.tracks[i].samples.empty()) continue;
        if (mainVideoTrack < 0 ||
            ((tm.tkhdFlags & 1) && !(model.tracks[size_t(mainVideoTrack)].tkhdFlags & 1)))
            mainVideoTrack = int(i);
    }
    valid = true;
    error.clear();
}

Result<std::vector<uint8_t>> CVarnoMovFile::Impl::ReadSample(const SampleRef& s) const {
    if (s.file >= handles.size()) return Fail("no such file");
    return handles[s.file].ReadVector(s.offset, s.size);
}

CVarnoMovFile::CVarnoMovFile(const FileLocator& locator, Purpose purpose) {
    try {
        impl_ = std::make_unique<Impl>();
        impl_->Open(locator.GetPath(), purpose);
        if (impl_->valid) impl_->movie = std::make_unique<CVarnoMovie>(*this);
    } catch (const std::exception& e) {
        if (!impl_) throw;
        impl_->valid = false;
        impl_->outOfMemory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
        impl_->error = impl_->outOfMemory ? "out of memory" : e.what();
        impl_->model = MovieModel{};
        impl_->samples = MovieSamples{};
        impl_->handles.clear();
        impl_->movie.reset();
    }
}

CVarnoMovFile::~CVarnoMovFile() = default;

bool CVarnoMovFile::IsValid() const {
    return impl_->valid;
}
const std::string& CVarnoMovFile::GetError() const {
    return impl_->error;
}
EVARNOMOVFILE_OPEN CVarnoMovFile::GetOpenResult() const {
    if (impl_->valid) return VARNOMOVFILE_OPEN_OK;
    return impl_->outOfMemory ? VARNOMOVFILE_OPEN_OUT_OF_MEMORY : VARNOMOVFILE_OPEN_INVALID;
}
const CVarnoMovie* CVarnoMovFile::GetVarnoMovie() const {
    return impl_->valid ? impl_->movie.get() : nullptr;
}
const std::filesystem::path& CVarnoMovFile::GetPath() const {
    return impl_->path;
}
const MovieSamples& CVarnoMovFile::GetSamples() const {
    return impl_->samples;
}

}  // namespace brevio::engine
