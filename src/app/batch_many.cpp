#include "app/batch_many.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>

#include "app/batch_analyse.h"
#include "app/batch_rows.h"
#include "app/batch_summary.h"
#include "app/file_list.h"
#include "app/standard_output.h"
#include "app/worker_messages.h"
#include "platform/format_text.h"
#include "platform/regular_file.h"
#include "platform/worker_process.h"
#include "state/settings.h"

namespace dl {

namespace fs = std::filesystem;

namespace {

// The longest file name a folder takes, and the longest request or answer field a worker reads.
constexpr size_t kLongestName = 255;
constexpr size_t kLongestRequest = 1 << 20;
constexpr size_t kLongestAnswer = size_t(1) << 40;

RowForm form_of(const BatchOptions& o) { return {o.format == "jsonl", o.summary, o.spectrum}; }

// A worker's answer: its exit status, whether the file was analysed (so that --out gets its file),
// the body (the lines for the output) and the messages (what the analysis said on standard error).
struct Answer {
    int status = 1;
    bool analysed = false;
    std::string body, messages;
};

std::string answer_text(const Answer& a) {
    std::string text;
    AppendField(text, std::to_string(a.status));
    AppendField(text, a.analysed ? "1" : "0");
    AppendField(text, a.body);
    AppendField(text, a.messages);
    return text;
}

// Takes one whole answer off the front of `buffer`, when it holds one; an answer that cannot be
// read fails its file.
std::optional<Answer> take_answer(std::string& buffer) {
    std::vector<std::string> f;
    switch (TakeFields(buffer, kAnswerFields + 1, kLongestAnswer, f)) {
        case FieldsRead::Incomplete: return std::nullopt;
        case FieldsRead::Malformed: buffer.clear(); return Answer{1, false, {}, "the worker's answer cannot be read\n"};
        case FieldsRead::Complete: break;
    }
    const bool ok = f[0] == "0";
    return Answer{ok ? 0 : 1, f[1] == "1", std::move(f[2]), std::move(f[3])};
}

// A name cut to at most `most` bytes, not inside a character of UTF-8.
std::string cut_name(const std::string& name, size_t most) {
    if (name.size() <= most) return name;
    size_t end = most;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

// Where each file's rows go with --out: its name and the form's ending, made unique by a number
// when two files share a name, and cut where the whole would be longer than a folder takes.
std::vector<std::string> out_paths(const BatchOptions& o, const std::vector<ListedFile>& files) {
    if (o.out_dir.empty() || o.summary) return std::vector<std::string>(files.size());
    std::vector<std::string> paths;
    std::set<std::string> taken;
    const std::string ending = o.format == "jsonl" ? ".jsonl" : ".csv";
    for (const ListedFile& f : files) {
        const std::string name = fs::path(f.path).filename().string();
        std::string candidate = cut_name(name, kLongestName - ending.size()) + ending;
        for (int n = 2; taken.count(candidate); ++n) {
            const std::string number = "-" + std::to_string(n);
            candidate = cut_name(name, kLongestName - ending.size() - number.size()) + number + ending;
        }
        taken.insert(candidate);
        paths.push_back((fs::path(o.out_dir) / candidate).string());
    }
    return paths;
}

// The table --summary writes with --out.
std::string summary_path(const BatchOptions& o) {
    return (fs::path(o.out_dir) / (o.format == "jsonl" ? "summary.jsonl" : "summary.csv")).string();
}

// Writes a whole file through a temporary one that is renamed over it, so that no half-written file
// is left; false with the reason.
bool write_whole(const std::string& path, const std::string& text, std::string& why) {
    switch (replace_regular_file(path, text, 0644)) {
        case FileReplace::Written: return true;
        case FileReplace::NotRegular: why = "cannot write " + shown_name(path) + ": not a regular file"; return false;
        case FileReplace::Failed: why = "cannot write " + shown_name(path) + ": " + std::strerror(errno); return false;
    }
    return false;
}

std::string clock_text(double seconds) {
    const long s = long(seconds + 0.5);
    return s >= 3600 ? format_text("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60)
                     : format_text("%ld:%02ld", s / 60, s % 60);
}

class Progress {
public:
    Progress(bool shown, size_t total) : shown_(shown), total_(total), start_(std::chrono::steady_clock::now()) {}
    void show(size_t done) {
        if (!shown_) return;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::string line = format_text("dewlark: %zu/%zu files, %s elapsed", done, total_, clock_text(elapsed).c_str());
        if (done > 0 && done < total_)
            line += ", about " + clock_text(elapsed / double(done) * double(total_ - done)) + " left";
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }
    // Clears the line before other text is written to standard error.
    void clear() {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }
    bool shown() const { return shown_; }

private:
    bool shown_;
    size_t total_;
    std::chrono::steady_clock::time_point start_;
    bool drawn_ = false;
};

std::vector<std::string> worker_args(const BatchOptions& o) {
    std::vector<std::string> args = {"--analyse", "--worker", "--format", o.format};
    if (o.summary) args.push_back("--summary");
    if (o.defaults) args.push_back("--defaults");
    if (!o.spectrum_text.empty()) args.insert(args.end(), {"--spectrum", o.spectrum_text});
    if (!o.out_dir.empty()) args.insert(args.end(), {"--out", o.out_dir});
    for (const auto& [key, value] : o.sets) args.insert(args.end(), {"--set", key + "=" + value});
    return args;
}

struct Slot {
    std::unique_ptr<WorkerProcess> process;
    std::string received;
    long file = -1;  // the file it works on
};

// SIGINT and SIGTERM end the run between files: the workers are ended and no file is left half
// written. The run then ends by the signal, as it would have without this.
volatile std::sig_atomic_t g_end_signal = 0;
extern "C" void on_end_signal(int sig) { g_end_signal = sig; }

class EndSignalScope {
public:
    EndSignalScope() {
        g_end_signal = 0;
        struct sigaction sa {};
        sa.sa_handler = on_end_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no restart: a wait for the workers returns at once
        sigaction(SIGINT, &sa, &old_int_);
        sigaction(SIGTERM, &sa, &old_term_);
    }
    ~EndSignalScope() {
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
        if (const int sig = g_end_signal) ::raise(sig);
    }
    EndSignalScope(const EndSignalScope&) = delete;
    EndSignalScope& operator=(const EndSignalScope&) = delete;

private:
    struct sigaction old_int_ {}, old_term_ {};
};

}  // namespace

namespace {

// The whole of what a descriptor holds, however it comes (a file, a pipe, a FIFO); false with errno.
bool read_all(int fd, std::string& bytes) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(buf, size_t(n));
    }
}

}  // namespace

int ListSoundFiles(const BatchOptions& options, std::vector<ListedFile>& files) {
    for (const std::string& p : options.positional) AddListedPath(p, files);
    if (options.files_from.empty()) return 0;
    std::string bytes;
    const bool from_input = options.files_from == "-";
    const std::string list_name = from_input ? std::string("on standard input") : shown_name(options.files_from);
    // A list may come through a pipe (--files-from <(find ...)) as well as from a file.
    std::error_code ec;
    const bool folder = !from_input && fs::is_directory(options.files_from, ec);
    const int fd = from_input ? 0 : folder ? -1 : ::open(options.files_from.c_str(), O_RDONLY | O_CLOEXEC);
    const bool read = fd >= 0 && read_all(fd, bytes);
    const int why = folder ? EISDIR : errno;
    if (fd > 0) ::close(fd);
    if (!read)
        return BatchFailure("dewlark: cannot read the list of files " + list_name + ": " + std::strerror(why));
    std::vector<std::string> names;
    std::string problem;
    if (!SplitFileList(bytes, options.null_separated, names, problem)) {
        std::fprintf(stderr, "dewlark: the list of files %s: %s\n", list_name.c_str(), problem.c_str());
        return kUsageStatus;
    }
    for (const std::string& n : names) AddListedPath(n, files);
    return 0;
}

int RunManyFiles(const BatchOptions& options) {
    if (!options.png.empty()) return BatchUsageError("dewlark: --png takes a single file");
    // Said once here rather than once a file by every worker.
    if (!CheckSettingOverrides(options)) return kUsageStatus;
    std::vector<ListedFile> files;
    if (const int listed = ListSoundFiles(options, files); listed != 0) return listed;
    if (files.empty() && options.files_from.empty()) return BatchFailure("dewlark: no sound files to analyse");
    if (!options.out_dir.empty()) {
        std::error_code ec;
        fs::create_directories(options.out_dir, ec);
        if (!fs::is_directory(options.out_dir, ec))
            return BatchFailure("dewlark: cannot make the folder " + shown_name(options.out_dir) +
                                (ec ? ": " + ec.message() : std::string()));
    }
    const std::vector<std::string> outs = out_paths(options, files);
    const RowForm form = form_of(options);
    // With --out the rows go to the files (a table for --summary), and standard output stays empty.
    const bool to_stdout = options.out_dir.empty();
    std::string table = options.header ? ManyHeader(form) : std::string();
    if (to_stdout) {
        WriteOutput(table);
        table.clear();
    }
    bool failed = false;
    auto finish_run = [&]() {
        if (!to_stdout && options.summary) {
            std::string why;
            if (!write_whole(summary_path(options), table, why)) failed = BatchFailure("dewlark: " + why);
        }
        FlushOutput();
        return failed ? 1 : 0;
    };
    // An empty list is a part of a larger one with nothing in it: the header alone.
    if (files.empty()) return finish_run();

    const size_t jobs = std::min<size_t>(options.jobs ? options.jobs : usable_cores(), files.size());
    std::vector<Slot> slots(jobs);
    std::vector<std::optional<Answer>> answers(files.size());
    Progress progress(!options.quiet && error_is_terminal(), files.size());
    size_t next = 0, written = 0, done = 0;
    EndSignalScope end_signals;

    auto say = [&](const std::string& text) {
        progress.clear();
        std::fwrite(text.data(), 1, text.size(), stderr);
    };
    auto finish_file = [&](size_t file, Answer a) {
        answers[file] = std::move(a);
        ++done;
        // Written in the order the files were named, each file's lines together.
        while (written < files.size() && answers[written]) {
            Answer& w = *answers[written];
            if (w.status != 0) failed = true;
            if (to_stdout) {
                WriteOutput(w.body);
            } else if (options.summary) {
                table += w.body;
            } else if (w.analysed) {
                std::string why;
                if (!write_whole(outs[written], w.body, why)) {
                    failed = true;
                    w.messages += "dewlark: " + why + "\n";
                }
            }
            if (!w.messages.empty()) say(w.messages);
            answers[written] = Answer{w.status, false, {}, {}};
            ++written;
        }
        FlushOutput();
        progress.show(done);
    };
    auto start = [&](Slot& s) {
        s.process = std::make_unique<WorkerProcess>();
        s.received.clear();
        std::string why;
        if (s.process->start(worker_args(options), &why)) return true;
        s.process.reset();
        say("dewlark: cannot start a worker: " + why + "\n");
        return false;
    };
    // The next file to a free worker; a place already known to fail gets its row at once.
    auto hand_out = [&](Slot& s) {
        s.file = -1;
        while (next < files.size() && !files[next].error.empty()) {
            const size_t f = next++;
            const std::string& why = files[f].error;
            finish_file(f, Answer{1, false, to_stdout || options.summary ? ErrorRow(form, files[f].path, why) : "",
                                  "dewlark: " + shown_name(files[f].path) + ": " + why + "\n"});
        }
        if (next >= files.size() || !s.process) return;
        s.file = long(next++);
        std::string request;
        AppendField(request, files[size_t(s.file)].path);
        if (!s.process->send(request)) s.received.clear();
    };
    auto interrupted = [&] { return g_end_signal != 0 || OutputFailed(); };

    for (Slot& s : slots)
        if (start(s)) hand_out(s);
    if (std::none_of(slots.begin(), slots.end(), [](const Slot& s) { return bool(s.process); }) && done < files.size())
        return 1;
    progress.show(done);

    while (done < files.size() && !interrupted()) {
        std::vector<int> fds;
        std::vector<size_t> which;
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i].process && slots[i].file >= 0) fds.push_back(slots[i].process->output_fd()), which.push_back(i);
        if (fds.empty()) {
            // Every worker is gone and none could be started again: the rest cannot be analysed.
            while (next < files.size()) {
                const size_t f = next++;
                finish_file(f, Answer{1, false, to_stdout || options.summary ? ErrorRow(form, files[f].path, "no worker could analyse it") : "",
                                      {}});
            }
            break;
        }
        for (size_t r : wait_readable(fds, progress.shown() ? 1000 : -1)) {
            Slot& s = slots[which[r]];
            const bool open = s.process->receive(s.received);
            if (std::optional<Answer> a = take_answer(s.received)) {
                const size_t f = size_t(s.file);
                finish_file(f, std::move(*a));
                hand_out(s);
                continue;
            }
            if (open) continue;
            // The worker ended in the middle of a file: that file failed, the others go on.
            const WorkerProcess::Ending e = s.process->finish();
            const std::string why = e.signal ? format_text("the analysis stopped on signal %d", e.signal)
                                             : format_text("the analysis stopped with status %d", e.exit_code);
            const size_t f = size_t(s.file);
            finish_file(f, Answer{1, false, to_stdout || options.summary ? ErrorRow(form, files[f].path, why) : "",
                                  "dewlark: " + shown_name(files[f].path) + ": " + why + "\n"});
            if (start(s)) hand_out(s);
            else s.file = -1;
        }
        progress.show(done);
    }
    progress.clear();
    if (interrupted()) {
        // The workers end with the run; what they were doing is not written anywhere.
        for (Slot& s : slots) s.process.reset();
        FlushOutput();
        return failed ? 1 : 0;
    }
    long peak_kb = 0;
    for (Slot& s : slots)
        if (s.process) peak_kb = std::max(peak_kb, s.process->finish().peak_kb);
    if (const char* report = std::getenv("DEWLARK_WORKER_REPORT"); report && *report)
        std::fprintf(stderr, "dewlark: %zu workers, the largest held %ld kB\n", jobs, peak_kb);
    return finish_run();
}

