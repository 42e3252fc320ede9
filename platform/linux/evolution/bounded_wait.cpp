#include "platform/linux/evolution/bounded_wait.h"

namespace quorvantel::evolution {
namespace {

gboolean timedOut(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

}  // namespace

BoundedWait::BoundedWait() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }

BoundedWait::~BoundedWait() {
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
}

bool BoundedWait::until(const std::function<bool()>& done, std::chrono::milliseconds wait) {
    bool expired = false;
    GSource* timer = g_timeout_source_new(static_cast<guint>(wait.count()));
    g_source_set_callback(timer, timedOut, &expired, nullptr);
    g_source_attach(timer, context_);
    while (!done() && !expired) g_main_context_iteration(context_, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    return done();
}

}  // namespace quorvantel::evolution
