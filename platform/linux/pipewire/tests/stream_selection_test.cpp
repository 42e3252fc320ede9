#include "platform/linux/pipewire/stream_selection.h"

#include <gtest/gtest.h>

namespace quorvantel::pipewire {
namespace {

GraphNode node(std::uint32_t id, const char* mediaClass, std::optional<std::uint32_t> client) {
    return GraphNode{id, mediaClass, client};
}

TEST(StreamSelection, StreamsOfTheTapsProcessesOrOfAllOthersAsTheyComeAndGo) {
    // Clients: 41 the selected application, 47 its helper process, 52 another
    // application, 60 the helper itself. Node 30 is the sink, 70 the capture stream.
    std::vector<GraphNode> graph = {
        node(30, "Audio/Sink", std::nullopt),       node(42, kOutputStreamClass, 41),
        node(70, "Stream/Input/Audio", 60),         node(55, kOutputStreamClass, 52),
        node(58, kOutputStreamClass, std::nullopt),
    };
    const struct {
        const char* what;
        bool exclusive;
        std::set<std::uint32_t> clients;
        std::vector<std::uint32_t> streams;
    } before[] = {
        {"the application", false, {41}, {42}},
        {"the application and its helper", false, {41, 47}, {42}},
        {"an application that plays nothing", false, {99}, {}},
        {"nothing listed", false, {}, {}},
        {"all but the host and the helper", true, {52, 60}, {42, 58}},
        {"all", true, {}, {42, 55, 58}},
    };
    for (const auto& c : before) EXPECT_EQ(selectedStreams(graph, c.exclusive, c.clients), c.streams) << c.what;

    // The helper process starts to play; the other application's stream ends.
    graph.push_back(node(80, kOutputStreamClass, 47));
    graph.erase(graph.begin() + 3);
    EXPECT_EQ(selectedStreams(graph, false, {41, 47}), (std::vector<std::uint32_t>{42, 80}));
    EXPECT_EQ(selectedStreams(graph, true, {41, 47, 60}), (std::vector<std::uint32_t>{58}));
}

TEST(StreamSelection, ClientsOfAnApplicationsProcessesAndTheirDescendants) {
    // Process tree: 100 the host application, 101 its renderer, 102 the renderer's
    // player; 200 a second process of the same application; 300 another program;
    // 400 a loop of parents that never reaches a root.
    const std::map<std::int32_t, std::int32_t> parents = {{100, 1}, {101, 100}, {102, 101}, {200, 1},
                                                          {300, 1}, {400, 401}, {401, 400}};
    const auto parentOf = [&](std::int32_t pid) {
        const auto found = parents.find(pid);
        return found == parents.end() ? 0 : found->second;
    };
    const std::map<std::uint32_t, std::int32_t> clients = {{40, 100}, {41, 102}, {42, 200}, {43, 300}, {44, 400},
                                                           {45, 999}};
    EXPECT_EQ(clientsOfProcessTrees(clients, {100, 200}, parentOf), (std::set<std::uint32_t>{40, 41, 42}));
    EXPECT_EQ(clientsOfProcessTrees(clients, {101}, parentOf), (std::set<std::uint32_t>{41}));
    EXPECT_EQ(clientsOfProcessTrees(clients, {}, parentOf), std::set<std::uint32_t>{});
    EXPECT_EQ(clientsOfProcessTrees(clients, {1}, parentOf), std::set<std::uint32_t>{});  // the first process roots nothing
}

TEST(StreamSelection, ChannelsGoToTheirSideAndMonitorsNowhere) {
    const std::vector<GraphPort> ports = {
        {1, 70, false, false, "FL"},   {2, 70, false, false, "FR"},   {3, 70, true, true, "FL"},
        {10, 42, true, false, "FL"},   {11, 42, true, false, "FR"},   {12, 42, false, false, "FL"},
        {20, 55, true, false, "MONO"}, {30, 58, true, false, "FC"},   {31, 58, true, false, "RL"},
        {32, 58, true, false, "SR"},   {33, 58, true, true, "FL"},    {40, 99, true, false, "FL"},
    };
    using Links = std::set<std::pair<std::uint32_t, std::uint32_t>>;
    EXPECT_EQ(plannedLinks({42, 55, 58}, ports, 70),
              (Links{{10, 1}, {11, 2}, {20, 1}, {20, 2}, {30, 1}, {30, 2}, {31, 1}, {32, 2}}));
    EXPECT_EQ(plannedLinks({}, ports, 70), Links{});
    // Until the capture node has both input ports there is nothing to link to.
    EXPECT_EQ(plannedLinks({42}, ports, 71), Links{});
}

}  // namespace
}  // namespace quorvantel::pipewire
