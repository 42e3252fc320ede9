// A thread's identifier has a /proc entry of its own; it must not pass for a process.
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "capture/process_identity.h"

namespace quorvantel::capture {
namespace {

TEST(CaptureKernelIdentity, AThreadIsNotAProcess) {
    std::int32_t tid = 0;
    bool done = false;
    std::mutex mutex;
    std::condition_variable changed;
    std::thread thread([&] {
        std::unique_lock lock(mutex);
        tid = static_cast<std::int32_t>(::syscall(SYS_gettid));
        changed.notify_all();
        changed.wait(lock, [&] { return done; });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return tid != 0; });
    }
    EXPECT_FALSE(readKernelIdentity(tid).valid);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    changed.notify_all();
    thread.join();
}

}  // namespace
}  // namespace quorvantel::capture
