// Names are data: whatever bytes a list or a file name holds, a many-file run writes only the
// output it was asked for, refuses what it cannot read as names, and says names on standard error
// so that they can neither break a line nor steer the terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = DEWLARK_BINARY;

// Every file under `root` with its content (folders as a mark of their own).
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string path = e.path().string();
        files[path] = e.is_directory() ? std::string("<folder>") : dl_test::read_file(path);
    }
    return files;
}

// A name of one to 40 bytes of any value a folder takes (no slash, no NUL), never "." or "..".
std::string random_name(std::mt19937& rng) {
    std::uniform_int_distribution<int> length(1, 40), byte(1, 255);
    std::string name;
    const int n = length(rng);
    while (int(name.size()) < n) {
        const char c = char(byte(rng));
        if (c != '/') name += c;
    }
    return name == "." || name == ".." ? name + "x" : name;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// A quarter of a second of a tone, as a file of the name given (any bytes).
void make_sound(const std::string& path) {
    const std::string plain = dl_test::temp_dir() + "/tone.wav";
    ASSERT_EQ(dl_test::run_shell("sox -n -r 8000 -c 1 -b 16 " + plain + " synth 0.25 sine 440").status, 0);
    fs::rename(plain, path);
}

TEST(BatchNames, RandomNamesAndListsChangeNothingButTheOutputAskedFor) {
    std::mt19937 rng(20261209);
    const std::string sandbox = dl_test::temp_dir() + "/sandbox";
    fs::create_directories(sandbox + "/inner");
    std::vector<std::string> sounds, victims;
    for (int i = 0; i < 4; ++i) {
        sounds.push_back(sandbox + "/" + random_name(rng) + (i % 2 ? ".wav" : ""));
        make_sound(sounds.back());
    }
    for (int i = 0; i < 6; ++i) {
        victims.push_back((i % 2 ? sandbox + "/inner/" : sandbox + "/") + random_name(rng));
        dl_test::write_file(victims.back(), "the user's own " + std::to_string(i));
    }
    // Names that once ended up where a file name should have been.
    victims.push_back(sandbox + "/victim.txt");
    dl_test::write_file(victims.back(), "keep me");
    const std::map<std::string, std::string> before = snapshot(sandbox);

    std::uniform_int_distribution<int> pick(0, 99), byte(0, 255);
    for (int trial = 0; trial < 24; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const bool nul_list = trial % 3 == 0;
        const char end = nul_list ? '\0' : '\n';
        std::string list;
        bool nul_in_a_line = false;
        for (int entry = 0; entry < 6; ++entry) {
            const int kind = pick(rng);
            std::string name;
            if (kind < 35) name = sounds[size_t(pick(rng)) % sounds.size()];
            else if (kind < 55) name = victims[size_t(pick(rng)) % victims.size()];
            else if (kind < 65) name = sandbox;  // a folder: walked for its sound files
            else if (kind < 80) name = sounds[0] + std::string(1, '\0') + victims.back();
            else for (int i = 0; i < 12; ++i) name += char(byte(rng));  // any bytes at all
            if (!nul_list && name.find('\0') != std::string::npos) nul_in_a_line = true;
            // A NUL-separated name may hold line ends; a line may not hold its end.
            if (!nul_list) name.erase(std::remove(name.begin(), name.end(), '\n'), name.end());
            list += name + end;
        }
        const std::string work = dl_test::temp_dir();
        const std::string list_file = dl_test::write_file(work + "/list", list);
        const std::string out = work + "/out";
        std::string options = nul_list ? " --null" : "";
        if (trial % 2) options += " --out " + out;
        if (trial % 4 < 2) options += " --summary";
        if (trial % 5 == 0) options += " --format jsonl";
        options += trial % 3 == 1 ? " --jobs 1" : " --jobs 2";
        // Run from inside the sandbox, so that relative names made of random bytes reach its files too.
        const dl_test::ProgramRun r =
            dl_test::run_shell("cd " + quoted(sandbox) + " && " + kProgram + " --analyse --quiet --files-from " +
                               list_file + options);
        if (nul_in_a_line) {
            EXPECT_EQ(r.status, 2) << r.err;
            EXPECT_TRUE(r.out.empty());
            EXPECT_NE(r.err.find("holds a NUL byte"), std::string::npos) << r.err;
        } else {
            EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status << ": " << r.err;
        }
        EXPECT_EQ(snapshot(sandbox), before) << "nothing in the sandbox is made, changed or removed";
        // Only what --out names: a table for --summary, a file of rows for each file analysed.
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(work, ec)) {
            const std::string name = e.path().filename().string();
            EXPECT_TRUE(name == "list" || name == "out") << name;
        }
        if (!fs::exists(out)) continue;
        for (const auto& e : fs::directory_iterator(out)) {
            const std::string name = e.path().filename().string();
            const bool table = name == "summary.csv" || name == "summary.jsonl";
            EXPECT_EQ(table, options.find("--summary") != std::string::npos) << name;
            EXPECT_TRUE(name.ends_with(".csv") || name.ends_with(".jsonl")) << name;
            EXPECT_NE(name.rfind(".dewlark-", 0), 0u) << "no temporary file is left";
        }
    }
}

