#pragma once
// Turns an edited Brevio movie (its file and the kept units) into the movie to write: which
// samples of every track remain, under the cutting rules of the format.
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/impl/OutputMovie.h"
#include "engine/impl/Result.h"

namespace brevio::engine {

// What the plan cannot cut: uncompressed sound in several sample descriptions, media edits at
// a rate other than 1. Files for editing are refused at open when a track has one of these, so
// that every movie that opens can be written.
Status CheckCuttable(const TrackModel& track);

Result<OutputMovie> PlanEditedMovie(const CVarnoMovFile::Impl& file,
                                    const CBrevioMovie::Impl& movie);

// Fills the timing fields that follow from the samples: media and track durations.
void FinishTrackTiming(OutTrack& track, uint32_t movieTimeScale);

}  // namespace brevio::engine
