// Real recordings for the tests and benchmarks of speech recognition: Debian's
// pocketsphinx-testdata WAV files with their reference transcripts, and the packet
// lines that carry such audio to the speech helper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvantel::testing {

// Where Debian's pocketsphinx-testdata puts its recordings.
inline constexpr const char* kPocketsphinxTestData = "/usr/share/pocketsphinx/test/data/";

// The samples of a 16-bit mono WAV file; raises std::runtime_error when it is not one.
std::vector<std::int16_t> readMonoWav16(const std::string& path);

// The words of a text, split at white space.
std::vector<std::string> splitWords(const std::string& text);

// The words of the utterance's line in a transcription file ("<s> words </s> (id)"),
// without the sentence marks; raises std::runtime_error when there is no such line.
std::vector<std::string> referenceWords(const std::string& transcriptionPath, const std::string& utterance);

// One audio packet line of interleaved 16-bit samples.
std::string audioPacketLine(const std::string& source, int rate, int channels, double startMs,
                            const std::int16_t* samples, std::size_t count);

}  // namespace quorvantel::testing