TEST(BatchNames, NamesOnStandardErrorAreEscapedAndLongNamesFitTheirFolder) {
    const std::string dir = dl_test::temp_dir();
    // A name that would move the cursor and clear the line if it went raw to a terminal.
    const std::string steering = dir + "/\033[2K\rbell\a.wav";
    dl_test::write_file(steering, "not a sound");
    dl_test::ProgramRun r = dl_test::run_program("--analyse " + quoted(steering) + " " + quoted(steering) + " --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find('\033'), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\a'), std::string::npos);
    EXPECT_NE(r.err.find("\\x1b[2K\\rbell\\x07.wav"), std::string::npos) << r.err;

    // The longest names a folder takes: their rows go to a name cut to fit, never a failure.
    std::vector<std::string> longest;
    for (const char* stem : {"a", "b"}) {
        longest.push_back(dir + "/" + std::string(251, stem[0]) + ".wav");
        make_sound(longest.back());
    }
    const std::string out = dir + "/out";
    r = dl_test::run_program("--analyse " + longest[0] + " " + longest[1] + " --out " + out + " --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    size_t written = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        const std::string name = e.path().filename().string();
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(name.ends_with(".csv")) << name;
        EXPECT_NE(dl_test::read_file(e.path().string()).find("time,peak_hz"), std::string::npos);
        ++written;
    }
    EXPECT_EQ(written, 2u);
}

// The processes of a run, by their parent: the workers of a runner.
std::vector<pid_t> children_of(pid_t parent) {
    std::vector<pid_t> found;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = dl_test::read_file(e.path().string() + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        int ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent && state != 'Z')
            found.push_back(pid_t(std::stoi(name)));
    }
    return found;
}

TEST(BatchNames, WorkersEndWithTheirRunAndLeaveNothingBehind) {
    const std::string dir = dl_test::temp_dir();
    // Long enough that each worker is in the middle of a file when the run is ended.
    ASSERT_EQ(dl_test::run_shell("cd " + dir + " && sox -n -r 44100 -c 2 -b 16 long.wav synth 120 sine 440 && "
                                 "for i in 1 2 3 4; do cp long.wav l$i.wav; done && rm long.wav")
                  .status,
              0);
    const std::string out = dir + "/out";
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGINT");
        fs::remove_all(out);
        const pid_t runner = fork();
        if (runner == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            signal(SIGINT, SIG_DFL);
            signal(SIGTERM, SIG_DFL);
            // A process group of its own: the signal goes to the runner alone, as `kill PID` sends it.
            setpgid(0, 0);
            const std::string files[] = {dir + "/l1.wav", dir + "/l2.wav", dir + "/l3.wav", dir + "/l4.wav"};
            execl(kProgram.c_str(), "dewlark", "--analyse", files[0].c_str(), files[1].c_str(), files[2].c_str(),
                  files[3].c_str(), "--jobs", "2", "--out", out.c_str(), "--quiet", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Until both workers are at work (they are started at once).
        std::vector<pid_t> workers;
        for (int i = 0; i < 3000 && workers.size() < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            workers = children_of(runner);
        }
        ASSERT_EQ(workers.size(), 2u);
        kill(runner, sig);
        int st = 0;
        ASSERT_EQ(waitpid(runner, &st, 0), runner);
        EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << "the run ends by the signal, as the shell expects";
        // The workers go with it, whatever they were doing.
        for (pid_t w : workers) {
            bool gone = false;
            for (int i = 0; i < 3000 && !gone; ++i) {
                gone = ::kill(w, 0) != 0;
                if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_TRUE(gone) << "worker " << w;
        }
        // No file of rows was being written, none is half there, none comes later.
        const auto files_now = [&] {
            std::vector<std::string> names;
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(out, ec)) names.push_back(e.path().filename().string());
            return names;
        };
        EXPECT_TRUE(files_now().empty());
    }
}

TEST(BatchNames, AFolderThatCannotBeReadIsAnErrorRowNotASilentGap) {
    const std::string dir = dl_test::temp_dir() + "/lib";
    fs::create_directories(dir + "/closed");
    make_sound(dir + "/open.wav");
    make_sound(dir + "/closed/hidden.wav");
    ::chmod((dir + "/closed").c_str(), 0);
    // As root the folder would open all the same: the run goes without the powers that pass over
    // a folder's permissions.
    const bool root = geteuid() == 0;
    const std::string prefix = root ? "setpriv --bounding-set=-dac_override,-dac_read_search " : "";
    const dl_test::ProgramRun r = dl_test::run_shell(prefix + kProgram + " --analyse " + dir + " --summary --quiet");
    ::chmod((dir + "/closed").c_str(), 0755);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find(dir + "/open.wav,0.250,wav"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(dir + "/closed,,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cannot read the folder: Permission denied"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("dewlark: " + dir + "/closed: cannot read the folder"), std::string::npos) << r.err;
}

}  // namespace
