// brevio info FILE [--json]: what the editor sees in a movie: kind, time scale, duration, units.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "document/CBRVWrapper.h"
#include "document/TickTime.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "tool_movie.h"

namespace brevio::tool {

using namespace brevio::engine;

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

// Seconds with the tick resolution, e.g. 4.0040000.
std::string Seconds(int64_t ticks) {
    char buf[48];
    const char* sign = ticks < 0 ? "-" : "";
    uint64_t magnitude = ticks < 0 ? uint64_t(-(ticks + 1)) + 1 : uint64_t(ticks);
    std::snprintf(buf, sizeof buf, "%s%" PRIu64 ".%07" PRIu64, sign, magnitude / kTicksPerSecond,
                  magnitude % kTicksPerSecond);
    return buf;
}

// What the edit document opened, as info prints it.
struct OpenedMovie {
    const CBrevioMovie* movie = nullptr;
    bool chapters = false;
    int64_t totalTicks = 0;
    int64_t unitDurationTicks = 0;
};

struct UnitInfo {
    unsigned number;
    int32_t originalStart, currentStart, duration;
    std::string title;
};

void PrintText(const std::string& path, const OpenedMovie& m, const std::vector<UnitInfo>& units) {
    const int32_t scale = m.movie->GetTimeScale();
    std::printf("file: %s\n", path.c_str());
    std::printf("kind: %s\n", m.chapters ? "chapter movie" : "shooting-unit movie");
    std::printf("time scale: %d\n", scale);
    std::printf("total: %s s (%" PRId64 " ticks, %d in time scale)\n",
                Seconds(m.totalTicks).c_str(), m.totalTicks, m.movie->GetTotalDuration());
    std::printf("unit duration: %s s (%" PRId64 " ticks)\n", Seconds(m.unitDurationTicks).c_str(),
                m.unitDurationTicks);
    std::printf("%s: %zu\n", m.chapters ? "chapters" : "units", units.size());
    std::printf("%6s  %26s  %26s  %14s%s\n", "number", "original start s (ticks)",
                "current start s (ticks)", "duration s", m.chapters ? "  title" : "");
    for (const auto& u : units) {
        const int64_t original = ToTicks(u.originalStart, scale);
        const int64_t current = ToTicks(u.currentStart, scale);
        std::string o = Seconds(original) + " (" + std::to_string(original) + ")";
        std::string c = Seconds(current) + " (" + std::to_string(current) + ")";
        std::printf("%6u  %26s  %26s  %14s%s%s\n", u.number, o.c_str(), c.c_str(),
                    Seconds(ToTicks(u.duration, scale)).c_str(), m.chapters ? "  " : "",
                    u.title.c_str());
    }
}

void PrintJson(const OpenedMovie& m, const std::vector<UnitInfo>& units) {
    const int32_t scale = m.movie->GetTimeScale();
    std::printf(
        "{\"result\": 0, \"chapter_movie\": %s, \"time_scale\": %d, \"total_ticks\": %" PRId64
        ", \"unit_duration_ticks\": %" PRId64 ", \"units\": [",
        m.chapters ? "true" : "false", scale, m.totalTicks, m.unitDurationTicks);
    for (size_t i = 0; i < units.size(); ++i) {
        const auto& u = units[i];
        std::printf("%s\n  {\"number\": %u, \"original_start_ticks\": %" PRId64
                    ", \"start_ticks\": %" PRId64 ", \"duration_ticks\": %" PRId64,
                    i ? "," : "", u.number, ToTicks(u.originalStart, scale),
                    ToTicks(u.currentStart, scale), ToTicks(u.duration, scale));
        if (m.chapters) std::printf(", \"title\": %s", JsonString(u.title).c_str());
        std::printf("}");
    }
    std::printf("\n]}\n");
}

struct InfoArguments {
    std::string path;
    bool json = false;
};

int RunInfo(const InfoArguments& arguments) {
    const std::string& path = arguments.path;
    const bool json = arguments.json;
    CBRVWrapper document;
    const int result = document.Open(std::filesystem::path(path));
    if (result != 0) {
        const std::string& error = document.GetOpenError();
        std::fprintf(stderr, "brevio info: %s: %s (%s)\n", path.c_str(), DescribeOpenResult(result),
                     error.c_str());
        if (json)
            std::printf("{\"result\": %d, \"error\": %s}\n", result, JsonString(error).c_str());
        return result;
    }

    OpenedMovie movie;
    movie.movie = document.GetMovie();
    const CVarnoMovie* structure = document.GetFile()->GetVarnoMovie();
    movie.chapters = structure != nullptr && structure->HasChapter();
    document.GetTotalTime(&movie.totalTicks);
    movie.unitDurationTicks = document.GetUnitDuration();
    std::vector<std::string> titles;
    if (movie.chapters) titles = structure->GetChapterTitles();
    std::vector<UnitInfo> units;
    for (unsigned i = 0; i < movie.movie->GetShootingUnitCount(); ++i) {
        const auto& unit = movie.movie->GetShootingUnit(i);
        units.push_back(UnitInfo{i + 1, unit.GetOriginalStartTime(), unit.GetCurrentStartTime(),
                                 unit.GetDuration(),
                                 i < titles.size() ? titles[i] : std::string()});
    }
    if (json)
        PrintJson(movie, units);
    else
        PrintText(path, movie, units);
    return kExitOk;
}

CommandRunner DeclareInfo(CLI::App& command) {
    auto arguments = std::make_shared<InfoArguments>();
    command.add_option("FILE", arguments->path, "the movie")->required();
    command.add_flag("--json", arguments->json, "print JSON instead of text");
    return [arguments] { return RunInfo(*arguments); };
}

CommandRegistration reg("info", {"show the units (or chapters) of a Brevio movie",
                                 "usage: brevio info FILE [--json]\n", DeclareInfo});

}  // namespace

}  // namespace brevio::tool
