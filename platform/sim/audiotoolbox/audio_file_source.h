// What the stand-in machine plays from a file: the whole file read once, as
// interleaved float frames at the rate and channel count of the device that plays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvantel::sim {

// Reads the audio file at path (any format libsndfile reads) and returns its frames
// converted to `rate` frames per second and `channels` channels (1 or 2): a mono file
// plays on both channels, the first two channels of a larger one are kept, and a
// stereo file played on one channel is mixed down. Raises ScenarioError naming the
// file when it cannot be read.
std::vector<float> readAudioFileFrames(const std::string& path, double rate, std::uint32_t channels);

}  // namespace quorvantel::sim
