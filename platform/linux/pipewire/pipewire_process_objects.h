// Core Audio's process objects on PipeWire: one object per client of the graph that
// names its process (application.process.id), the client of a program that plays or
// records. Object identifiers are the client ids moved clear of the system object.
#pragma once

#include <optional>

#include "platform/coreaudio/process_objects_hal.h"
#include "platform/linux/pipewire/pipewire_graph.h"

namespace quorvantel::pipewire {

inline constexpr AudioObjectID kFirstClientObject = 0x10000;

inline AudioObjectID clientObject(std::uint32_t client) { return kFirstClientObject + client; }
std::optional<std::uint32_t> clientOfObject(AudioObjectID object);

class PipeWireProcessObjects final : public AudioProcessObjects {
public:
    explicit PipeWireProcessObjects(PipeWireGraph& graph) : graph_(graph) {}

    // The first call connects to the server (raising its ServiceFailure).
    OSStatus AudioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                            std::uint32_t& outDataSize) override;
    OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& ioDataSize, void* data) override;

private:
    PipeWireGraph& graph_;
};

}  // namespace quorvantel::pipewire
