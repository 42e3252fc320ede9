// Core Audio's audio process objects: the system object lists one object per process
// that plays or records audio, and each object names its process identifier. Read
// with AudioObjectGetPropertyDataSize and AudioObjectGetPropertyData as on macOS.
#pragma once

#include <cstdint>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel {

// The system object's list of process objects (an array of AudioObjectID).
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyProcessObjectList = fourCharCode("prs#");
// A process object's process identifier (a 32-bit pid_t).
inline constexpr AudioObjectPropertySelector kAudioProcessPropertyPID = fourCharCode("ppid");

class AudioProcessObjects {
public:
    virtual ~AudioProcessObjects() = default;
    // The size in bytes of the property's data.
    virtual OSStatus AudioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                    std::uint32_t& outDataSize) = 0;
    // Copies at most ioDataSize bytes of the property's data into data and sets
    // ioDataSize to the number of bytes written.
    virtual OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                                std::uint32_t& ioDataSize, void* data) = 0;
};

}  // namespace quorvantel
