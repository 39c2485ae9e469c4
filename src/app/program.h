#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_proc.h"
#include "platform/main_window.h"

namespace dl {

// The program's outer frame: settings, command line, layout units, the main window, the reference
// tone, the initial source; then the message loop; then the settings written back.
class Program {
public:
    Program();
    ~Program();
    // args: the tokens after the program name.
    void Initialise(const std::vector<std::string>& args, ShowCommand show = ShowCommand::Normal);
    // Runs the message loop; writes the settings on a normal end. Returns the exit code.
    int Run();
    MainWindow& window() { return *window_; }

private:
    // What start-up does once the reference tone has ended: BEEP, the idle items, the initial source.
    void FinishStart();

    MainWindowProc proc_;
    std::unique_ptr<MainWindow> window_;
    bool ending_ = false;
};

// The whole program for argv (after batch commands were ruled out).
int RunProgram(int argc, char** argv);

}  // namespace dl
