#pragma once
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace dl_test {

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
