#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> split(const std::string& line, char sep = ',') {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string f;
    while (std::getline(s, f, sep)) out.push_back(f);
    if (!line.empty() && line.back() == sep) out.emplace_back();
    return out;
}

const std::string kProgram = DEWLARK_BINARY;

dl_test::ProgramRun shell(const std::string& command) { return dl_test::run_shell(command); }

// Sound files in every format the tools make, each a tone of its own, with an unreadable one in
// the middle; their paths in the order a folder walk gives them.
struct Library {
    std::string dir;
    std::vector<std::string> files;
    std::string broken;
};

Library make_library(size_t count, double shortest, double longest) {
    Library lib;
    lib.dir = dl_test::temp_dir() + "/library";
    std::string script = "set -e; mkdir -p " + lib.dir + "; cd " + lib.dir + "\n";
    const char* kinds[] = {"wav", "flac", "mp3", "ogg", "opus"};
    for (size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "t%03zu", i);
        const double hz = 110 * std::pow(2.0, double(i % 36) / 12);
        const double seconds = shortest + (longest - shortest) * double((i * 37) % 101) / 100;
        const std::string kind = kinds[i % 5];
        const std::string tone = "sox -n -r 44100 -c " + std::string(i % 2 ? "1" : "2") + " -b 16 ";
        const std::string synth = " synth " + std::to_string(seconds) + " sine " + std::to_string(hz) + " vol 0.5\n";
        if (kind == "wav" || kind == "flac") {
            script += tone + name + "." + kind + synth;
        } else {
            script += tone + name + ".tmp.wav" + synth;
            if (kind == "mp3") script += std::string("lame --quiet ") + name + ".tmp.wav " + name + ".mp3\n";
            if (kind == "ogg") script += std::string("oggenc -Q ") + name + ".tmp.wav -o " + name + ".ogg\n";
            if (kind == "opus") script += std::string("opusenc --quiet ") + name + ".tmp.wav " + name + ".opus\n";
            script += std::string("rm ") + name + ".tmp.wav\n";
        }
        lib.files.push_back(lib.dir + "/" + name + "." + kind);
    }
    // A header that promises sound that is not there.
    char broken[48];
    std::snprintf(broken, sizeof broken, "/t%03zu-broken.wav", count / 2);
    lib.broken = lib.dir + broken;
    script += "printf 'RIFF\\044\\0\\0\\0WAVEjunk' > " + lib.broken + "\n";
    const dl_test::ProgramRun made = shell("bash -c '" + script + "' 2>&1 || echo FAILED");
    EXPECT_EQ(made.out.find("FAILED"), std::string::npos) << made.out;
    lib.files.push_back(lib.broken);
    std::sort(lib.files.begin(), lib.files.end());
    return lib;
}

// The rows of each file in the many-file output, without the file and error columns.
std::map<std::string, std::string> rows_by_file(const std::string& out) {
    std::map<std::string, std::string> rows;
    const std::vector<std::string> lines = lines_of(out);
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t comma = lines[i].find(',');
        const std::string file = lines[i].substr(0, comma);
        std::string rest = lines[i].substr(comma + 1);
        if (rest.back() != ',') continue;  // an error row
        rest.pop_back();
        rows[file] += rest + "\n";
    }
    return rows;
}

std::string single_rows(const std::string& file) {
    const dl_test::ProgramRun r = dl_test::run_program("--analyse " + file);
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    const size_t header_end = r.out.find('\n');
    return header_end == std::string::npos ? std::string() : r.out.substr(header_end + 1);
}

