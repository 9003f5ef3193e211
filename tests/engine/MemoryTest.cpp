// Sample tables kept compact: the list answers as the tables say, in order and at random.
// Opening within bounded memory: tables of tens of millions of samples open in proportion to
// the movie atom, absurd sample counts are refused, and running out of memory is reported as
// such, up to the edit document's result. Each case runs in a child process under an address-space
// limit (RLIMIT_AS), which sanitizers' shadow memory makes meaningless, so those builds skip.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "document/CBRVWrapper.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "testmovies/TestMovies.h"

using namespace brevio::engine;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using brevio::engine::SampleList;
using brevio::engine::SampleRef;
using brevio::testmovies::Audio;
using brevio::testmovies::MakeMovie;
using brevio::testmovies::MovieOptions;
using brevio::testmovies::RunCommand;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

void Put32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
void PutType(Bytes& b, const char* t) {
    b.insert(b.end(), t, t + 4);
}
Bytes Box(const char* type, const Bytes& payload) {
    Bytes b;
    Put32(b, uint32_t(payload.size() + 8));
    PutType(b, type);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}
Bytes Full(uint32_t versionAndFlags = 0) {
    Bytes b;
    Put32(b, versionAndFlags);
    return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

struct TableMovie {
    uint32_t samples = 0;
    uint32_t fixedSize = 1;   // 0: a size table of 1-byte samples
    uint32_t chunks = 1;      // samples spread evenly, the remainder in the last chunk
    uint64_t mediaBytes = 0;  // mdat payload (a hole in a sparse file)
};

// One Motion JPEG track of 1/30 s samples, all key frames, one unit. Returns the moov size.
uint64_t WriteTableMovie(const fs::path& path, const TableMovie& m) {
    const uint32_t count = m.samples;
    Bytes ftyp = Box("ftyp", Cat({{'q', 't', ' ', ' '}, {0, 0, 0, 0}, {'q', 't', ' ', ' '}}));
    const uint64_t dataStart = ftyp.size() + 16;  // 64-bit mdat header
    Bytes mvhd = Full();
    for (int i = 0; i < 2; ++i) Put32(mvhd, 0);
    Put32(mvhd, 1000), Put32(mvhd, uint32_t(uint64_t(m.samples) * 1000 / 30));
    Put32(mvhd, 0x10000), mvhd.push_back(1), mvhd.push_back(0);
    mvhd.resize(mvhd.size() + 10 + 36 + 24, 0);
    Put32(mvhd, 2);
    Bytes tkhd = Full(3);
    for (int i = 0; i < 2; ++i) Put32(tkhd, 0);
    Put32(tkhd, 1), Put32(tkhd, 0), Put32(tkhd, uint32_t(uint64_t(m.samples) * 1000 / 30));
    tkhd.resize(tkhd.size() + 8 + 8 + 36, 0);
    Put32(tkhd, 320u << 16), Put32(tkhd, 240u << 16);
    Bytes mdhd = Full();
    for (int i = 0; i < 2; ++i) Put32(mdhd, 0);
    Put32(mdhd, 30), Put32(mdhd, count), Put32(mdhd, 0);
    Bytes hdlr = Full();
    Put32(hdlr, 0), PutType(hdlr, "vide"), hdlr.resize(hdlr.size() + 13, 0);
    Bytes vmhd = Full(1);
    vmhd.resize(vmhd.size() + 8, 0);
    Bytes dref = Full();
    Put32(dref, 1);
    dref = Cat({dref, Box("url ", Full(1))});
    Bytes entry(6, 0);
    entry.push_back(0), entry.push_back(1);  // data reference 1
    entry.resize(entry.size() + 16, 0);
    entry.push_back(320 >> 8), entry.push_back(320 & 255), entry.push_back(0), entry.push_back(240);
    Put32(entry, 0x480000), Put32(entry, 0x480000), Put32(entry, 0);
    entry.push_back(0), entry.push_back(1);
    entry.resize(entry.size() + 32, 0);
    entry.push_back(0), entry.push_back(24), entry.push_back(0xff), entry.push_back(0xff);
    Bytes stsd = Full();
    Put32(stsd, 1);
    stsd = Cat({stsd, Box("jpeg", entry)});
    Bytes stts = Full();
    Put32(stts, 1), Put32(stts, count), Put32(stts, 1);
    const uint32_t perChunk = m.samples / m.chunks;
    Bytes stsc = Full();
    const uint32_t last = m.samples - perChunk * (m.chunks - 1);
    Put32(stsc, last == perChunk || m.chunks == 1 ? 1 : 2);
    Put32(stsc, 1), Put32(stsc, m.chunks == 1 ? last : perChunk), Put32(stsc, 1);
    if (last != perChunk && m.chunks > 1) Put32(stsc, m.chunks), Put32(stsc, last), Put32(stsc, 1);
    Bytes stsz = Full();
    Put32(stsz, m.fixedSize), Put32(stsz, count);
    if (m.fixedSize == 0)
        for (uint32_t i = 0; i < count; ++i) Put32(stsz, 1);
    Bytes stco = Full();
    Put32(stco, m.chunks);
    for (uint32_t c = 0; c < m.chunks; ++c)
        Put32(stco, uint32_t(dataStart + uint64_t(c) * perChunk));
    Bytes stbl = Cat({Box("stsd", stsd), Box("stts", stts), Box("stsc", stsc), Box("stsz", stsz),
                      Box("stco", stco)});
    Bytes minf = Cat({Box("vmhd", vmhd), Box("dinf", Box("dref", dref)), Box("stbl", stbl)});
    Bytes mdia = Cat({Box("mdhd", mdhd), Box("hdlr", hdlr), Box("minf", minf)});
    Bytes trak = Cat({Box("tkhd", tkhd), Box("mdia", mdia)});
    Bytes brvu = Full();
    Put32(brvu, 1), Put32(brvu, 0);
    Bytes moov =
        Box("moov", Cat({Box("mvhd", mvhd), Box("trak", trak), Box("udta", Box("BRVU", brvu))}));

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(ftyp.data()), std::streamsize(ftyp.size()));
    Bytes mdat;
    Put32(mdat, 1), PutType(mdat, "mdat");
    Put32(mdat, uint32_t((m.mediaBytes + 16) >> 32)), Put32(mdat, uint32_t(m.mediaBytes + 16));
    out.write(reinterpret_cast<const char*>(mdat.data()), 16);
    out.seekp(std::streamoff(dataStart + m.mediaBytes));  // a hole
    out.write(reinterpret_cast<const char*>(moov.data()), std::streamsize(moov.size()));
    return moov.size();
}

