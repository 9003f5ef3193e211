#pragma once
// The frame source: opens a movie and hands out the frame shown at a position as one encoded
// image. Created through the component registry under kFrameSourceName.
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ComponentRegistry.h"
#include "platform/HResult.h"

namespace brevio {

inline constexpr char kFrameSourceName[] = "Brevio.FrameSource";

// Open's kind for a movie file (the only kind there is).
inline constexpr int32_t kFrameSourceOpenMovie = 1;
// GetFrame's flags for the frame shown at the position (the only request there is).
inline constexpr int32_t kFrameSourceFrameShown = 0;

class IFrameData {
public:
    virtual ~IFrameData() = default;
    // One complete encoded image: the stored JPEG of a Motion JPEG sample that is one plain JPEG
    // image with its Huffman tables, else the decoded frame as a BMP.
    virtual HRESULT GetImageBytes(std::vector<uint8_t>* bytes) = 0;
};

class IFrameSource : public IComponent {
public:
    // E_POINTER for an empty path, E_INVALIDARG for another kind than 1, E_FAIL when the movie
    // cannot be opened or has no decodable video.
    virtual HRESULT Open(const QString& path, int32_t kind) = 0;
    // The frame shown at position (ticks; negative counts as 0, beyond the end gives the last
    // frame). E_POINTER for a null out, E_INVALIDARG for flags other than 0, E_FAIL when nothing
    // is open or the frame cannot be decoded.
    virtual HRESULT GetFrame(int64_t position, int32_t flags,
                             std::unique_ptr<IFrameData>* frame) = 0;
    // The stored size of the movie's frames, the size GetFrame's images have. E_POINTER for a null
    // out, E_FAIL when nothing is open; E_NOTIMPL from a source that offers only GetFrame.
    virtual HRESULT GetFrameSize(QSize* /*size*/) { return E_NOTIMPL; }
    // The frame shown at the position as a picture of exactly `size` pixels (Format_RGB32),
    // scaled straight from the decoder's frame, each pixel taking the source pixel under its
    // centre, as GetFrame's image drawn scaled without smoothing; no image of the full size is
    // made, and the codec's in-loop filters are skipped (invisible at such sizes). A Motion JPEG
    // sample that GetFrame hands out as stored is picked from the JPEG as Qt's reader decodes it.
    // E_POINTER for a null out, E_INVALIDARG for an empty size, E_FAIL as GetFrame.
    virtual HRESULT GetScaledFrame(int64_t /*position*/, QSize /*size*/, QImage* /*picture*/) {
        return E_NOTIMPL;
    }
};

// Adds the frame source's factory to the registry.
void RegisterFrameSourceComponent();

}  // namespace brevio
