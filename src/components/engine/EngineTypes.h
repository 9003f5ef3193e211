#pragma once
// Value types of the movie engine's interface. The engine uses only the standard library.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "SampleList.h"

namespace brevio::engine {

// Result of a write: 0 is success, every other value a failure.
enum ERROR_CREATEMOVFILE : int32_t {
    CREATEMOVFILE_OK = 0,
    CREATEMOVFILE_INVALID_ARGUMENT = 1,  // null movie, movie of another file, closed file
    CREATEMOVFILE_DESTINATION_EXISTS = 2,
    CREATEMOVFILE_CREATE_FAILED = 3,  // the destination could not be created
    CREATEMOVFILE_READ_FAILED = 4,    // the source could not be read
    CREATEMOVFILE_WRITE_FAILED = 5,   // a write failed (a full disk among others)
    CREATEMOVFILE_CANCELLED = 6,
    CREATEMOVFILE_OUT_OF_MEMORY = 7,
    CREATEMOVFILE_UNSUPPORTED = 8,     // a structure the writer cannot reproduce
    CREATEMOVFILE_SOURCE_CHANGED = 9,  // the source was changed while it was copied
};

// Why opening failed (CVarnoMovFile::GetOpenResult, CBrevioMovie::GetOpenResult): 0 is success.
enum EVARNOMOVFILE_OPEN : int32_t {
    VARNOMOVFILE_OPEN_OK = 0,
    VARNOMOVFILE_OPEN_INVALID = 1,        // unreadable, damaged, or not what the object accepts
    VARNOMOVFILE_OPEN_OUT_OF_MEMORY = 2,  // the tables could not be held in memory
};

enum EBrevioMovFileEditorProgressCallbackMessage : int32_t {
    BrevioMovFileEditorProgress = 1,  // the double is the fraction done, 0.0 to 1.0
    // The movie is whole and on the disk; answering Continue names it, after which the write can
    // no longer be cancelled. Answering Cancel leaves nothing.
    BrevioMovFileEditorCommit = 2,
};

enum EBrevioMovFileEditorProgressCallbackResult : int32_t {
    BrevioMovFileEditorContinue = 0,
    BrevioMovFileEditorCancel = 1,
};

using BrevioMovFileEditorProgressCallback = EBrevioMovFileEditorProgressCallbackResult (*)(
    EBrevioMovFileEditorProgressCallbackMessage message, double fraction, void* user);

// Four-character code, packed big-endian ('avc1' == 0x61766331).
constexpr uint32_t FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

enum class TrackKind { Video, Audio, Text, Other };

// A stretch of movie time as a track presents it: its media from mediaStart to mediaEnd played at
// normal speed, or nothing (an empty edit). Movie times in the movie time scale, media times in
// the track's.
struct PresentedPiece {
    static constexpr int64_t kOpenEnd = INT64_MAX;
    int64_t movieStart = 0;
    int64_t movieEnd = kOpenEnd;  // kOpenEnd: to the end of the media
    int64_t mediaStart = -1;      // -1: nothing is presented
    int64_t mediaEnd = -1;        // exclusive; kOpenEnd with an open movieEnd
    bool Empty() const { return mediaStart < 0; }
};

// One track of an opened file with its samples in decode order.
//
// Uncompressed audio ('twos', 'sowt', 'lpcm', 'in24', 'in32', 'fl32', 'fl64', 'raw ', 'ulaw',
// 'alaw' with a constant frame size) is not listed frame by frame: each SampleRef is one whole
// chunk, with `size` its bytes, `decodeTime` the media time of its first frame and `duration`
// its length in the media time scale (its frame count when each frame lasts 1, as usual).
// Such tracks have bytesPerFrame > 0; a consumer splits a chunk into size / bytesPerFrame frames.
// For every other track bytesPerFrame is 0 and each SampleRef is one stored sample.
struct TrackSamples {
    uint32_t trackId = 0;
    TrackKind kind = TrackKind::Other;
    uint32_t handler = 0;  // 'vide', 'soun', 'text', ...
    uint32_t format = 0;   // sample entry type: 'avc1', 'jpeg', 'mp4a', 'lpcm', 'twos', 'sowt',
                           // 'text', 'tx3g', ...
    uint32_t mediaTimeScale = 0;
    // The whole first sample description entry of 'stsd' (size and type included).
    std::vector<uint8_t> sampleEntry;
    // Decoder configuration extracted from the entry: the avcC / hvcC payload for video, the
    // AudioSpecificConfig of 'esds' for AAC; empty when the codec needs none.
    std::vector<uint8_t> codecConfig;
    // Video.
    uint16_t width = 0, height = 0;
    // Audio.
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;  // of uncompressed audio; 0 otherwise
    uint32_t sampleRate = 0;     // audio frames per second
    bool bigEndian = false;      // uncompressed audio byte order ('twos', 'lpcm' with that flag)
    bool floatingPoint = false;
    uint32_t bytesPerFrame = 0;  // uncompressed audio: bytes of one frame of all channels
    // Presentation: media time at which the track starts (first edit of 'elst'); 0 without one.
    int64_t editMediaTime = 0;
    // The whole edit list read the way cutting reads it: pieces in movie order from 0, without
    // gaps. A track without an edit list presents its whole media from 0.
    std::vector<PresentedPiece> presentation;
    SampleList samples;
};

// Sample access of an opened file; a reference movie resolves its samples to the source file.
struct MovieSamples {
    std::vector<std::filesystem::path> files;
    uint32_t movieTimeScale = 0;
    int64_t movieDuration = 0;  // movie time scale
    std::vector<TrackSamples> tracks;
};

}  // namespace brevio::engine
