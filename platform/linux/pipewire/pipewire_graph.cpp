#include "platform/linux/pipewire/pipewire_graph.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <optional>
#include <pipewire/pipewire.h>
#include <string>

#include "platform/foundation/service_failure.h"

namespace quorvantel::pipewire {

enum class Kind { client, node, port };

struct PipeWireGraph::Object {
    PipeWireGraph* graph = nullptr;
    std::uint32_t id = 0;
    Kind kind = Kind::client;
    pw_proxy* proxy = nullptr;
    spa_hook listener{};
    // What the object's info said.
    std::optional<std::int32_t> pid;
    GraphNode node;
    GraphPort port;
    bool known = false;
};

struct PipeWireGraph::Hooks {
    spa_hook core{};
    spa_hook registry{};
};

namespace {

std::optional<std::uint32_t> number(const spa_dict* props, const char* key) {
    const char* text = props ? spa_dict_lookup(props, key) : nullptr;
    if (text == nullptr) return std::nullopt;
    std::uint32_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, value);
    if (error != std::errc() || at != end) return std::nullopt;
    return value;
}

std::string text(const spa_dict* props, const char* key) {
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? value : "";
}

void readProps(PipeWireGraph::Object& object, const spa_dict* props) {
    switch (object.kind) {
        case Kind::client:
            if (const auto pid = number(props, PW_KEY_APP_PROCESS_ID); pid && *pid > 0 && *pid <= INT32_MAX) {
                object.pid = static_cast<std::int32_t>(*pid);
            }
            break;
        case Kind::node:
            object.node.id = object.id;
            object.node.mediaClass = text(props, PW_KEY_MEDIA_CLASS);
            object.node.client = number(props, PW_KEY_CLIENT_ID);
            break;
        case Kind::port:
            object.port.id = object.id;
            object.port.node = number(props, PW_KEY_NODE_ID).value_or(0);
            object.port.output = text(props, PW_KEY_PORT_DIRECTION) == "out";
            object.port.monitor = text(props, PW_KEY_PORT_MONITOR) == "true";
            object.port.channel = text(props, PW_KEY_AUDIO_CHANNEL);
            break;
    }
    object.known = true;
}

}  // namespace

struct GraphEvents {
    static void clientInfo(void* data, const pw_client_info* info) {
        auto* object = static_cast<PipeWireGraph::Object*>(data);
        // Other changes (a node's state, a port's parameters) come without properties.
        if ((info->change_mask & PW_CLIENT_CHANGE_MASK_PROPS) == 0 || info->props == nullptr) return;
        readProps(*object, info->props);
        object->graph->notifyChanged();
    }
    static void nodeInfo(void* data, const pw_node_info* info) {
        auto* object = static_cast<PipeWireGraph::Object*>(data);
        // Other changes (a node's state, a port's parameters) come without properties.
        if ((info->change_mask & PW_NODE_CHANGE_MASK_PROPS) == 0 || info->props == nullptr) return;
        readProps(*object, info->props);
        object->graph->notifyChanged();
    }
    static void portInfo(void* data, const pw_port_info* info) {
        auto* object = static_cast<PipeWireGraph::Object*>(data);
        // Other changes (a node's state, a port's parameters) come without properties.
        if ((info->change_mask & PW_PORT_CHANGE_MASK_PROPS) == 0 || info->props == nullptr) return;
        readProps(*object, info->props);
        object->graph->notifyChanged();
    }
    static void global(void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t version,
                       const spa_dict*) {
        static_cast<PipeWireGraph*>(data)->globalAdded(id, type, version);
    }
    static void globalRemove(void* data, std::uint32_t id) { static_cast<PipeWireGraph*>(data)->globalRemoved(id); }
    static void coreDone(void* data, std::uint32_t id, int seq) {
        auto* graph = static_cast<PipeWireGraph*>(data);
        if (id == PW_ID_CORE && seq == graph->pendingSeq_) {
            graph->answered_ = true;
            pw_thread_loop_signal(graph->loop_, false);
        }
    }
    static void coreError(void* data, std::uint32_t id, int, int res, const char*) {
        auto* graph = static_cast<PipeWireGraph*>(data);
        // A broken connection to the server: it is gone for this helper.
        if (id == PW_ID_CORE && res == -EPIPE && !graph->lost_) {
            graph->lost_ = true;
            if (graph->lostObserver_) graph->lostObserver_();
            pw_thread_loop_signal(graph->loop_, false);
        }
    }
};

namespace {

const pw_client_events kClientEvents = {PW_VERSION_CLIENT_EVENTS, GraphEvents::clientInfo, nullptr};
const pw_node_events kNodeEvents = {PW_VERSION_NODE_EVENTS, GraphEvents::nodeInfo, nullptr};
const pw_port_events kPortEvents = {PW_VERSION_PORT_EVENTS, GraphEvents::portInfo, nullptr};
const pw_registry_events kRegistryEvents = {PW_VERSION_REGISTRY_EVENTS, GraphEvents::global,
                                            GraphEvents::globalRemove};

pw_core_events coreEvents() {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.done = GraphEvents::coreDone;
    events.error = GraphEvents::coreError;
    return events;
}
const pw_core_events kCoreEvents = coreEvents();

}  // namespace

