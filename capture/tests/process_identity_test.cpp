#include "capture/process_identity.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvantel::capture {
namespace {

TEST(CaptureProcessIdentity, ValidOnlyForAnAnswerAboutThatLiveProcess) {
    const ProcBsdInfo good{42, 1, 501, 0, 1700000000, 250};
    struct Case {
        const char* what;
        std::int32_t pid;
        bool answered;
        ProcBsdInfo info;
        bool valid;
    };
    auto with = [&](auto change) {
        ProcBsdInfo info = good;
        change(info);
        return info;
    };
    const Case cases[] = {
        {"live", 42, true, good, true},
        {"no answer", 42, false, good, false},
        {"identifier 0", 0, true, with([](auto& i) { i.pbi_pid = 0; }), false},
        {"negative identifier", -42, true, with([](auto& i) { i.pbi_pid = -42; }), false},
        {"answer about another pid", 43, true, good, false},
        {"exiting", 42, true, with([](auto& i) { i.pbi_flags = PROC_FLAG_INEXIT; }), false},
        {"other flags", 42, true, with([](auto& i) { i.pbi_flags = 1 | 2 | 8; }), true},
        {"no start time", 42, true, with([](auto& i) { i.pbi_start_tvsec = 0, i.pbi_start_tvusec = 0; }), false},
        {"start time in microseconds only", 42, true, with([](auto& i) { i.pbi_start_tvsec = 0; }), true},
    };
    for (const auto& c : cases) {
        const auto identity = identityFromBsdInfo(c.pid, c.answered, c.info);
        EXPECT_EQ(identity.valid, c.valid) << c.what;
        if (!c.valid) {
            EXPECT_EQ(identity, ProcessIdentity{}) << c.what;
        }
    }
    EXPECT_EQ(identityFromBsdInfo(42, true, good), (ProcessIdentity{42, 1, 501, 1700000000, 250, true}));
}

TEST(CaptureProcessIdentity, SameProcessNeedsBothValidAndTheSameStart) {
    const ProcessIdentity a{42, 1, 501, 100, 5, true};
    EXPECT_TRUE(sameProcess(a, a));
    EXPECT_TRUE(sameProcess(a, ProcessIdentity{42, 77, 501, 100, 5, true}));  // the parent may change
    EXPECT_FALSE(sameProcess(a, ProcessIdentity{42, 1, 501, 100, 6, true}));
    EXPECT_FALSE(sameProcess(a, ProcessIdentity{42, 1, 501, 101, 5, true}));
    EXPECT_FALSE(sameProcess(a, ProcessIdentity{42, 1, 502, 100, 5, true}));
    EXPECT_FALSE(sameProcess(a, ProcessIdentity{43, 1, 501, 100, 5, true}));
    EXPECT_FALSE(sameProcess(a, ProcessIdentity{42, 1, 501, 100, 5, false}));
    EXPECT_FALSE(sameProcess(ProcessIdentity{}, ProcessIdentity{}));
}

TEST(CaptureKernelIdentity, ReadsThisProcessAndItsParent) {
    const auto self = readKernelIdentity(::getpid());
    ASSERT_TRUE(self.valid);
    EXPECT_EQ(self.pid, ::getpid());
    EXPECT_EQ(self.ppid, ::getppid());
    EXPECT_EQ(self.uid, ::getuid());
    EXPECT_LT(self.startMicroseconds, 1'000'000u);
    EXPECT_EQ(readKernelIdentity(::getpid()), self);  // stable between reads

    const auto parent = readKernelIdentity(::getppid());
    ASSERT_TRUE(parent.valid);
    EXPECT_FALSE(startedAfter(parent, self));
    EXPECT_FALSE(readKernelIdentity(0).valid);
    EXPECT_FALSE(readKernelIdentity(-1).valid);
}

TEST(CaptureKernelIdentity, AChildStartsNoEarlierAndAZombieIsExiting) {
    const auto self = readKernelIdentity(::getpid());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    const auto running = readKernelIdentity(child);
    ASSERT_TRUE(running.valid);
    EXPECT_EQ(running.ppid, ::getpid());
    EXPECT_FALSE(startedAfter(self, running));

    ::kill(child, SIGKILL);
    // Wait until the child is a zombie without reaping it.
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(readKernelIdentity(child).valid);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(readKernelIdentity(child).valid);
}

}  // namespace
}  // namespace quorvantel::capture
