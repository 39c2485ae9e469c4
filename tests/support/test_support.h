#pragma once
#include <sys/types.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace dl_test {

// How long a test waits for what must come (a play's end, a server's answer, a row of output)
// before it gives up: the limit only ends a test that would otherwise hang, so it is far beyond what
// the slowest machine needs. What a test counts never depends on it.
constexpr int kPatienceMs = 30000;

// Points USERPROFILE at a fresh temporary folder and returns it.
std::string use_temporary_profile();
std::string temp_dir();
std::string write_file(const std::string& name, const std::string& bytes);
std::string read_file(const std::string& path);

// Test runs never move the desktop's pointer: injected events are dropped unless a test hooks them.
// Installed for the whole run; call it again where a test's own hook ends.
void keep_pointer_off_the_desktop();

// Runs the program with arguments (shell words) and collects its standard output, error and status.
struct ProgramRun {
    int status = -1;
    std::string out, err;
};
ProgramRun run_program(const std::string& args);
// The same with environment assignments ("NAME=value NAME=value") in front.
ProgramRun run_program_env(const std::string& env, const std::string& args);
// Any command of the shell (the encoders and reference decoders the tests compare with).
ProgramRun run_shell(const std::string& command);

// Starts a server a test needs (a sound server, JACK) with its output in the file `log`, never on the
// test's own output: should the test die, the server dies with it rather than keep the test runner
// waiting for the end of that output. `environment` empty: the test's own. A new process group when
// `own_group`. The process id, or -1.
pid_t spawn_tied(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                 const std::string& log, bool own_group = false);

// A command of the shell (the program, with environment assignments in front, or a server's client)
// running in the background, its standard output and error going to files the test reads while it
// runs. The test waits for what the run writes rather than for a time, and ends it with a signal.
class BackgroundRun {
public:
    BackgroundRun(const std::string& env, const std::string& command);
    ~BackgroundRun();  // a run still going is killed
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    std::string out() const;
    std::string err() const;
    bool running();
    // Waits until `done` holds for the standard output so far, the run ends, or kPatienceMs passes;
    // whether `done` holds.
    bool wait_for_out(const std::function<bool(const std::string& out)>& done);
    // Sends `sig` (none: 0) and waits for the end: the exit status, or -1 when a signal ended the run
    // or it was still going after kPatienceMs (it is killed then).
    int end(int sig = SIGTERM);

private:
    pid_t pid_ = -1;
    std::string dir_;
    int status_ = -1;
};

// The program run directly (no shell between), with the most memory it held (kB, from wait4).
struct MeasuredRun {
    int status = -1;
    std::string out;
    long peak_kb = 0;
};
MeasuredRun run_program_measured(const std::vector<std::string>& args);

// Collects message boxes instead of showing them while alive.
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    std::vector<dl::MessageBoxRequest> boxes;
    std::vector<std::string> texts() const;
};

// Turns end_process into an exception while alive.
struct ProcessEnded {
    int code;
};
class EndProcessCapture {
public:
    EndProcessCapture();
    ~EndProcessCapture();
};

}  // namespace dl_test
