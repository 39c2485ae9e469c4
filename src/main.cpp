#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch_analyse.h"
#include "app/batch_monitor.h"
#include "app/info_command.h"
#include "app/loudness_command.h"
#include "app/program.h"
#include "app/standard_output.h"
#include "app/usage.h"
#include "platform/application.h"

namespace {

// Batch commands draw off screen: they need fonts, not a display. A reader that goes away (a pipe
// into `head`) is seen as a failed write rather than ending the program on a signal.
int run_batch(int argc, char** argv, int (*command)(const std::vector<std::string>&)) {
    std::signal(SIGPIPE, SIG_IGN);
    int status = 0;
    {
        dl::Application app(argc, argv, true);
        std::vector<std::string> args;
        for (int i = 2; i < argc; ++i) args.emplace_back(argv[i]);
        status = command(args);
    }
    return dl::FinishOutput(status);
}

int info(const std::vector<std::string>& raw) {
    std::vector<std::string> args = raw;
    if (args.size() == 2 && args[0] == "--") args.erase(args.begin());
    if (args.size() != 1) {
        dl::PrintUsage(stderr);
        return 2;
    }
    return dl::RunInfoCommand(args[0]);
}

// Text for standard output, checked like the batch commands' rows.
int print_and_finish(const std::string& text) {
    std::signal(SIGPIPE, SIG_IGN);
    dl::WriteOutput(text);
    return dl::FinishOutput(0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        const std::string first = argv[1];
        if (first == "--help" || first == "-h") {
            std::signal(SIGPIPE, SIG_IGN);
            dl::PrintUsage(stdout);
            return dl::FinishOutput(0);
        }
        if (first == "--version") return print_and_finish("dewlark " DEWLARK_VERSION "\n");
        if (first == "--info") return run_batch(argc, argv, info);
        if (first == "--analyse" || first == "--analyze") return run_batch(argc, argv, dl::RunAnalyseCommand);
        if (first == "--monitor") return run_batch(argc, argv, dl::RunMonitorCommand);
        if (first == "--loudness") return run_batch(argc, argv, dl::RunLoudnessCommand);
        if (first == "--list-devices") {
            std::signal(SIGPIPE, SIG_IGN);
            return dl::FinishOutput(dl::RunListDevicesCommand());
        }
        const std::vector<std::string> tokens(argv + 1, argv + argc);
        if (const std::string unknown = dl::UnknownLongOption(tokens); !unknown.empty()) {
            std::fprintf(stderr, "dewlark: unknown option %s\n", unknown.c_str());
            dl::PrintUsage(stderr);
            return 2;
        }
    }
    return dl::RunProgram(argc, argv);
}
