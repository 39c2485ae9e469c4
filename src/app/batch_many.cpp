#include "app/batch_many.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>

#include "app/batch_analyse.h"
#include "app/batch_rows.h"
#include "app/batch_summary.h"
#include "platform/format_text.h"
#include "platform/worker_process.h"
#include "state/settings.h"

namespace dl {

namespace fs = std::filesystem;

namespace {

bool sound_extension(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".wav" || ext == ".mp3" || ext == ".ogg" || ext == ".oga" || ext == ".flac" || ext == ".opus";
}

void add_listed(const std::string& path, std::vector<std::string>& files) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        files.push_back(path);
        return;
    }
    std::vector<std::string> found;
    fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && sound_extension(it->path())) found.push_back(it->path().string());
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}

bool read_list(std::istream& in, std::vector<std::string>& files) {
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) add_listed(line, files);
    }
    return !in.bad();
}

RowForm form_of(const BatchOptions& o) { return {o.format == "jsonl", o.summary, o.spectrum}; }

// A request to a worker: the file and, with --out, where its rows go; NUL ends each.
std::string request(const std::string& file, const std::string& out) { return file + '\0' + out + '\0'; }

// A worker's answer: "STATUS BODY MESSAGES\n", then the body (the lines for the output) and the
// messages (what the analysis said on standard error).
struct Answer {
    int status = 1;
    std::string body, messages;
};
std::string answer_text(const Answer& a) {
    return format_text("%d %zu %zu\n", a.status, a.body.size(), a.messages.size()) + a.body + a.messages;
}
// Takes one whole answer off the front of `buffer`, when it holds one.
std::optional<Answer> take_answer(std::string& buffer) {
    const size_t eol = buffer.find('\n');
    if (eol == std::string::npos) return std::nullopt;
    int status = 1;
    size_t body = 0, messages = 0;
    if (std::sscanf(buffer.c_str(), "%d %zu %zu", &status, &body, &messages) != 3) {
        buffer.clear();
        return Answer{1, {}, "the worker's answer cannot be read"};
    }
    if (buffer.size() < eol + 1 + body + messages) return std::nullopt;
    Answer a{status, buffer.substr(eol + 1, body), buffer.substr(eol + 1 + body, messages)};
    buffer.erase(0, eol + 1 + body + messages);
    return a;
}

// Where each file's rows go with --out: its name and the form's ending, made unique by a number
// when two files share a name.
std::vector<std::string> out_paths(const BatchOptions& o, const std::vector<std::string>& files) {
    std::vector<std::string> paths;
    if (o.out_dir.empty()) return std::vector<std::string>(files.size());
    std::set<std::string> taken;
    const std::string ending = o.format == "jsonl" ? ".jsonl" : ".csv";
    for (const std::string& f : files) {
        const std::string name = fs::path(f).filename().string();
        std::string candidate = name + ending;
        for (int n = 2; taken.count(candidate); ++n) candidate = name + "-" + std::to_string(n) + ending;
        taken.insert(candidate);
        paths.push_back((fs::path(o.out_dir) / candidate).string());
    }
    return paths;
}

// Writes through a file beside `path` that is renamed over it, so that no half-written file is
// left; false with the reason.
bool write_whole(const std::string& path, const std::string& text, std::string& why) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            why = "cannot write " + part;
            std::error_code ec;
            fs::remove(part, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(part, path, ec);
    if (ec) {
        why = "cannot write " + path + ": " + ec.message();
        fs::remove(part, ec);
        return false;
    }
    return true;
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

}  // namespace

bool ListSoundFiles(const BatchOptions& options, std::vector<std::string>& files) {
    for (const std::string& p : options.positional) add_listed(p, files);
    if (options.files_from.empty()) return true;
    if (options.files_from == "-") {
        if (!read_list(std::cin, files)) return BatchFailure("dewlark: cannot read the list of files on standard input"), false;
        return true;
    }
    std::ifstream list(options.files_from);
    if (!list || !read_list(list, files)) return BatchFailure("dewlark: cannot read the list of files " + options.files_from), false;
    return true;
}