namespace {

Answer analyse_for_worker(const BatchOptions& options, const std::string& file) {
    const RowForm form = form_of(options);
    const bool to_file = !options.out_dir.empty() && !options.summary;
    Answer a;
    std::string rows;
    std::vector<std::string> summary = EmptySummaryFields();
    ErrorCapture capture;
    a.status = AnalyseFile(
        options, file,
        [&](const AnalysedFile& f) {
            a.analysed = true;
            if (options.summary) {
                summary = SummaryFields(f);
            } else if (to_file && !form.jsonl) {
                rows = CsvHeader(options.spectrum) + "\n";
                for (const AnalysedBlock& b : f.blocks) rows += CsvRow(b.seconds, b.analysis, b.spectrum) + "\n";
            } else {
                for (const AnalysedBlock& b : f.blocks) rows += ManyRow(form, file, CsvFields(b.seconds, b.analysis, b.spectrum), {});
            }
        });
    a.messages = capture.finish();
    const std::string error = a.status == 0 ? std::string()
                              : a.messages.empty() ? std::string("the file cannot be analysed")
                                                   : OneLine(a.messages);
    if (options.summary) a.body = ManyRow(form, file, summary, error);
    else if (to_file) a.body = rows;
    else a.body = rows + (a.status == 0 ? std::string() : ErrorRow(form, file, error));
    // A message of the analysis that does not say what it is about (the text of a message box) says
    // which file it was; the program's own ("dewlark: ...") name what they are about already.
    const std::string named = "dewlark: " + shown_name(file) + ": ";
    if (a.status != 0 && a.messages.empty()) a.messages = error + "\n";
    std::string messages;
    for (size_t at = 0; at < a.messages.size();) {
        const size_t end = std::min(a.messages.find('\n', at), a.messages.size());
        const std::string line = a.messages.substr(at, end - at);
        at = end + 1;
        if (line.empty()) continue;
        messages += (line.rfind("dewlark: ", 0) == 0 ? line : named + line) + "\n";
    }
    a.messages = messages;
    return a;
}

}  // namespace

int RunAnalyseWorker(const BatchOptions& options) {
    // A worker serves its run alone: it ends when the run does, whatever it is doing.
    end_with_parent();
    // The answers go on the first output; what the program prints anywhere else must not mix in.
    std::fflush(stdout);
    const int answers = ::dup(1);
    if (answers < 0) return 1;
    if (std::FILE* null = std::fopen("/dev/null", "w")) {
        ::dup2(fileno(null), 1);
        std::fclose(null);
    }
    std::string received;
    std::vector<std::string> request;
    char buf[65536];
    for (;;) {
        const FieldsRead r = TakeFields(received, kRequestFields, kLongestRequest, request);
        if (r == FieldsRead::Malformed) return BatchFailure("dewlark: a worker's request cannot be read");
        if (r == FieldsRead::Complete) {
            if (!write_all(answers, answer_text(analyse_for_worker(options, request[0])))) return 1;
            continue;
        }
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        received.append(buf, size_t(n));
    }
    ::close(answers);
    return received.empty() ? 0 : BatchFailure("dewlark: a worker's request ended in the middle");
}

}  // namespace dl
