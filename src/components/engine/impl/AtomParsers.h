#pragma once
// One parser per atom: each reads its atom's payload into the movie model and checks that every
// count fits in the bytes present, so nothing is allocated beyond what the atom holds.
#include "engine/impl/Atoms.h"
#include "engine/impl/MovieModel.h"

namespace brevio::engine::atoms {

// Header atoms.
Status ParseMvhd(const Atom& atom, MovieModel& movie);
Status ParseTkhd(const Atom& atom, TrackModel& track);
Status ParseMdhd(const Atom& atom, TrackModel& track);
Status ParseHdlr(const Atom& atom, uint32_t& handler);
Status ParseElst(const Atom& atom, TrackModel& track);
Status ParseTref(const Atom& atom, TrackModel& track);
Status ParseDref(const Atom& atom, std::vector<DataRef>& refs);
// The local path of a file:// URL (percent escapes decoded); empty for other URLs.
std::string FileUrlToPath(const std::string& url);
Status ParseBrvu(const Atom& atom, std::vector<uint32_t>& starts);

// Sample table atoms.
Status ParseStts(const Atom& atom, SampleTables& t);
Status ParseCtts(const Atom& atom, SampleTables& t);
Status ParseStss(const Atom& atom, SampleTables& t);
Status ParseStsc(const Atom& atom, SampleTables& t);
Status ParseStsz(const Atom& atom, SampleTables& t);
Status ParseChunkOffsets(const Atom& atom, SampleTables& t);  // stco or co64

// Sample description: the first entry of stsd, read according to the track's handler.
Status ParseStsd(const Atom& atom, uint32_t handler, SampleDescription& d, uint32_t& count);

}  // namespace brevio::engine::atoms