int RunManyFiles(const BatchOptions& options) {
    if (!options.png.empty()) return BatchFailure("dewlark: --png takes a single file");
    {
        // Said once here rather than once a file by every worker.
        const SettingsRecord kept = Settings;
        const bool known = ApplySettingOverrides(options);
        Settings = kept;
        if (!known) return 1;
    }
    std::vector<std::string> files;
    if (!ListSoundFiles(options, files)) return 1;
    if (files.empty() && options.files_from.empty()) return BatchFailure("dewlark: no sound files to analyse");
    if (!options.out_dir.empty()) {
        std::error_code ec;
        fs::create_directories(options.out_dir, ec);
        if (!fs::is_directory(options.out_dir, ec))
            return BatchFailure("dewlark: cannot make the folder " + options.out_dir);
    }
    const std::vector<std::string> outs = out_paths(options, files);
    const RowForm form = form_of(options);
    // With --out and without --summary the rows go to the files, and standard output stays empty.
    const bool to_stdout = options.out_dir.empty() || options.summary;
    if (to_stdout && options.header) std::fputs(ManyHeader(form).c_str(), stdout);
    // An empty list is a part of a larger one with nothing in it: the header alone.
    if (files.empty()) return std::fflush(stdout), 0;

    const size_t jobs = std::min<size_t>(options.jobs ? options.jobs : usable_cores(), files.size());
    std::vector<Slot> slots(jobs);
    std::vector<std::optional<Answer>> answers(files.size());
    Progress progress(!options.quiet && error_is_terminal(), files.size());
    size_t next = 0, written = 0, done = 0;
    bool failed = false;

    auto finish_file = [&](size_t file, Answer a) {
        answers[file] = std::move(a);
        ++done;
        // Written in the order the files were named, each file's lines together.
        while (written < files.size() && answers[written]) {
            Answer& w = *answers[written];
            if (w.status != 0) failed = true;
            if (to_stdout) std::fwrite(w.body.data(), 1, w.body.size(), stdout);
            if (!w.messages.empty()) {
                progress.clear();
                std::fwrite(w.messages.data(), 1, w.messages.size(), stderr);
            }
            answers[written] = Answer{w.status, {}, {}};
            ++written;
        }
        std::fflush(stdout);
        progress.show(done);
    };
    auto start = [&](Slot& s) {
        s.process = std::make_unique<WorkerProcess>();
        s.received.clear();
        std::string why;
        if (s.process->start(worker_args(options), &why)) return true;
        s.process.reset();
        progress.clear();
        std::fprintf(stderr, "dewlark: cannot start a worker: %s\n", why.c_str());
        return false;
    };
    auto hand_out = [&](Slot& s) {
        s.file = -1;
        if (next >= files.size() || !s.process) return;
        s.file = long(next++);
        if (!s.process->send(request(files[size_t(s.file)], outs[size_t(s.file)]))) s.received.clear();
    };

    for (Slot& s : slots)
        if (start(s)) hand_out(s);
    if (std::none_of(slots.begin(), slots.end(), [](const Slot& s) { return bool(s.process); })) return 1;
    progress.show(0);

    while (done < files.size()) {
        std::vector<int> fds;
        std::vector<size_t> which;
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i].process && slots[i].file >= 0) fds.push_back(slots[i].process->output_fd()), which.push_back(i);
        if (fds.empty()) {
            // Every worker is gone and none could be started again: the rest cannot be analysed.
            while (next < files.size()) {
                const size_t f = next++;
                finish_file(f, Answer{1, ErrorRow(form, files[f], "no worker could analyse it"), {}});
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
            finish_file(f, Answer{1, to_stdout ? ErrorRow(form, files[f], why) : std::string(),
                                  "dewlark: " + files[f] + ": " + why + "\n"});
            if (start(s)) hand_out(s);
            else s.file = -1;
        }
        progress.show(done);
    }
    progress.clear();
    long peak_kb = 0;
    for (Slot& s : slots)
        if (s.process) peak_kb = std::max(peak_kb, s.process->finish().peak_kb);
    if (const char* report = std::getenv("DEWLARK_WORKER_REPORT"); report && *report)
        std::fprintf(stderr, "dewlark: %zu workers, the largest held %ld kB\n", jobs, peak_kb);
    std::fflush(stdout);
    return failed ? 1 : 0;
}

namespace {

// Reads one NUL-ended text of standard input; false at its end.
bool read_part(std::string& into) {
    into.clear();
    for (;;) {
        char c;
        const ssize_t n = ::read(0, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\0') return true;
        into += c;
    }
}

Answer analyse_for_worker(const BatchOptions& options, const std::string& file, const std::string& out) {
    const RowForm form = form_of(options);
    Answer a;
    SoundMeasure sound;
    std::string rows;
    bool analysed = false;
    std::vector<std::string> summary = EmptySummaryFields();
    ErrorCapture capture;
    a.status = AnalyseFile(
        options, file,
        [&](const AnalysedFile& f) {
            analysed = true;
            if (options.summary) summary = SummaryFields(f, sound);
            if (!out.empty() && !form.jsonl) {
                rows = CsvHeader(options.spectrum) + "\n";
                for (const AnalysedBlock& b : f.blocks) rows += CsvRow(b.seconds, b.analysis, b.spectrum) + "\n";
            } else {
                for (const AnalysedBlock& b : f.blocks) rows += ManyRow(form, file, CsvFields(b.seconds, b.analysis, b.spectrum), {});
            }
        },
        &sound);
    a.messages = capture.finish();
    std::string why;
    if (analysed && !out.empty() && !write_whole(out, rows, why)) {
        a.status = 1;
        a.messages += "dewlark: " + why + "\n";
    }
    const std::string error = a.status == 0 ? std::string()
                              : a.messages.empty() ? std::string("the file cannot be analysed")
                                                   : OneLine(a.messages);
    if (options.summary) a.body = ManyRow(form, file, summary, error);
    else if (out.empty()) a.body = rows + (a.status == 0 ? std::string() : ErrorRow(form, file, error));
    // A failure says which file it was, whatever the analysis said.
    if (a.status != 0 && a.messages.find(file) == std::string::npos)
        a.messages = "dewlark: " + file + ": " + (a.messages.empty() ? error + "\n" : a.messages);
    return a;
}

}  // namespace

int RunAnalyseWorker(const BatchOptions& options) {
    // The answers go on the first output; what the program prints anywhere else must not mix in.
    std::fflush(stdout);
    const int answers = ::dup(1);
    if (answers < 0) return 1;
    if (std::FILE* null = std::fopen("/dev/null", "w")) {
        ::dup2(fileno(null), 1);
        std::fclose(null);
    }
    std::string file, out;
    while (read_part(file) && read_part(out)) {
        const std::string text = answer_text(analyse_for_worker(options, file, out));
        size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = ::write(answers, text.data() + sent, text.size() - sent);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return 1;
            sent += size_t(n);
        }
    }
    ::close(answers);
    return 0;
}

}  // namespace dl
