#pragma once
// Child processes of this program that take requests on their standard input and answer on their
// standard output, and what a coordinator of them needs from the system.
#include <sys/types.h>

#include <string>
#include <vector>

namespace dl {

class WorkerProcess {
public:
    WorkerProcess() = default;
    ~WorkerProcess();
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    // Starts this program's own executable with `args` (argv[1] on); its standard error is ours.
    // False with the reason when it cannot.
    bool start(const std::vector<std::string>& args, std::string* why);
    bool running() const { return pid_ > 0; }
    // Writes all of `bytes` to its input; false when it has gone.
    bool send(const std::string& bytes);
    // Appends what its output holds now, waiting for none; false at its end (or on an error).
    bool receive(std::string& into);
    int output_fd() const { return out_; }

    // Closes its input and waits for its end.
    struct Ending {
        int exit_code = -1;  // -1 when a signal ended it
        int signal = 0;
        long peak_kb = 0;    // the most memory it held
    };
    Ending finish();

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
};

// Writes all of `bytes` to the descriptor, through interruptions; false when it cannot.
bool write_all(int fd, const std::string& bytes);

// A worker process ends when the process that started it does, whatever it is doing then.
void end_with_parent();

// The indices of the descriptors that can be read (or have ended); waits up to `timeout_ms`.
std::vector<size_t> wait_readable(const std::vector<int>& fds, int timeout_ms);

// The processor cores this process may run on (at least 1).
unsigned usable_cores();

// Whether standard error is a terminal.
bool error_is_terminal();

// Standard error taken into a memory file while alive, so that what a step says can be read back.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;
    // What was written since the capture began, the capture ended.
    std::string finish();

private:
    int saved_ = -1, file_ = -1;
};

}  // namespace dl