uint64_t AddressSpace() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(::sysconf(_SC_PAGESIZE));
}

// Runs `body` in a child whose address space may grow by `budget` bytes; its exit code.
int RunWithinBudget(uint64_t budget, const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        const rlim_t limit = rlim_t(AddressSpace() + budget);
        struct rlimit rl {
            limit, limit
        };
        if (::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// 0 valid Brevio movie, 1 invalid file, 2 out of memory, 3 invalid units, 4 units out of memory.
int OpenResult(const fs::path& path) {
    CVarnoMovFile file{FileLocator(path)};
    if (file.GetOpenResult() != VARNOMOVFILE_OPEN_OK)
        return file.GetOpenResult() == VARNOMOVFILE_OPEN_OUT_OF_MEMORY ? 2 : 1;
    CBrevioMovie movie(&file);
    if (movie.GetOpenResult() != VARNOMOVFILE_OPEN_OK)
        return movie.GetOpenResult() == VARNOMOVFILE_OPEN_OUT_OF_MEMORY ? 4 : 3;
    return 0;
}

constexpr uint64_t MB = 1024 * 1024;

TEST(EngineMemory, TablesOpenWithinTwiceTheMovieAtomAndAbsurdCountsAreRefused) {
    if (kSanitized) GTEST_SKIP() << "address-space limits cannot be measured under sanitizers";
    brevio::testmovies::TempDir dir("memory");
    struct Case {
        const char* what;
        TableMovie movie;
        int expected;
    };
    const Case cases[] = {
        // 50 million one-byte samples in a 55 MB file: every sample is real, none is stored.
        {"fixed-size samples", {50'000'000, 1, 1000, 55 * MB}, 0},
        // Eight million samples in as many chunks with a size table: a 64 MB movie atom.
        {"size table", {8'000'000, 0, 8'000'000, 8'000'000}, 0},
        // More samples than the media data has bytes.
        {"count the file cannot hold", {60'000'000, 1, 1, 1000}, 1},
        // Beyond the engine's cap, though the file could hold them.
        {"beyond the cap", {70'000'000, 1, 1, 70 * MB}, 1},
    };
    for (const Case& c : cases) {
        const fs::path path = dir / "tables.mov";
        const uint64_t moov = WriteTableMovie(path, c.movie);
        const int rc = RunWithinBudget(2 * moov + 32 * MB, [&] { return OpenResult(path); });
        EXPECT_EQ(rc, c.expected) << c.what << " (movie atom " << moov / MB << " MB)";
    }
}

TEST(EngineMemory, RunningOutOfMemoryIsReportedAsSuch) {
    if (kSanitized) GTEST_SKIP() << "address-space limits cannot be measured under sanitizers";
    brevio::testmovies::TempDir dir("memory");
    const fs::path path = dir / "tables.mov";
    WriteTableMovie(path, {4'000'000, 0, 4'000'000, 4'000'000});  // a 32 MB movie atom
    EXPECT_EQ(RunWithinBudget(8 * MB, [&] { return OpenResult(path); }), 2);
    // The edit document reports it as a failure (7), not as an invalid file (5).
    EXPECT_EQ(RunWithinBudget(8 * MB,
                              [&] {
                                  brevio::CBRVWrapper document;
                                  return int(document.Open(QString::fromStdString(path.string())));
                              }),
              7);
    // With room enough the same file opens.
    EXPECT_EQ(RunWithinBudget(128 * MB, [&] { return OpenResult(path); }), 0);
}

// The compact list answers what ffprobe reads from the same tables (byte position, size, key
// frame of every video packet in decode order), and random access past the stored positions
// answers what walking in order does.
TEST(EngineSampleList, AnswersAsTheTablesSayInOrderAndAtRandom) {
    MovieOptions options;
    options.units = 4;
    options.bframes = true;
    options.audio = Audio::Aac;
    const fs::path movie = MakeMovie(options);
    auto probe = RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                             "packet=pos,size,flags", "-of", "csv=p=0", movie.string()});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    std::vector<std::string> expected;
    std::istringstream lines(probe.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            expected.push_back(line.substr(0, line.find(',', line.find(',') + 1)) +
                               (line.find('K') != std::string::npos ? ",K" : ","));

    CVarnoMovFile file{FileLocator(movie)};
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    for (const auto& track : file.GetSamples().tracks) {
        const SampleList& list = track.samples;
        std::vector<SampleRef> walked(list.begin(), list.end());
        ASSERT_EQ(walked.size(), list.size());
        if (track.kind == brevio::engine::TrackKind::Video) {
            std::vector<std::string> got;
            for (const SampleRef& s : walked)
                got.push_back(std::to_string(s.size) + "," + std::to_string(s.offset) +
                              (s.sync ? ",K" : ","));
            EXPECT_EQ(got, expected);
        }
        std::mt19937 random(7);
        for (int k = 0; k < 2000 && !walked.empty(); ++k) {
            const size_t i = random() % walked.size();
            const SampleRef a = list[i], b = *(list.begin() + std::ptrdiff_t(i)), &w = walked[i];
            for (const SampleRef& r : {a, b}) {
                ASSERT_EQ(r.offset, w.offset) << "sample " << i;
                ASSERT_EQ(r.size, w.size) << "sample " << i;
                ASSERT_EQ(r.decodeTime, w.decodeTime) << "sample " << i;
                ASSERT_EQ(r.duration, w.duration) << "sample " << i;
                ASSERT_EQ(r.compositionOffset, w.compositionOffset) << "sample " << i;
                ASSERT_EQ(r.sync, w.sync) << "sample " << i;
            }
        }
    }
}

}  // namespace
