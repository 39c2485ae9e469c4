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
#include "app/usage.h"
#include "platform/application.h"

namespace {

// Batch commands draw off screen: they need fonts, not a display.
int run_batch(int argc, char** argv, int (*command)(const std::vector<std::string>&)) {
    dl::Application app(argc, argv, true);
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) args.emplace_back(argv[i]);
    return command(args);
}

int info(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        dl::PrintUsage(stderr);
        return 1;
    }
    return dl::RunInfoCommand(args[0]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        const std::string first = argv[1];
        if (first == "--help" || first == "-h") {
            dl::PrintUsage(stdout);
            return 0;
        }
        if (first == "--version") {
            std::puts("dewlark " DEWLARK_VERSION);
            return 0;
        }
        if (first == "--info") return run_batch(argc, argv, info);
        if (first == "--analyse" || first == "--analyze") return run_batch(argc, argv, dl::RunAnalyseCommand);
        if (first == "--monitor") return run_batch(argc, argv, dl::RunMonitorCommand);
        if (first == "--loudness") return run_batch(argc, argv, dl::RunLoudnessCommand);
        if (first == "--list-devices") return dl::RunListDevicesCommand();
        const std::vector<std::string> tokens(argv + 1, argv + argc);
        if (const std::string unknown = dl::UnknownLongOption(tokens); !unknown.empty()) {
            std::fprintf(stderr, "dewlark: unknown option %s\n", unknown.c_str());
            dl::PrintUsage(stderr);
            return 2;
        }
    }
    return dl::RunProgram(argc, argv);
}
