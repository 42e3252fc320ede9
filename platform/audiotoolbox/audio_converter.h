// AudioToolbox's audio converter: a stateful converter between two linear PCM
// formats that pulls its input through a callback (AudioConverterFillComplexBuffer).
//
// The operations are members of a service object so that tests can stand in a
// converter that misbehaves; systemAudioConverters() is the one this system has.
#pragma once

#include <cstdint>

#include "platform/coreaudio/audio_types.h"

namespace quorvantel {

// Each implementation derives its converter state from this.
struct OpaqueAudioConverter {
    virtual ~OpaqueAudioConverter() = default;
};
using AudioConverterRef = OpaqueAudioConverter*;

using AudioConverterPropertyID = std::uint32_t;

inline constexpr AudioConverterPropertyID kAudioConverterSampleRateConverterQuality = fourCharCode("srcq");
inline constexpr AudioConverterPropertyID kAudioConverterPrimeMethod = fourCharCode("prmm");

inline constexpr std::uint32_t kAudioConverterQuality_Max = 0x7F;
inline constexpr std::uint32_t kAudioConverterQuality_High = 0x60;
inline constexpr std::uint32_t kAudioConverterQuality_Medium = 0x40;
inline constexpr std::uint32_t kAudioConverterQuality_Low = 0x20;
inline constexpr std::uint32_t kAudioConverterQuality_Min = 0;

inline constexpr std::uint32_t kConverterPrimeMethod_Pre = 0;
inline constexpr std::uint32_t kConverterPrimeMethod_Normal = 1;
inline constexpr std::uint32_t kConverterPrimeMethod_None = 2;

inline constexpr OSStatus kAudioConverterErr_FormatNotSupported = OSStatus(fourCharCode("fmt?"));
inline constexpr OSStatus kAudioConverterErr_PropertyNotSupported = OSStatus(fourCharCode("prop"));
inline constexpr OSStatus kAudioConverterErr_BadPropertySizeError = OSStatus(fourCharCode("!siz"));
inline constexpr OSStatus kAudioConverterErr_InvalidInputSize = OSStatus(fourCharCode("insz"));
inline constexpr OSStatus kAudioConverterErr_InvalidOutputSize = OSStatus(fourCharCode("otsz"));
inline constexpr OSStatus kAudioConverterErr_UnspecifiedError = OSStatus(fourCharCode("what"));

struct AudioStreamPacketDescription {
    std::int64_t mStartOffset = 0;
    std::uint32_t mVariableFramesInPacket = 0;
    std::uint32_t mDataByteSize = 0;
};

// The input callback. On entry *ioNumberDataPackets is how many packets the
// converter would like; the callback sets it to how many it gives in ioData. Giving
// 0 packets with status 0 ends the stream (the converter then drains its tail); a
// non-zero status ends this conversion call, which returns it.
// outDataPacketDescription is null for linear PCM, which needs no descriptions.
using AudioConverterComplexInputDataProc = OSStatus (*)(AudioConverterRef converter,
                                                        std::uint32_t* ioNumberDataPackets,
                                                        AudioBufferList* ioData,
                                                        AudioStreamPacketDescription** outDataPacketDescription,
                                                        void* inUserData);

class AudioConverterService {
public:
    virtual ~AudioConverterService() = default;

    virtual OSStatus AudioConverterNew(const AudioStreamBasicDescription* inSourceFormat,
                                       const AudioStreamBasicDescription* inDestinationFormat,
                                       AudioConverterRef* outAudioConverter) = 0;
    virtual OSStatus AudioConverterSetProperty(AudioConverterRef converter, AudioConverterPropertyID property,
                                               std::uint32_t dataSize, const void* data) = 0;
    // Fills outOutputData with up to *ioOutputDataPacketSize packets, pulling input
    // through inputProc as needed; sets *ioOutputDataPacketSize to the packets made.
    virtual OSStatus AudioConverterFillComplexBuffer(AudioConverterRef converter,
                                                     AudioConverterComplexInputDataProc inputProc,
                                                     void* inInputDataProcUserData,
                                                     std::uint32_t* ioOutputDataPacketSize,
                                                     AudioBufferList* outOutputData,
                                                     AudioStreamPacketDescription* outPacketDescription) = 0;
    // Forgets all buffered input and state, ready for a new stream.
    virtual OSStatus AudioConverterReset(AudioConverterRef converter) = 0;
    virtual OSStatus AudioConverterDispose(AudioConverterRef converter) = 0;
};

// The converter of this system: on Linux, libsoxr resampling between interleaved
// 32-bit float formats of equal channel count.
AudioConverterService& systemAudioConverters();

}  // namespace quorvantel
