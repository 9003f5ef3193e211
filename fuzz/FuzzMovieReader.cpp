// Feeds arbitrary bytes to the movie reader as a file, then exercises units, sample access,
// editing and the planning and building of the cut movie's atoms.
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "engine/impl/EditPlan.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MoovBuilder.h"
#include "engine/impl/MovieImpl.h"
#include "engine/impl/MovieParser.h"

using namespace brevio::engine;

namespace {

void Exercise(const CVarnoMovFile& file) {
    if (!file.IsValid()) return;
    const auto& samples = file.GetSamples();
    uint64_t sum = 0;
    for (const auto& t : samples.tracks)
        for (const auto& s : t.samples) sum += s.offset + s.size + uint64_t(s.decodeTime);
    (void)sum;
    const CVarnoMovie* movie = file.GetVarnoMovie();
    if (movie->HasChapter() && movie->GetChapterCount() < 1000) (void)movie->GetChapterTitles();

    CBrevioMovie brevio(&file);
    if (!brevio.IsValid()) return;
    unsigned count = brevio.GetShootingUnitCount();
    (void)brevio.GetShootingUnit(count);  // out of range is answered, not undefined
    if (count > 1) {
        brevio.RemoveShootingUnit(count / 2);
        brevio.RemoveShootingUnit(0);
    }
    std::vector<unsigned> state;
    brevio.GetEditingState(state);
    brevio.SetEditingState({0});
    brevio.SetEditingState(state);

    // Plan the cut movie and build its atoms, then read them back.
    auto plan = brevio::engine::PlanEditedMovie(file.GetImpl(), brevio.GetImpl());
    if (!plan) return;
    brevio::engine::MoovLayout layout;
    for (const auto& t : plan->tracks) {
        std::vector<uint64_t> offsets;
        uint64_t pos = 1000;
        for (const auto& c : t.chunks) {
            offsets.push_back(pos);
            pos += c.bytes;
        }
        layout.chunkOffsets.push_back(std::move(offsets));
        layout.dataUrls.push_back(std::string());
    }
    auto moov = brevio::engine::BuildMoov(*plan, layout);
    if (!moov || moov->size() < 8) return;
    auto reparsed =
        brevio::engine::ParseMovie(brevio::engine::Bytes(moov->data() + 8, moov->size() - 8));
    if (!reparsed) __builtin_trap();  // the writer must produce what the reader accepts

    // Write both movies; what the engine writes from a valid movie must open as the same
    // Brevio movie again.
    static const std::string dir = [] {
        char templ[] = "/tmp/brevio-fuzz-XXXXXX";
        return std::string(::mkdtemp(templ) ? templ : "/tmp");
    }();
    const std::string final = dir + "/final.mov", reference = dir + "/reference.mov";
    ::unlink(final.c_str());
    CBrevioMovFileEditor editor(file);
    if (editor.CreateNewMovFile(FileLocator{final}, &brevio) == CREATEMOVFILE_OK) {
        CVarnoMovFile written(FileLocator{final});
        CBrevioMovie again(&written);
        if (!again.IsValid() || again.GetShootingUnitCount() != brevio.GetShootingUnitCount() ||
            again.GetTotalDuration() != brevio.GetTotalDuration())
            __builtin_trap();
    }
    ::unlink(final.c_str());
    if (editor.CreateReferenceMovFile(FileLocator{reference}, &brevio) == CREATEMOVFILE_OK) {
        CVarnoMovFile written(FileLocator{reference}, CVarnoMovFile::Purpose::Playback);
        CBrevioMovie again(&written);
        if (!again.IsValid() || again.GetShootingUnitCount() != brevio.GetShootingUnitCount())
            __builtin_trap();
    }
    ::unlink(reference.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = ::memfd_create("movie", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    {
        CVarnoMovFile editing(FileLocator{path});
        Exercise(editing);
        CVarnoMovFile playback(FileLocator{path}, CVarnoMovFile::Purpose::Playback);
        Exercise(playback);
    }
    ::close(fd);
    return 0;
}
