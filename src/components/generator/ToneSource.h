#pragma once
// The sound of a synthetic unit: a sine tone whose pitch rises from unit to unit.
#include <cstdint>

namespace brevio::generator {

// Pitch of unit `unitIndex` (0-based) in hertz: 330 Hz rising by a semitone per unit, over two
// octaves, then round again.
double UnitPitch(int unitIndex);

class ToneSource {
public:
    ToneSource(int unitIndex, int sampleRate, int channels);
    // Writes `count` interleaved frames of signed 16-bit samples, continuing where the last call
    // stopped.
    void Fill(int16_t* interleaved, int count);
    // The same as planar 32-bit floats (one plane per channel).
    void FillPlanarFloat(float* const* planes, int count);

private:
    double Next();
    double pitch_;
    int sampleRate_;
    int channels_;
    long long position_ = 0;
};

}  // namespace brevio::generator
