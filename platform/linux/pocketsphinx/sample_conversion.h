// The analyzer's float samples as the decoder's 16-bit input.
#pragma once

#include <cmath>
#include <cstdint>

namespace quorvantel::pocketsphinx {

// Full scale maps to the 16-bit range; louder samples saturate at its ends instead of
// wrapping into the opposite sign, and a sample that is not a number is silence.
inline std::int16_t decoderSample(float sample) {
    if (std::isnan(sample)) return 0;
    const double scaled = std::nearbyint(static_cast<double>(sample) * 32768.0);
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return static_cast<std::int16_t>(scaled);
}

}  // namespace quorvantel::pocketsphinx
