#include "tests/support/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quorvantel::testing {
namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

std::string helperPath(const std::string& name) { return std::string(QUORVANTEL_BIN_DIR) + "/" + name; }

std::string emptyScenarioPath() { return QUORVANTEL_EMPTY_SCENARIO; }

Child::Child(const std::string& executable, const ChildOptions& options) {
    // The tests write to children that may have exited; that must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) {
        throw std::runtime_error("pipe failed");
    }
    if (!options.pendingInput.empty() &&
        ::write(inPipe[1], options.pendingInput.data(), options.pendingInput.size()) !=
            static_cast<ssize_t>(options.pendingInput.size())) {
        throw std::runtime_error("could not fill the child's input before its start");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& name : options.unset) env.erase(name);
    for (const auto& [k, v] : options.environment) env[k] = v;
    if (options.standIn && env.count("QUORVANTEL_SIMULATION") == 0) {
        env["QUORVANTEL_SIMULATION"] = emptyScenarioPath();
    }
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStrings{executable};
    argStrings.insert(argStrings.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    // The child starts with default signal dispositions and an empty mask.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const int rc = posix_spawn(&pid_, executable.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    in_ = inPipe[1];
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (rc != 0) throw std::runtime_error("cannot start " + executable + ": " + std::strerror(rc));
}

Child::~Child() {
    if (!exit_) {
        ::kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
    }
    for (int fd : {in_, out_, err_}) {
        if (fd >= 0) close(fd);
    }
}

bool Child::write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void Child::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

void Child::closeOutput() {
    if (out_ >= 0) close(out_);
    out_ = -1;
    outputEnded_ = true;
}

bool Child::fill(std::chrono::steady_clock::time_point deadline) {
    if (outputEnded_) return false;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    while (true) {
        int ready = poll(fds, err_ >= 0 ? 2 : 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[65536];
        if (err_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            ssize_t n = read(err_, buffer, sizeof buffer);
            if (n > 0) {
                stderr_.append(buffer, static_cast<std::size_t>(n));
            } else {
                close(err_);
                err_ = -1;
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            ssize_t n = read(out_, buffer, sizeof buffer);
            if (n > 0) {
                pending_.append(buffer, static_cast<std::size_t>(n));
                return true;
            }
            outputEnded_ = true;
            return false;
        }
    }
}

std::optional<std::string> Child::readLine(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        auto newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        if (!fill(deadline)) return std::nullopt;
    }
}

std::string Child::readRest(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fill(deadline)) {
    }
    std::string rest;
    rest.swap(pending_);
    return rest;
}

void Child::kill(int signal) { ::kill(pid_, signal); }

void Child::drainError(int timeoutMs) {
    while (err_ >= 0) {
        pollfd fd{err_, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0) return;
        char buffer[4096];
        ssize_t n = read(err_, buffer, sizeof buffer);
        if (n <= 0) {
            close(err_);
            err_ = -1;
            return;
        }
        stderr_.append(buffer, static_cast<std::size_t>(n));
    }
}

ChildExit Child::wait(std::chrono::milliseconds timeout) {
    if (exit_) return *exit_;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (true) {
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        drainError(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    drainError(100);
    ChildExit result;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    exit_ = result;
    return result;
}

std::vector<std::string> ChildRun::lines() const {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < output.size()) {
        auto newline = output.find('\n', start);
        if (newline == std::string::npos) {
            result.push_back(output.substr(start));
            break;
        }
        result.push_back(output.substr(start, newline - start));
        start = newline + 1;
    }
    return result;
}

ChildRun runChild(const std::string& executable, const ChildOptions& options, const std::string& input) {
    Child child(executable, options);
    // Write from a thread so that a child that answers before reading all its input
    // cannot deadlock the test on a full pipe.
    std::thread writer([&] {
        child.write(input);
        child.closeInput();
    });
    ChildRun run;
    run.output = child.readRest();
    writer.join();
    run.exit = child.wait();
    run.error = child.standardError();
    return run;
}

std::string writeTemporaryFile(const std::string& contents, const std::string& suffix) {
    std::string pattern = "/tmp/quorvantel-test-XXXXXX" + suffix;
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    int fd = mkstemps(path.data(), static_cast<int>(suffix.size()));
    if (fd < 0) throw std::runtime_error("mkstemps failed");
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    return std::string(path.data());
}

}  // namespace quorvantel::testing
