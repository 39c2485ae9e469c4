#include "platform/worker_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace dl {

namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

WorkerProcess::~WorkerProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        finish();
    }
}

bool WorkerProcess::start(const std::vector<std::string>& args, std::string* why) {
    // A worker that has gone must not end the coordinator when it writes to it.
    ::signal(SIGPIPE, SIG_IGN);
    int to_child[2], from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0) return *why = std::strerror(errno), false;
    if (::pipe2(from_child, O_CLOEXEC) != 0) {
        *why = std::strerror(errno);
        ::close(to_child[0]);
        ::close(to_child[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
    std::vector<std::string> all = {"dewlark"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(to_child[0]);
    ::close(from_child[1]);
    if (rc != 0) {
        *why = std::strerror(rc);
        ::close(to_child[1]);
        ::close(from_child[0]);
        return false;
    }
    pid_ = pid;
    in_ = to_child[1];
    out_ = from_child[0];
    ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

bool WorkerProcess::send(const std::string& bytes) { return write_all(in_, bytes); }

bool WorkerProcess::receive(std::string& into) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        return false;
    }
}

WorkerProcess::Ending WorkerProcess::finish() {
    Ending e;
    close_fd(in_);
    close_fd(out_);
    if (pid_ <= 0) return e;
    int status = 0;
    struct rusage usage{};
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    e.peak_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) e.exit_code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) e.signal = WTERMSIG(status);
    return e;
}

void end_with_parent() {
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have gone before the request to be told of it.
    if (::getppid() != parent) ::_exit(1);
}

std::vector<size_t> wait_readable(const std::vector<int>& fds, int timeout_ms) {
    std::vector<pollfd> polls;
    for (int fd : fds) polls.push_back({fd, POLLIN, 0});
    std::vector<size_t> ready;
    if (::poll(polls.data(), polls.size(), timeout_ms) <= 0) return ready;
    for (size_t i = 0; i < polls.size(); ++i)
        if (polls[i].revents & (POLLIN | POLLHUP | POLLERR)) ready.push_back(i);
    return ready;
}

unsigned usable_cores() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return unsigned(n);
    }
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? unsigned(n) : 1u;
}

bool error_is_terminal() { return ::isatty(2) == 1; }

ErrorCapture::ErrorCapture() {
    std::fflush(stderr);
    file_ = ::memfd_create("dewlark-messages", MFD_CLOEXEC);
    saved_ = ::dup(2);
    if (file_ >= 0 && saved_ >= 0) ::dup2(file_, 2);
}

ErrorCapture::~ErrorCapture() { finish(); }

std::string ErrorCapture::finish() {
    std::string text;
    if (saved_ < 0) return text;
    std::fflush(stderr);
    ::dup2(saved_, 2);
    close_fd(saved_);
    if (file_ >= 0) {
        char buf[4096];
        ssize_t n;
        off_t at = 0;
        while ((n = ::pread(file_, buf, sizeof buf, at)) > 0) {
            text.append(buf, size_t(n));
            at += n;
        }
        close_fd(file_);
    }
    return text;
}

}  // namespace dl
