#include "generator/ToneSource.h"

#include <cmath>

namespace brevio::generator {

double UnitPitch(int unitIndex) {
    return 330.0 * std::pow(2.0, (unitIndex % 24) / 12.0);
}

ToneSource::ToneSource(int unitIndex, int sampleRate, int channels)
    : pitch_(UnitPitch(unitIndex)), sampleRate_(sampleRate), channels_(channels) {}

double ToneSource::Next() {
    const double t = double(position_++) / sampleRate_;
    return 0.4 * std::sin(2.0 * M_PI * pitch_ * t);
}

void ToneSource::Fill(int16_t* interleaved, int count) {
    for (int i = 0; i < count; ++i) {
        const auto value = int16_t(std::lround(Next() * 32767.0));
        for (int c = 0; c < channels_; ++c) *interleaved++ = value;
    }
}

void ToneSource::FillPlanarFloat(float* const* planes, int count) {
    for (int i = 0; i < count; ++i) {
        const auto value = float(Next());
        for (int c = 0; c < channels_; ++c) planes[c][i] = value;
    }
}

}  // namespace brevio::generator
