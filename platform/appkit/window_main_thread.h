// The application's main thread: NSThread.isMainThread and the main dispatch queue.
#pragma once

#include <functional>

namespace quorvantel::appkit {

// True on the process's main thread, the one AppKit runs on.
bool isMainThread();

// dispatch_async on the main queue.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void dispatchAsync(std::function<void()> work) = 0;
};

}  // namespace quorvantel::appkit