PipeWireGraph::Lock::Lock(const PipeWireGraph& graph) : loop_(graph.loop_) { pw_thread_loop_lock(loop_); }
PipeWireGraph::Lock::~Lock() { pw_thread_loop_unlock(loop_); }

PipeWireGraph::PipeWireGraph() : hooks_(std::make_unique<Hooks>()) {}

PipeWireGraph::~PipeWireGraph() {
    if (loop_ == nullptr) return;
    pw_thread_loop_lock(loop_);
    for (auto& [id, object] : objects_) {
        spa_hook_remove(&object->listener);
        pw_proxy_destroy(object->proxy);
    }
    objects_.clear();
    if (registry_ != nullptr) {
        spa_hook_remove(&hooks_->registry);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
    }
    if (core_ != nullptr) {
        spa_hook_remove(&hooks_->core);
        pw_core_disconnect(core_);
    }
    pw_thread_loop_unlock(loop_);
    pw_thread_loop_stop(loop_);
    if (context_ != nullptr) pw_context_destroy(context_);
    pw_thread_loop_destroy(loop_);
}

void PipeWireGraph::connect() {
    if (core_ != nullptr) {
        if (lost_) throw ServiceFailure(kNoPipeWireMessage);
        return;
    }
    pw_init(nullptr, nullptr);
    if (loop_ == nullptr) {
        loop_ = pw_thread_loop_new("quorvantel-capture", nullptr);
        if (loop_ == nullptr) throw ServiceFailure(kNoPipeWireMessage);
        context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
        if (context_ == nullptr || pw_thread_loop_start(loop_) != 0) throw ServiceFailure(kNoPipeWireMessage);
    }
    Lock lock(*this);
    core_ = pw_context_connect(context_, nullptr, 0);
    if (core_ == nullptr) throw ServiceFailure(kNoPipeWireMessage);
    pw_core_add_listener(core_, &hooks_->core, &kCoreEvents, this);
    registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(registry_, &hooks_->registry, &kRegistryEvents, this);
    // The first answer brings the objects, the second what each object says of itself.
    if (!roundTrip() || !roundTrip()) throw ServiceFailure(kNoPipeWireMessage);
}

bool PipeWireGraph::roundTrip() {
    if (lost_) return false;
    answered_ = false;
    pendingSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
    timespec deadline{};
    pw_thread_loop_get_time(loop_, &deadline, std::int64_t(kServerAnswerTimeoutSeconds) * SPA_NSEC_PER_SEC);
    while (!answered_ && !lost_) {
        if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) break;
    }
    return answered_ && !lost_;
}

void PipeWireGraph::globalAdded(std::uint32_t id, const char* type, std::uint32_t) {
    Kind kind;
    const void* events;
    std::uint32_t version;
    if (std::strcmp(type, PW_TYPE_INTERFACE_Client) == 0) {
        kind = Kind::client;
        events = &kClientEvents;
        version = PW_VERSION_CLIENT;
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        kind = Kind::node;
        events = &kNodeEvents;
        version = PW_VERSION_NODE;
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
        kind = Kind::port;
        events = &kPortEvents;
        version = PW_VERSION_PORT;
    } else {
        return;
    }
    auto object = std::make_unique<Object>();
    object->graph = this;
    object->id = id;
    object->kind = kind;
    object->proxy = static_cast<pw_proxy*>(pw_registry_bind(registry_, id, type, version, 0));
    if (object->proxy == nullptr) return;
    pw_proxy_add_object_listener(object->proxy, &object->listener, events, object.get());
    objects_[id] = std::move(object);
}

void PipeWireGraph::globalRemoved(std::uint32_t id) {
    const auto found = objects_.find(id);
    if (found == objects_.end()) return;
    spa_hook_remove(&found->second->listener);
    pw_proxy_destroy(found->second->proxy);
    objects_.erase(found);
    notifyChanged();
}

void PipeWireGraph::notifyChanged() {
    if (changed_) changed_();
    pw_thread_loop_signal(loop_, false);
}

void PipeWireGraph::setObserver(std::function<void()> changed, std::function<void()> lost) {
    changed_ = std::move(changed);
    lostObserver_ = std::move(lost);
}

std::vector<GraphNode> PipeWireGraph::nodes() const {
    std::vector<GraphNode> nodes;
    for (const auto& [id, object] : objects_) {
        if (object->kind == Kind::node && object->known) nodes.push_back(object->node);
    }
    return nodes;
}

std::vector<GraphPort> PipeWireGraph::ports() const {
    std::vector<GraphPort> ports;
    for (const auto& [id, object] : objects_) {
        if (object->kind == Kind::port && object->known) ports.push_back(object->port);
    }
    return ports;
}

std::map<std::uint32_t, std::int32_t> PipeWireGraph::clientProcesses() const {
    std::map<std::uint32_t, std::int32_t> clients;
    for (const auto& [id, object] : objects_) {
        if (object->kind == Kind::client && object->pid) clients[id] = *object->pid;
    }
    return clients;
}

}  // namespace quorvantel::pipewire
