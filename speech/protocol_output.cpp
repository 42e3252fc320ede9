#include "speech/protocol_output.h"

#include <cerrno>
#include <unistd.h>

namespace quorvantel::speech {

ProtocolOutput::ProtocolOutput(int fd, std::function<void(int)> terminate)
    : fd_(fd), terminate_(std::move(terminate)) {}

void ProtocolOutput::emit(const json::Object& object) {
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_) return;
    if (errorEmitted_) {
        const json::Value* type = nullptr;
        for (const auto& [key, value] : object) {
            if (key == "type") type = &value;
        }
        if (type == nullptr || !type->isString() || type->asString() != "error") return;
    }
    std::string line;
    try {
        line = json::write(json::Value(object), json::KeyOrder::sorted);
    } catch (const json::WriteError&) {
        terminate_(1);
        return;
    }
    if (line.size() > kMaximumOutputLineBytes) {
        terminate_(1);
        return;
    }
    line += '\n';
    // A pipe may take a long line in several parts; the lock keeps it whole.
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            terminate_(1);
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

void ProtocolOutput::error(const std::string& message) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        const bool already = errorEmitted_;
        errorEmitted_ = true;
        if (already) return;
    }
    emit(json::Object{{"type", "error"}, {"message", message}});
}

void ProtocolOutput::close() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
}

ProtocolOutput& output() {
    static ProtocolOutput* instance = new ProtocolOutput(STDOUT_FILENO, [](int status) { _exit(status); });
    return *instance;
}

}  // namespace quorvantel::speech
