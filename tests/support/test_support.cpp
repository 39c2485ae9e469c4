#include "support/test_support.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/pointer.h"
#include "platform/process.h"

namespace dl_test {

std::string temp_dir() {
    std::string templ = "/tmp/dewlark-test-XXXXXX";
    char* d = mkdtemp(templ.data());
    return d ? std::string(d) : std::string("/tmp");
}

std::string use_temporary_profile() {
    std::string d = temp_dir();
    setenv("USERPROFILE", d.c_str(), 1);
    return d;
}

std::string write_file(const std::string& name, const std::string& bytes) {
    std::string path = name.find('/') == std::string::npos ? temp_dir() + "/" + name : name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ProgramRun run_program(const std::string& args) { return run_program_env("", args); }

ProgramRun run_program_env(const std::string& env, const std::string& args) {
#ifdef DEWLARK_BINARY
    return run_shell(env + " " + std::string(DEWLARK_BINARY) + " " + args);
#else
    (void)env;
    (void)args;
    return {};
#endif
}

ProgramRun run_shell(const std::string& command) {
    const std::string err = temp_dir() + "/err";
    const std::string cmd = command + " 2>" + err;
    ProgramRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = read_file(err);
    return r;
}

pid_t spawn_tied(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                 const std::string& log, bool own_group) {
    // Everything the child needs is made before the fork: after it, only calls safe in a copy of a
    // threaded process.
    std::vector<std::string> words = args, env = environment;
    std::vector<char*> argv, envp;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* const* child_env = environment.empty() ? environ : envp.data();
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        if (own_group) setpgid(0, 0);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(127);
        execvpe(argv[0], argv.data(), child_env);
        _exit(127);
    }
    return pid;
}

BackgroundRun::BackgroundRun(const std::string& env, const std::string& command) : dir_(temp_dir()) {
    const std::string out = dir_ + "/out", err = dir_ + "/err", line = "exec env " + env + " " + command;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // A run the test leaves behind when it dies ends with it.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

BackgroundRun::~BackgroundRun() {
    if (running()) end(SIGKILL);
}

std::string BackgroundRun::out() const { return read_file(dir_ + "/out"); }
std::string BackgroundRun::err() const { return read_file(dir_ + "/err"); }

bool BackgroundRun::running() {
    if (pid_ <= 0) return false;
    int st = 0;
    if (waitpid(pid_, &st, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    pid_ = -1;
    return false;
}

bool BackgroundRun::wait_for_out(const std::function<bool(const std::string&)>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (running() && std::chrono::steady_clock::now() < until) {
        if (done(out())) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done(out());
}

int BackgroundRun::end(int sig) {
    if (running() && sig) kill(pid_, sig);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!running()) return status_;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return -1;
}

MeasuredRun run_program_measured(const std::vector<std::string>& args) {
    MeasuredRun r;
#ifdef DEWLARK_BINARY
    const std::string out = temp_dir() + "/out";
    std::vector<std::string> words = {DEWLARK_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_WRONLY);
        if (fd < 0 || null < 0 || dup2(fd, 1) < 0 || dup2(null, 2) < 0) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) return r;
    int st = 0;
    struct rusage use {};
    if (wait4(pid, &st, 0, &use) != pid) return r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = read_file(out);
    r.peak_kb = use.ru_maxrss;
#else
    (void)args;
#endif
    return r;
}

MessageBoxCapture::MessageBoxCapture() {
    dl::set_message_box_hook([this](const dl::MessageBoxRequest& r) { boxes.push_back(r); });
}
MessageBoxCapture::~MessageBoxCapture() { dl::set_message_box_hook(nullptr); }

std::vector<std::string> MessageBoxCapture::texts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
}

EndProcessCapture::EndProcessCapture() {
    dl::set_end_process_hook([](int code) { throw ProcessEnded{code}; });
}
EndProcessCapture::~EndProcessCapture() { dl::set_end_process_hook(nullptr); }

void keep_pointer_off_the_desktop() {
    dl::set_pointer_event_hook([](int, int, int) {});
}

}  // namespace dl_test
