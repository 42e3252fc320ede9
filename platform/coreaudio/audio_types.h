// Core Audio's plain data: status codes, object identifiers and property addresses,
// stream formats, buffer lists and time stamps. Shared by the Core Audio and
// AudioToolbox interfaces; nothing here does any work.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvantel {

using OSStatus = std::int32_t;

// A four-character code as the platform spells its selectors and statuses.
constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline constexpr OSStatus kAudioHardwareNoError = 0;
inline constexpr OSStatus kAudio_ParamError = -50;
inline constexpr OSStatus kAudioHardwareNotRunningError = OSStatus(fourCharCode("stop"));
inline constexpr OSStatus kAudioHardwareUnspecifiedError = OSStatus(fourCharCode("what"));
inline constexpr OSStatus kAudioHardwareUnknownPropertyError = OSStatus(fourCharCode("who?"));
inline constexpr OSStatus kAudioHardwareBadPropertySizeError = OSStatus(fourCharCode("!siz"));
inline constexpr OSStatus kAudioHardwareIllegalOperationError = OSStatus(fourCharCode("nope"));
inline constexpr OSStatus kAudioHardwareBadObjectError = OSStatus(fourCharCode("!obj"));
inline constexpr OSStatus kAudioHardwareBadDeviceError = OSStatus(fourCharCode("!dev"));
inline constexpr OSStatus kAudioDevicePermissionsError = OSStatus(fourCharCode("!hog"));
static_assert(kAudioDevicePermissionsError == 560492391);

using AudioObjectID = std::uint32_t;
using AudioObjectPropertySelector = std::uint32_t;
using AudioObjectPropertyScope = std::uint32_t;
using AudioObjectPropertyElement = std::uint32_t;

inline constexpr AudioObjectID kAudioObjectUnknown = 0;
inline constexpr AudioObjectID kAudioObjectSystemObject = 1;

struct AudioObjectPropertyAddress {
    AudioObjectPropertySelector mSelector = 0;
    AudioObjectPropertyScope mScope = 0;
    AudioObjectPropertyElement mElement = 0;
};

inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeGlobal = fourCharCode("glob");
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeInput = fourCharCode("inpt");
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeOutput = fourCharCode("outp");
inline constexpr AudioObjectPropertyElement kAudioObjectPropertyElementMain = 0;

inline constexpr AudioObjectPropertySelector kAudioTapPropertyFormat = fourCharCode("tfmt");
inline constexpr AudioObjectPropertySelector kAudioTapPropertyDescription = fourCharCode("tdsc");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyStreamFormat = fourCharCode("sfmt");

// Stream formats.
using AudioFormatID = std::uint32_t;
using AudioFormatFlags = std::uint32_t;

inline constexpr AudioFormatID kAudioFormatLinearPCM = fourCharCode("lpcm");

inline constexpr AudioFormatFlags kAudioFormatFlagIsFloat = 1u << 0;
inline constexpr AudioFormatFlags kAudioFormatFlagIsBigEndian = 1u << 1;
inline constexpr AudioFormatFlags kAudioFormatFlagIsSignedInteger = 1u << 2;
inline constexpr AudioFormatFlags kAudioFormatFlagIsPacked = 1u << 3;
inline constexpr AudioFormatFlags kAudioFormatFlagIsAlignedHigh = 1u << 4;
inline constexpr AudioFormatFlags kAudioFormatFlagIsNonInterleaved = 1u << 5;

struct AudioStreamBasicDescription {
    double mSampleRate = 0;
    AudioFormatID mFormatID = 0;
    AudioFormatFlags mFormatFlags = 0;
    std::uint32_t mBytesPerPacket = 0;
    std::uint32_t mFramesPerPacket = 0;
    std::uint32_t mBytesPerFrame = 0;
    std::uint32_t mChannelsPerFrame = 0;
    std::uint32_t mBitsPerChannel = 0;
    std::uint32_t mReserved = 0;
};
// The tap and device format properties are read into buffers of exactly this size.
static_assert(sizeof(AudioStreamBasicDescription) == 40);

// Buffers of audio. Apple's list ends in a variable-length array; this interface
// holds a fixed number of buffers inline so that no caller indexes past an array.
struct AudioBuffer {
    std::uint32_t mNumberChannels = 0;
    std::uint32_t mDataByteSize = 0;
    void* mData = nullptr;
};

inline constexpr std::size_t kAudioBufferListCapacity = 8;

struct AudioBufferList {
    std::uint32_t mNumberBuffers = 0;
    AudioBuffer mBuffers[kAudioBufferListCapacity];
};

// Time stamps of audio callbacks.
inline constexpr std::uint32_t kAudioTimeStampSampleTimeValid = 1u << 0;
inline constexpr std::uint32_t kAudioTimeStampHostTimeValid = 1u << 1;
inline constexpr std::uint32_t kAudioTimeStampRateScalarValid = 1u << 2;

struct AudioTimeStamp {
    double mSampleTime = 0;
    std::uint64_t mHostTime = 0;
    double mRateScalar = 0;
    std::uint64_t mWordClockTime = 0;
    std::uint32_t mFlags = 0;
    std::uint32_t mReserved = 0;
};

}  // namespace quorvantel
