#include "platform/linux/pipewire/stream_selection.h"

#include <algorithm>

namespace quorvantel::pipewire {
namespace {

enum class Side { left, right, both };

Side sideOf(const std::string& channel) {
    static const char* const left[] = {"FL", "RL", "SL", "FLC", "RLC", "TFL", "TRL", "FLW", "FLH"};
    static const char* const right[] = {"FR", "RR", "SR", "FRC", "RRC", "TFR", "TRR", "FRW", "FRH"};
    for (const char* name : left) {
        if (channel == name) return Side::left;
    }
    for (const char* name : right) {
        if (channel == name) return Side::right;
    }
    return Side::both;
}

}  // namespace

std::vector<std::uint32_t> selectedStreams(const std::vector<GraphNode>& nodes, bool exclusive,
                                           const std::set<std::uint32_t>& clients) {
    std::vector<std::uint32_t> streams;
    for (const auto& node : nodes) {
        if (node.mediaClass != kOutputStreamClass) continue;
        const bool listed = node.client && clients.count(*node.client) != 0;
        if (listed != exclusive) streams.push_back(node.id);
    }
    std::sort(streams.begin(), streams.end());
    return streams;
}

std::set<std::uint32_t> clientsOfProcessTrees(const std::map<std::uint32_t, std::int32_t>& clientProcesses,
                                              const std::set<std::int32_t>& roots,
                                              const std::function<std::int32_t(std::int32_t)>& parentOf) {
    std::set<std::uint32_t> clients;
    if (roots.empty()) return clients;
    for (const auto& [client, pid] : clientProcesses) {
        std::int32_t current = pid;
        for (int step = 0; step <= kMaximumAncestry && current > 1; ++step) {
            if (roots.count(current) != 0) {
                clients.insert(client);
                break;
            }
            current = parentOf(current);
        }
    }
    return clients;
}

std::set<std::pair<std::uint32_t, std::uint32_t>> plannedLinks(const std::vector<std::uint32_t>& streams,
                                                               const std::vector<GraphPort>& ports,
                                                               std::uint32_t captureNode) {
    std::optional<std::uint32_t> inLeft, inRight;
    for (const auto& port : ports) {
        if (port.node != captureNode || port.output) continue;
        if (port.channel == "FL") inLeft = port.id;
        if (port.channel == "FR") inRight = port.id;
    }
    std::set<std::pair<std::uint32_t, std::uint32_t>> links;
    if (!inLeft || !inRight) return links;
    for (const auto& port : ports) {
        if (!port.output || port.monitor || !std::binary_search(streams.begin(), streams.end(), port.node)) continue;
        const Side side = sideOf(port.channel);
        if (side != Side::right) links.emplace(port.id, *inLeft);
        if (side != Side::left) links.emplace(port.id, *inRight);
    }
    return links;
}

}  // namespace quorvantel::pipewire
