#include "tool_movie.h"

#include <new>

#include "engine/CVarnoMovie.h"

namespace brevio::tool {

const char* DescribeOpenResult(int code) {
    switch (code) {
        case 0:
            return "opened";
        case 3:
            return "not a Brevio movie";
        case 4:
            return "too short to edit";
        case 5:
            return "unreadable or invalid movie file";
        case 7:
            return "out of memory";
        default:
            return "failure";
    }
}

int OpenBrevioMovie(const std::string& path, OpenedMovie& opened, std::string& error) {
    std::unique_ptr<CVarnoMovFile> file;
    try {
        file = std::make_unique<CVarnoMovFile>(FileLocator(std::filesystem::path(path)));
    } catch (const std::bad_alloc&) {
        error = "out of memory while reading the movie";
        return 7;
    }
    if (!file->IsValid()) {
        error = file->GetError().empty() ? "invalid movie file" : file->GetError();
        return 5;
    }
    std::unique_ptr<CBrevioMovie> movie;
    try {
        movie = std::make_unique<CBrevioMovie>(file.get());
    } catch (const std::bad_alloc&) {
        error = "out of memory while reading the units";
        return 7;
    }
    if (!movie->IsValid()) {
        error = movie->GetError().empty() ? "not a Brevio movie" : movie->GetError();
        return 3;
    }
    const int32_t scale = movie->GetTimeScale();
    const int64_t total = ToTicks(movie->GetTotalDuration(), scale);
    const CVarnoMovie* structure = file->GetVarnoMovie();
    const bool chapters = structure && structure->HasChapter();
    if (chapters) {
        if (structure->GetChapterCount() < 2) {
            error = "a chapter movie needs at least two chapters";
            return 4;
        }
    } else if (total <= kMinimumTicks) {
        error = "the movie must be longer than 4.004 seconds";
        return 4;
    }
    opened.movie.reset();
    opened.file = std::move(file);
    opened.movie = std::move(movie);
    opened.chapters = chapters;
    opened.totalTicks = total;
    opened.unitDurationTicks =
        opened.movie->GetShootingUnitCount() >= 2
            ? ToTicks(opened.movie->GetShootingUnit(1).GetOriginalStartTime(), scale)
            : total;
    return 0;
}

}  // namespace brevio::tool
