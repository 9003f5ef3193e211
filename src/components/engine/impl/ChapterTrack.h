#pragma once
// A QuickTime chapter track made from scratch: a disabled text track, one sample per chapter.
#include <string>
#include <vector>

#include "engine/impl/OutputMovie.h"

namespace brevio::engine {

// Adds the chapter track to `movie` (its headers kept in `storage`, which must outlive the
// movie). Chapter i starts at starts[i] (movie time scale) and runs to the next or to the end.
void AddChapterTrack(OutputMovie& movie, TrackModel& storage, uint32_t trackId,
                     const std::vector<uint32_t>& starts, const std::vector<std::string>& titles);

// A 'tref' atom naming the chapter track.
std::vector<uint8_t> ChapterReference(uint32_t chapterTrackId);

// Sets mvhd's next track id.
void SetNextTrackId(MovieModel& movie, uint32_t nextId);

}  // namespace brevio::engine
