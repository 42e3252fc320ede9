#include "platform/linux/evolution/calendar_sources.h"

#include <algorithm>

namespace quorvantel::evolution {
namespace {

std::string textOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

bool looksLikeAddress(const std::string& text) { return text.find('@') != std::string::npos; }

}  // namespace

std::vector<CalendarSource> enabledSources(ESourceRegistry* registry, const char* extension) {
    std::vector<CalendarSource> sources;
    GList* list = e_source_registry_list_enabled(registry, extension);
    for (GList* item = list; item != nullptr; item = item->next) {
        auto* source = static_cast<ESource*>(item->data);
        sources.push_back(CalendarSource{textOrEmpty(e_source_get_uid(source)),
                                         textOrEmpty(e_source_get_display_name(source)),
                                         GObjectHandle<ESource>(static_cast<ESource*>(g_object_ref(source)))});
    }
    g_list_free_full(list, g_object_unref);
    std::stable_sort(sources.begin(), sources.end(), [](const CalendarSource& a, const CalendarSource& b) {
        if (a.displayName != b.displayName) return a.displayName < b.displayName;
        return a.uid < b.uid;
    });
    return sources;
}

std::optional<std::string> ownerAddress(ESourceRegistry* registry, ESource* source, ECalClient* client) {
    if (e_source_has_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND)) {
        auto* webdav = static_cast<ESourceWebdav*>(e_source_get_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND));
        gchar* address = e_source_webdav_dup_email_address(webdav);
        std::string text = textOrEmpty(address);
        g_free(address);
        if (looksLikeAddress(text)) return text;
    }
    if (GObjectHandle<ESource> collection{e_source_registry_find_extension(registry, source,
                                                                           E_SOURCE_EXTENSION_COLLECTION)}) {
        auto* extension =
            static_cast<ESourceCollection*>(e_source_get_extension(collection.get(), E_SOURCE_EXTENSION_COLLECTION));
        gchar* identity = e_source_collection_dup_identity(extension);
        std::string text = textOrEmpty(identity);
        g_free(identity);
        if (looksLikeAddress(text)) return text;
    }
    if (client != nullptr) {
        gchar* address = nullptr;
        // A backend that names no address (a calendar on this computer) answers
        // with nothing or an error; either way there is no owner to match.
        if (e_client_get_backend_property_sync(E_CLIENT(client), E_CAL_BACKEND_PROPERTY_CAL_EMAIL_ADDRESS, &address,
                                               nullptr, nullptr)) {
            std::string text = textOrEmpty(address);
            g_free(address);
            if (looksLikeAddress(text)) return text;
        }
    }
    return std::nullopt;
}

}  // namespace quorvantel::evolution
