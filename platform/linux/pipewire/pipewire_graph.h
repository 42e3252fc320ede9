// The helper's connection to the PipeWire server of the session, made as any desktop
// client makes it (XDG_RUNTIME_DIR, PIPEWIRE_REMOTE), on first use. It keeps a view
// of the graph's clients (with the process each belongs to), nodes and ports, updated
// on PipeWire's own thread as they appear and end.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/linux/pipewire/stream_selection.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_registry;

namespace quorvantel::pipewire {

inline constexpr const char* kNoPipeWireMessage =
    "PipeWire is not running, so computer audio cannot be recorded. Start PipeWire and WirePlumber in your desktop "
    "session (on most systems: systemctl --user start pipewire wireplumber) and try again.";

// How long the server may take to answer a round trip before it counts as gone.
inline constexpr int kServerAnswerTimeoutSeconds = 2;

class PipeWireGraph {
public:
    PipeWireGraph();
    ~PipeWireGraph();
    PipeWireGraph(const PipeWireGraph&) = delete;
    PipeWireGraph& operator=(const PipeWireGraph&) = delete;

    // Connects on the first call and waits until the graph's objects are known;
    // raises a ServiceFailure with kNoPipeWireMessage when no server answers.
    void connect();

    // PipeWire's thread; hold its lock (Lock) to use the core or read the view.
    pw_thread_loop* loop() const { return loop_; }
    pw_core* core() const { return core_; }

    class Lock {
    public:
        explicit Lock(const PipeWireGraph& graph);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pw_thread_loop* loop_;
    };

    // The view, read under the lock.
    std::vector<GraphNode> nodes() const;
    std::vector<GraphPort> ports() const;
    // Clients that name their process: client id → process id.
    std::map<std::uint32_t, std::int32_t> clientProcesses() const;
    bool lost() const { return lost_; }

    // Called on PipeWire's thread (with the lock held) after the view changed, and
    // once when the server went away.
    void setObserver(std::function<void()> changed, std::function<void()> lost);

    // Waits, under the lock, until the server has answered everything asked so far;
    // false when it did not answer in time.
    bool roundTrip();

    struct Object;

private:
    friend struct GraphEvents;
    void globalAdded(std::uint32_t id, const char* type, std::uint32_t version);
    void globalRemoved(std::uint32_t id);
    void notifyChanged();

    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_registry* registry_ = nullptr;
    struct Hooks;
    std::unique_ptr<Hooks> hooks_;
    std::map<std::uint32_t, std::unique_ptr<Object>> objects_;
    bool lost_ = false;
    int pendingSeq_ = -1;
    bool answered_ = false;
    std::function<void()> changed_;
    std::function<void()> lostObserver_;
};

}  // namespace quorvantel::pipewire
