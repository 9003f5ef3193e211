#pragma once
// The playback component: the media back end that the entry point checks before it opens a movie.
// Created through the component registry under kPlaybackComponentName; creation fails when the
// FFmpeg build lacks a decoder that camera movies need.
#include <cstdint>

#include "platform/ComponentRegistry.h"
#include "platform/HResult.h"

namespace brevio {

inline constexpr char kPlaybackComponentName[] = "Brevio.PlaybackComponent";
// The version this build reports; the entry point needs at least kRequiredPlaybackVersion.
inline constexpr uint32_t kPlaybackComponentVersion = 0x10009;
inline constexpr uint32_t kRequiredPlaybackVersion = 0x10009;

// The version query of the component.
class IPlaybackVersion : public IComponent {
public:
    // E_POINTER for a null out.
    virtual HRESULT GetVersion(uint32_t* version) = 0;
};

// Adds the component's factory to the registry.
void RegisterPlaybackComponent();

// Creates the component, checks that it answers the version query and that the version is at least
// kRequiredPlaybackVersion. False when the name is not registered, creation fails, the object has
// no version query, the query fails or the version is too old; exceptions count as failure.
bool CheckPlaybackComponent();

}  // namespace brevio
