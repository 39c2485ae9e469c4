// Any arguments of the batch commands, cut into tokens at NUL bytes, read with the options the
// command takes: --analyse's every many-file option and --reference-out (three inputs in four,
// by the first byte), --monitor's --device and --seconds, or --loudness's common ones alone.
//
// A command line refused says why on standard error; one read says nothing. What it reads is in
// range, sets only options the command takes, and said again as a canonical command line (every
// option it set, then "--" and the files) reads back the same. "--" ends the options: any tokens
// after it are files, whatever they look like.
// A target of its own rather than part of command_line_fuzz: that one checks the window's
// switches and the settings the overrides leave; this one what the option reader makes of the
// arguments, for every command's set of options.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "captured_stderr.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

using Args = std::vector<std::string>;

bool has(const Args& list, const std::string& name) {
    for (const std::string& x : list)
        if (x == name) return true;
    return false;
}

bool same(const dl::BatchOptions& a, const dl::BatchOptions& b) {
    return a.positional == b.positional && a.sets == b.sets && a.png == b.png && a.width == b.width &&
           a.height == b.height && a.reference_out == b.reference_out && a.device == b.device &&
           a.seconds == b.seconds && a.defaults == b.defaults && a.spectrum == b.spectrum &&
           a.spectrum_text == b.spectrum_text && a.many == b.many && a.jobs == b.jobs && a.summary == b.summary &&
           a.format == b.format && a.out_dir == b.out_dir && a.files_from == b.files_from &&
           a.null_separated == b.null_separated && a.quiet == b.quiet && a.header == b.header && a.worker == b.worker;
}

// Every option `o` holds, as a command line that sets it; its files after "--".
Args canonical(const dl::BatchOptions& o) {
    Args args;
    auto add = [&](std::initializer_list<std::string> more) { args.insert(args.end(), more); };
    for (const auto& [key, value] : o.sets) add({"--set", key + "=" + value});
    if (!o.png.empty()) add({"--png", o.png});
    if (o.width > 0) add({"--size", std::to_string(o.width) + "x" + std::to_string(o.height)});
    if (!o.reference_out.empty()) add({"--reference-out", o.reference_out});
    if (!o.spectrum_text.empty()) add({"--spectrum", o.spectrum_text});
    if (o.defaults) add({"--defaults"});
    if (!o.device.empty()) add({"--device", o.device});
    if (o.seconds >= 0) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", o.seconds);
        add({"--seconds", text});
    }
    const size_t before_many = args.size();
    if (o.jobs) add({"--jobs", std::to_string(o.jobs)});
    if (o.summary) add({"--summary"});
    if (o.format != "csv") add({"--format", o.format});
    if (!o.out_dir.empty()) add({"--out", o.out_dir});
    if (!o.files_from.empty()) add({"--files-from", o.files_from});
    if (o.null_separated) add({"--null"});
    if (o.quiet) add({"--quiet"});
    if (!o.header) add({"--no-header"});
    if (o.worker) add({"--worker"});
    // Asked for with nothing else to say (an empty list name, say): the default format says it.
    if (o.many && args.size() == before_many) add({"--format", o.format});
    args.push_back("--");
    args.insert(args.end(), o.positional.begin(), o.positional.end());
    return args;
}

void check_ranges(const dl::BatchOptions& o, const Args& allowed) {
    check(o.jobs == 0 || (o.jobs >= 1 && o.jobs <= 1024));
    check(o.format == "csv" || o.format == "jsonl");
    check((o.width == 0 && o.height == 0) || (o.width >= 1 && o.width <= 8192 && o.height >= 1 && o.height <= 8192));
    for (double hz : o.spectrum) check(std::isfinite(hz) && hz >= 0);
    check(o.spectrum.empty() == o.spectrum_text.empty());
    check(o.seconds == -1 || o.seconds >= 0);
    for (const auto& [key, value] : o.sets) check(!key.empty() && key.find('=') == std::string::npos);
    // Only what the command takes is set.
    if (!has(allowed, "--device")) check(o.device.empty());
    if (!has(allowed, "--seconds")) check(o.seconds == -1);
    if (!has(allowed, "--reference-out")) check(o.reference_out.empty());
    const bool many_taken = has(allowed, "--jobs");
    if (!many_taken) check(!o.many);
    if (!o.many)
        check(o.jobs == 0 && !o.summary && o.format == "csv" && o.out_dir.empty() && o.files_from.empty() &&
              !o.null_separated && !o.quiet && o.header && !o.worker);
}

// Reads `args`; a refusal must be said, a reading must say nothing.
bool parse(const Args& args, const Args& allowed, dl::BatchOptions& out) {
    captured_stderr::clear();
    const bool read = dl::ParseBatchOptions(args, allowed, out);
    check(read == captured_stderr::said().empty());
    return read;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    captured_stderr::install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Args allowed;
    switch (data[0] & 3) {
        case 0:
        case 1:
            allowed = dl::ManyFileOptions();
            allowed.push_back("--reference-out");
            break;
        case 2: allowed = {"--device", "--seconds"}; break;
        default: break;
    }
    Args tokens(1);
    for (size_t i = 1; i < size && tokens.size() <= 40; ++i) {
        if (data[i] == 0) tokens.emplace_back();
        else tokens.back() += char(data[i]);
    }

    // After "--" every token is a file.
    Args ended = {"--"};
    ended.insert(ended.end(), tokens.begin(), tokens.end());
    dl::BatchOptions files_only;
    check(parse(ended, allowed, files_only) && same(files_only, [&] {
              dl::BatchOptions expected;
              expected.positional = tokens;
              return expected;
          }()));

    dl::BatchOptions options;
    if (!parse(tokens, allowed, options)) return 0;
    check_ranges(options, allowed);

    Args said_again = canonical(options);
    dl::BatchOptions again;
    check(parse(said_again, allowed, again) && same(again, options));
    // Files after the options' end join the ones read, whatever they look like.
    said_again.insert(said_again.end(), tokens.begin(), tokens.end());
    dl::BatchOptions more;
    check(parse(said_again, allowed, more));
    options.positional.insert(options.positional.end(), tokens.begin(), tokens.end());
    check(same(more, options));
    return 0;
}
