// Which output streams of the PipeWire graph a tap mixes, and which links carry
// them into the helper's capture stream. A tap of processes takes the streams of
// those processes' clients; an excluding tap takes every other output stream. The
// graph mixes everything linked into one input port on one clock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvantel::pipewire {

inline constexpr const char* kOutputStreamClass = "Stream/Output/Audio";

struct GraphNode {
    std::uint32_t id = 0;
    std::string mediaClass;
    std::optional<std::uint32_t> client;  // the client that owns the node
};

struct GraphPort {
    std::uint32_t id = 0;
    std::uint32_t node = 0;
    bool output = false;
    bool monitor = false;  // a sink's or stream's monitor of its input
    std::string channel;   // audio.channel: FL, FR, MONO, …
};

// The output streams the tap mixes, ascending. `clients` are the tap's processes as
// client ids; `exclusive` takes every stream but theirs (a stream whose client is
// unknown included), otherwise only theirs.
std::vector<std::uint32_t> selectedStreams(const std::vector<GraphNode>& nodes, bool exclusive,
                                           const std::set<std::uint32_t>& clients);

// The clients whose process is one of `roots` or descends from one, following each
// process's parent (`parentOf`, 0 when unknown) at most `kMaximumAncestry` steps.
inline constexpr int kMaximumAncestry = 64;
std::set<std::uint32_t> clientsOfProcessTrees(const std::map<std::uint32_t, std::int32_t>& clientProcesses,
                                              const std::set<std::int32_t>& roots,
                                              const std::function<std::int32_t(std::int32_t)>& parentOf);

// The links (output port, input port) that carry the selected streams into the
// capture node's two input ports: left channels to FL, right channels to FR, and a
// channel of neither side (mono, centre, bass) to both.
std::set<std::pair<std::uint32_t, std::uint32_t>> plannedLinks(const std::vector<std::uint32_t>& streams,
                                                               const std::vector<GraphPort>& ports,
                                                               std::uint32_t captureNode);

}  // namespace quorvantel::pipewire
