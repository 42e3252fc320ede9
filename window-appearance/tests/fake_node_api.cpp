#include "fake_node_api.h"

#include <algorithm>
#include <cstring>

napi_value napi_value__::member(const std::string& name) const {
    for (const auto& [key, value] : members) {
        if (key == name) return value;
    }
    return nullptr;
}

napi_value napi_env__::make(napi_valuetype type) {
    values.emplace_back();
    values.back().type = type;
    return &values.back();
}

napi_value napi_env__::string(const std::string& text) {
    napi_value value = make(napi_string);
    value->text = text;
    return value;
}

napi_value napi_env__::number(double number) {
    napi_value value = make(napi_number);
    value->number = number;
    return value;
}

napi_value napi_env__::buffer(const void* data, std::size_t length) {
    napi_value value = make(napi_object);
    value->isBuffer = true;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    value->bytes.assign(bytes, bytes + length);
    return value;
}

napi_value napi_env__::call(napi_value function, std::vector<napi_value> arguments) {
    napi_callback_info__ info{std::move(arguments), function->data};
    return function->callback(this, &info);
}

void napi_env__::runCleanupHooks() {
    auto hooks = std::move(cleanupHooks);
    cleanupHooks.clear();
    // Node runs them in reverse order of registration.
    std::reverse(hooks.begin(), hooks.end());
    for (const auto& [hook, argument] : hooks) hook(argument);
}

bool napi_env__::fails(const char* function) {
    const int index = calls[function]++;
    auto found = failures.find(function);
    const bool failing = found != failures.end() && found->second == index;
    if (failing && failureThrows) exception = failureThrows;
    return failing;
}

extern "C" {

napi_status napi_define_properties(napi_env env, napi_value object, size_t count,
                                   const napi_property_descriptor* properties) {
    if (env->fails("napi_define_properties")) return napi_generic_failure;
    for (size_t i = 0; i < count; ++i) {
        napi_value function = env->make(napi_function);
        function->callback = properties[i].method;
        function->data = properties[i].data;
        object->members.emplace_back(properties[i].utf8name, function);
    }
    return napi_ok;
}

napi_status napi_add_env_cleanup_hook(node_api_basic_env env, napi_cleanup_hook hook, void* argument) {
    if (env->fails("napi_add_env_cleanup_hook")) return napi_generic_failure;
    env->cleanupHooks.emplace_back(hook, argument);
    return napi_ok;
}

napi_status napi_get_cb_info(napi_env env, napi_callback_info info, size_t* argc, napi_value* argv,
                             napi_value* thisArg, void** data) {
    if (env->fails("napi_get_cb_info")) return napi_generic_failure;
    const size_t capacity = *argc;
    for (size_t i = 0; i < capacity; ++i) {
        argv[i] = i < info->arguments.size() ? info->arguments[i] : env->make(napi_undefined);
    }
    *argc = info->arguments.size();
    if (thisArg) *thisArg = env->make(napi_undefined);
    if (data) *data = info->data;
    return napi_ok;
}

napi_status napi_is_buffer(napi_env env, napi_value value, bool* result) {
    if (env->fails("napi_is_buffer")) return napi_generic_failure;
    *result = value->isBuffer;
    return napi_ok;
}

napi_status napi_get_buffer_info(napi_env env, napi_value value, void** data, size_t* length) {
    if (env->fails("napi_get_buffer_info") || !value->isBuffer) return napi_generic_failure;
    *data = value->bytes.data();
    *length = value->bytes.size();
    return napi_ok;
}

napi_status napi_typeof(napi_env env, napi_value value, napi_valuetype* result) {
    if (env->fails("napi_typeof")) return napi_generic_failure;
    *result = value->type;
    return napi_ok;
}

napi_status napi_get_value_string_utf8(napi_env env, napi_value value, char* buffer, size_t size, size_t* result) {
    if (env->fails("napi_get_value_string_utf8")) return napi_generic_failure;
    if (value->type != napi_string) return napi_string_expected;
    if (buffer == nullptr) {
        *result = value->text.size();
        return napi_ok;
    }
    const size_t copied = size == 0 ? 0 : std::min(size - 1, value->text.size());
    std::memcpy(buffer, value->text.data(), copied);
    if (size > 0) buffer[copied] = '\0';
    if (result) *result = copied;
    return napi_ok;
}

napi_status napi_create_object(napi_env env, napi_value* result) {
    if (env->fails("napi_create_object")) return napi_generic_failure;
    *result = env->make(napi_object);
    return napi_ok;
}

napi_status napi_set_named_property(napi_env env, napi_value object, const char* name, napi_value value) {
    if (env->fails("napi_set_named_property")) return napi_generic_failure;
    object->members.emplace_back(name, value);
    return napi_ok;
}

napi_status napi_get_boolean(napi_env env, bool value, napi_value* result) {
    if (env->fails("napi_get_boolean")) return napi_generic_failure;
    *result = env->make(napi_boolean);
    (*result)->boolean = value;
    return napi_ok;
}

napi_status napi_create_double(napi_env env, double value, napi_value* result) {
    if (env->fails("napi_create_double")) return napi_generic_failure;
    *result = env->number(value);
    return napi_ok;
}

napi_status napi_create_string_utf8(napi_env env, const char* text, size_t length, napi_value* result) {
    if (env->fails("napi_create_string_utf8")) return napi_generic_failure;
    *result = env->string(std::string(text, length));
    return napi_ok;
}

napi_status napi_get_null(napi_env env, napi_value* result) {
    if (env->fails("napi_get_null")) return napi_generic_failure;
    *result = env->make(napi_null);
    return napi_ok;
}

napi_status napi_is_exception_pending(napi_env env, bool* result) {
    *result = env->exception.has_value();
    return napi_ok;
}

napi_status napi_throw_error(napi_env env, const char*, const char* message) {
    env->exception = FakeException{false, message};
    return napi_ok;
}

napi_status napi_throw_type_error(napi_env env, const char*, const char* message) {
    env->exception = FakeException{true, message};
    return napi_ok;
}

}  // extern "C"