// Two workers give every file the rows a run of its own gives it, both on standard output and
// in --out, and a broken file in the middle fails alone.
TEST(BatchMany, TwoWorkersGiveEachFileItsSingleRunRowsAndABrokenFileFailsAlone) {
    const char* asked = std::getenv("DEWLARK_MANY_FILES");
    const Library lib = make_library(asked ? size_t(std::atoi(asked)) : 10, 5, asked ? 60 : 6);
    const std::string out_dir = dl_test::temp_dir() + "/rows";
    const dl_test::ProgramRun many = dl_test::run_program("--analyse " + lib.dir + " --jobs 2");
    EXPECT_EQ(many.status, 1) << "a failed file makes the run fail";
    EXPECT_EQ(lines_of(many.out).at(0),
              "file,time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,f0_inharmonicity,error");
    const dl_test::ProgramRun to_files =
        dl_test::run_program("--analyse " + lib.dir + " --jobs 2 --quiet --out " + out_dir);
    EXPECT_EQ(to_files.status, 1);
    EXPECT_TRUE(to_files.out.empty()) << "the rows went to the folder";

    const std::map<std::string, std::string> rows = rows_by_file(many.out);
    std::vector<std::string> order;
    for (const std::string& line : lines_of(many.out)) {
        const std::string file = line.substr(0, line.find(','));
        if (order.empty() || order.back() != file) order.push_back(file);
    }
    order.erase(order.begin());  // the header
    EXPECT_EQ(order, lib.files) << "each file once, its rows together, in the order of the walk";
    for (const std::string& file : lib.files) {
        if (file == lib.broken) continue;
        const std::string single = single_rows(file);
        ASSERT_FALSE(single.empty()) << file;
        EXPECT_EQ(rows.count(file) ? rows.at(file) : "", single) << file;
        const std::string name = file.substr(file.rfind('/') + 1);
        EXPECT_EQ(dl_test::read_file(out_dir + "/" + name + ".csv"),
                  "time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,f0_inharmonicity\n" + single)
            << file;
    }
    bool error_row = false;
    for (const std::string& line : lines_of(many.out))
        if (line.rfind(lib.broken + ",", 0) == 0) {
            const std::vector<std::string> f = split(line);
            ASSERT_EQ(f.size(), 14u) << line;
            EXPECT_FALSE(f[13].empty()) << "the error column says why";
            error_row = true;
        }
    EXPECT_TRUE(error_row);
    EXPECT_NE(many.err.find(lib.broken), std::string::npos) << many.err;
    EXPECT_NE(to_files.err.find(lib.broken), std::string::npos) << to_files.err;
}

// One worker analyses the files one after the other: whatever the analysis keeps between blocks
// (the averaged spectrum the --spectrum columns read, the tracked note, the A4 history, the
// loudness) starts afresh with each file, so each gets the rows a run of its own gives it.
TEST(BatchMany, OneWorkerGivesEachFileOfASeriesItsOwnRunsRows) {
    const Library lib = make_library(4, 2, 3);
    for (const std::string settings :
         {"--set averaging=1 --set max_hold=1 --spectrum 440,1000", "--set traces=1 --set averaging=3 --spectrum 440",
          "--set precise_peaks=1 --set tuner=1 --set freqnum=0 --set level_meter=2",
          "--set wavmode=2 --set averaging=2 --set average_blocks=4 --set freqnum=1 --spectrum 300"}) {
        SCOPED_TRACE(settings);
        const dl_test::ProgramRun series = dl_test::run_program("--analyse " + lib.dir + " --jobs 1 " + settings);
        const std::map<std::string, std::string> rows = rows_by_file(series.out);
        for (const std::string& file : lib.files) {
            if (file == lib.broken) continue;
            const dl_test::ProgramRun alone = dl_test::run_program("--analyse " + file + " " + settings);
            ASSERT_EQ(alone.status, 0) << alone.err;
            const std::string own = alone.out.substr(alone.out.find('\n') + 1);
            ASSERT_FALSE(own.empty()) << file;
            EXPECT_EQ(rows.count(file) ? rows.at(file) : "", own) << file;
        }
    }
}

double field(const std::vector<std::string>& header, const std::vector<std::string>& row, const std::string& name) {
    const auto at = std::find(header.begin(), header.end(), name);
    EXPECT_NE(at, header.end()) << name;
    return at == header.end() ? NAN : std::atof(row[size_t(at - header.begin())].c_str());
}

