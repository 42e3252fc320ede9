// Ownership of GLib objects and errors for one scope, released on every path.
#pragma once

#include <memory>
#include <string>

#include <glib-object.h>

namespace quorvantel::evolution {

struct GObjectRelease {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};

template <typename T>
using GObjectHandle = std::unique_ptr<T, GObjectRelease>;

struct GErrorRelease {
    void operator()(GError* error) const {
        if (error != nullptr) g_error_free(error);
    }
};

using GErrorHandle = std::unique_ptr<GError, GErrorRelease>;

// The error's own description, or the fallback when there is none.
inline std::string describe(const GError* error, const char* fallback) {
    return error != nullptr && error->message != nullptr ? std::string(error->message) : std::string(fallback);
}

}  // namespace quorvantel::evolution
