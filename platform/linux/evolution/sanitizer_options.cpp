// Built into every program that uses the desktop store, in builds with
// AddressSanitizer. The store's source registry reads the sources with a GDBus object
// manager on a thread of its own, and GIO keeps some of that manager's allocations
// past the registry's release: GIO's, not the program's. The leak check passes over
// them by the registry's function, which needs whole allocation stacks (GLib has no
// frame pointers for the fast unwinder).
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:e_dbus_object_manager_client_new_for_bus_sync\n"; }
#endif