std::string text_field(const std::vector<std::string>& header, const std::vector<std::string>& row,
                       const std::string& name) {
    const auto at = std::find(header.begin(), header.end(), name);
    return at == header.end() ? "?" : row[size_t(at - header.begin())];
}

// The summary's pitch, notes, peak and level against tones and chords made to known answers.
TEST(BatchMany, TheSummaryReadsTonesAndChordsToTheirKnownAnswers) {
    const std::string dir = dl_test::temp_dir();
    // 1 cent flat of A3; a tone at half of full scale; 3 s of a C major chord, C4 the loudest,
    // then 1 s of A4.
    const dl_test::ProgramRun made = shell(
        "cd " + dir + " && sox -n -r 44100 -c 1 -b 16 flat.wav synth 4 sine 219.873 vol 0.5 && "
        "sox -n -r 44100 -c 2 -b 16 e5.flac synth 3 sine 659.255 vol 0.5 && "
        "sox -n -r 44100 -c 1 -b 16 chord.wav synth 3 sine 261.626 sine 329.628 sine 391.995 remix 1v0.5,2v0.25,3v0.2 && "
        "sox -n -r 44100 -c 1 -b 16 a4.wav synth 1 sine 440 vol 0.5 && "
        "sox chord.wav a4.wav chord_then_a4.wav && echo made");
    ASSERT_NE(made.out.find("made"), std::string::npos) << made.err;
    const dl_test::ProgramRun r = dl_test::run_program("--analyse --defaults --summary " + dir + "/flat.wav " + dir +
                                                       "/e5.flac " + dir + "/chord_then_a4.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    const std::vector<std::string> header = split(lines[0]);
    EXPECT_EQ(header.front(), "file");
    EXPECT_EQ(header.back(), "error");

    const std::vector<std::string> flat = split(lines[1]);
    ASSERT_EQ(flat.size(), header.size()) << lines[1];
    EXPECT_NEAR(1200 * std::log2(field(header, flat, "f0_median_hz") / 219.873), 0, 0.1);
    EXPECT_EQ(text_field(header, flat, "f0_note"), "A3");
    EXPECT_NEAR(field(header, flat, "f0_cents"), -1.0, 0.1);
    EXPECT_NEAR(field(header, flat, "seconds"), 4.0, 0.001);
    EXPECT_EQ(text_field(header, flat, "format"), "wav");
    EXPECT_NEAR(field(header, flat, "sample_peak_dbfs"), -6.02, 0.02);
    EXPECT_NEAR(field(header, flat, "rms_dbfs"), -9.03, 0.02);  // a sine's power is half its peak's
    // Loudness: -0.691 dB plus the power, where the weighting leaves a low sine as it is.
    EXPECT_NEAR(field(header, flat, "lufs"), -0.691 - 9.03, 0.2);
    EXPECT_EQ(text_field(header, flat, "notes"), "A3 100.0%");
    EXPECT_TRUE(text_field(header, flat, "error").empty());

    const std::vector<std::string> e5 = split(lines[2]);
    EXPECT_NEAR(1200 * std::log2(field(header, e5, "f0_median_hz") / 659.255), 0, 0.1);
    EXPECT_EQ(text_field(header, e5, "format"), "flac");
    EXPECT_EQ(field(header, e5, "channels"), 2);
    EXPECT_NEAR(field(header, e5, "a4_median_hz"), 440.0, 0.1);

    // The chord's strongest note holds three quarters of the time and A4 the rest, within a block
    // (2048 samples at 11025 Hz: 0.186 s of 4 s).
    const std::vector<std::string> chord = split(lines[3]);
    const std::vector<std::string> notes = split(text_field(header, chord, "notes"), ';');
    ASSERT_EQ(notes.size(), 2u) << text_field(header, chord, "notes");
    const double block_share = 100 * 0.1858 / 4;
    EXPECT_EQ(notes[0].substr(0, 3), "C4 ");
    EXPECT_NEAR(std::atof(notes[0].c_str() + 3), 75, block_share) << notes[0];
    EXPECT_EQ(notes[1].substr(0, 3), "A4 ");
    EXPECT_NEAR(std::atof(notes[1].c_str() + 3), 25, block_share) << notes[1];
}

// One file's summary and rows as JSON lines; numbers stay numbers, empty fields are null.
TEST(BatchMany, JsonLinesNameEveryField) {
    const std::string dir = dl_test::temp_dir();
    ASSERT_EQ(shell("sox -n -r 44100 -c 1 -b 16 " + dir + "/a.wav synth 1 sine 440 vol 0.5").status, 0);
    const dl_test::ProgramRun rows = dl_test::run_program("--analyse --defaults --format jsonl " + dir + "/a.wav " + dir);
    ASSERT_EQ(rows.status, 0) << rows.err;
    const std::vector<std::string> lines = lines_of(rows.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind("{\"file\":\"" + dir + "/a.wav\",\"time\":0.000,\"peak_hz\":440.", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("\"f0_note\":\"A4\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"f0_cents\":0.0,"), std::string::npos) << "no plus sign: " << lines[0];
    EXPECT_NE(lines[0].find("\"error\":null}"), std::string::npos) << lines[0];
    const dl_test::ProgramRun summary =
        dl_test::run_program("--analyse --defaults --summary --format jsonl " + dir + "/a.wav " + dir + "/none.wav");
    EXPECT_EQ(summary.status, 1);
    const std::vector<std::string> s = lines_of(summary.out);
    ASSERT_EQ(s.size(), 2u) << summary.out;
    EXPECT_NE(s[0].find("\"lufs\":-9.7,\"error\":null}"), std::string::npos) << s[0];
    EXPECT_NE(s[1].find("\"seconds\":null"), std::string::npos) << s[1];
    EXPECT_EQ(s[1].find("\"error\":null"), std::string::npos) << s[1];
}

// The recipes of the README: a list on standard input, and GNU parallel spreading the list over
// runs whose joined output holds each file's summary once.
TEST(BatchMany, AListOnStandardInputAndTheGnuParallelRecipe) {
    const Library lib = make_library(6, 1, 2);
    const dl_test::ProgramRun whole = dl_test::run_program("--analyse --defaults --summary --quiet " + lib.dir);
    EXPECT_EQ(whole.status, 1);
    std::vector<std::string> expected = lines_of(whole.out);
    ASSERT_EQ(expected.size(), lib.files.size() + 1);
    expected.erase(expected.begin());
    std::sort(expected.begin(), expected.end());

    const dl_test::ProgramRun listed = shell("find " + lib.dir + " -type f | sort | " + kProgram +
                                             " --analyse --defaults --summary --files-from - --no-header");
    EXPECT_EQ(listed.status, 1);
    std::vector<std::string> from_list = lines_of(listed.out);
    std::sort(from_list.begin(), from_list.end());
    EXPECT_EQ(from_list, expected);

    const dl_test::ProgramRun header = dl_test::run_program("--analyse --summary --files-from /dev/null");
    EXPECT_EQ(header.status, 0);
    EXPECT_EQ(header.out, lines_of(whole.out).at(0) + "\n") << "an empty list prints the header alone";

    ASSERT_EQ(shell("command -v parallel").status, 0) << "GNU parallel is missing: scripts/deps.sh test installs it";
    const dl_test::ProgramRun spread =
        shell("find " + lib.dir + " -type f | parallel --will-cite --pipe -N 2 " + kProgram +
              " --analyse --defaults --summary --files-from - --no-header --jobs 1");
    std::vector<std::string> joined = lines_of(spread.out);
    std::sort(joined.begin(), joined.end());
    EXPECT_EQ(joined, expected) << spread.err;
}

// What a run is told wrongly is said before anything is analysed, and nothing is written.
TEST(BatchMany, WrongOptionsAreToldAndAnalyseNothing) {
    const std::string dir = dl_test::temp_dir();
    ASSERT_EQ(shell("mkdir " + dir + "/empty && sox -n -r 8000 -c 1 -b 16 " + dir + "/a.wav synth 1 sine 440").status, 0);
    // Options that cannot be acted on are usage errors (status 2); the rest fail (status 1).
    const struct {
        std::string args, message;
        int status;
    } cases[] = {
        {"--jobs 0 " + dir, "--jobs expects a whole number", 2},
        {"--jobs two " + dir, "--jobs expects", 2},
        {"--format xml " + dir, "--format expects csv or jsonl", 2},
        {"--png " + dir + "/p.png " + dir + " " + dir + "/a.wav", "--png takes a single file", 2},
        {"--set window=round " + dir, "window takes hann", 2},
        {"--set nosuchkey=1 " + dir, "unknown setting: nosuchkey", 2},
        {"--summary --spectrum 440 " + dir, "--spectrum adds columns to the block rows", 2},
        {"--reference-out " + dir + "/r.csv " + dir, "--reference-out takes one FILE", 2},
        {"--files-from " + dir + "/missing.txt", "cannot read the list of files", 1},
        {"--files-from " + dir, "cannot read the list of files " + dir + ": Is a directory", 1},
        {"--set window=hann " + dir + "/empty", "no sound files to analyse", 1},
        {"--out " + dir + "/a.wav/x " + dir, "cannot make the folder", 1},
    };
    for (const auto& c : cases) {
        const dl_test::ProgramRun r = dl_test::run_program("--analyse " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    }
    EXPECT_EQ(shell("ls " + dir).out, "a.wav\nempty\n") << "nothing written";
}

// Readable names set what the settings file's keys set, and --defaults does not read the file.
TEST(BatchMany, ReadableSettingsAndDefaultsGiveTheRowsOfTheFilesKeys) {
    const std::string dir = dl_test::temp_dir();
    ASSERT_EQ(shell("sox -n -r 22050 -c 1 -b 16 " + dir + "/a.wav synth 2 sine 440 sine 660").status, 0);
    const std::string file = dir + "/a.wav";
    const struct {
        std::string readable, stored;
        bool changes_rows;  // the view changes the picture, not the rows
    } pairs[] = {
        {"window=blackman", "mado=2", true},          {"transform=8192", "fftparam=13", true},
        {"labels=note+cents", "use_onmei=2", true},    {"view=spectrogram", "display=112", false},
        {"reference=442.5", "reference_a4=4425", true}, {"scale=linear", "Decibel=0", true},
        {"peaks=1", "freqnum=1", true},
    };
    const std::string plain = dl_test::run_program("--analyse " + file).out;
    for (const auto& p : pairs) {
        const dl_test::ProgramRun a = dl_test::run_program("--analyse " + file + " --set " + p.readable);
        const dl_test::ProgramRun b = dl_test::run_program("--analyse " + file + " --set " + p.stored);
        EXPECT_EQ(a.status, 0) << p.readable << ": " << a.err;
        EXPECT_EQ(a.out, b.out) << p.readable;
        if (p.changes_rows) {
            EXPECT_NE(a.out, plain) << p.readable << " changes nothing";
        }
    }
    // A settings file from before the precise estimator reads the line's frequency; --defaults
    // reads as a fresh start does.
    const std::string profile = dl_test::temp_dir();
    dl_test::write_file(profile + "/dewlark.INI", "[dewlark]\nuse_complex=0\nfftparam=9\n");
    const std::string fresh = dl_test::run_program_env("USERPROFILE=" + dl_test::temp_dir(), "--analyse " + file).out;
    const std::string old = dl_test::run_program_env("USERPROFILE=" + profile, "--analyse " + file).out;
    const std::string defaults = dl_test::run_program_env("USERPROFILE=" + profile, "--analyse --defaults " + file).out;
    EXPECT_NE(old, fresh);
    EXPECT_EQ(defaults, fresh);
}

}  // namespace
