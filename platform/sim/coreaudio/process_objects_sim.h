// The stand-in list of Core Audio process objects: one object per pid of the
// scenario's "audio.processes", in that order.
#pragma once

#include <vector>

#include "platform/coreaudio/process_objects_hal.h"
#include "platform/sim/scenario.h"

namespace quorvantel::sim {

// The object identifier of the first listed process; the rest follow in order.
inline constexpr AudioObjectID kFirstSimProcessObject = 0x1000;

class SimAudioProcessObjects final : public AudioProcessObjects {
public:
    // Reads "audio.processes" (default: none); each entry must be an integer pid.
    explicit SimAudioProcessObjects(const Section& audio);

    OSStatus AudioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                            std::uint32_t& outDataSize) override;
    OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& ioDataSize, void* data) override;

private:
    bool isProcessObject(AudioObjectID object) const;

    std::vector<std::int32_t> pids_;
};

}  // namespace quorvantel::sim
