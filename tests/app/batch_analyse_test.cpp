#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_analyse.h"
#include "audio/playback_fixture.h"
#include "state/analysis.h"
#include "state/reset.h"

namespace {

struct BatchRun {
    int status = -1;
    std::vector<std::vector<std::string>> rows;  // header first
    std::string err;
};

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string f;
    while (std::getline(s, f, sep)) out.push_back(f);
    if (!line.empty() && line.back() == sep) out.emplace_back();
    return out;
}

BatchRun analyse(const std::string& args, const std::string& env = "") {
    const dl_test::ProgramRun run = dl_test::run_program_env(env, "--analyse " + args);
    BatchRun r;
    r.status = run.status;
    r.err = run.err;
    std::stringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) r.rows.push_back(split(line, ','));
    return r;
}

std::string sine_wav() {
    static const std::string path = dl_test::write_file(
        "sine440.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {440.0}, 2.0)));
    return path;
}

const std::vector<std::string> kHeader = {"time",  "peak_hz", "level",    "a4",           "labels",
                                          "f0_hz", "f0_note", "f0_cents", "f0_confidence",
                                          "lufs_m", "lufs_s", "f0_inharmonicity"};

// A settings file from before the precise estimator and the tracker: the line's frequency, as always.
TEST(BatchAnalyse, AnOldSettingsFileReadsTheLineNearest440) {
    const std::string profile = dl_test::temp_dir();
    dl_test::write_file(profile + "/dewlark.INI", "[dewlark]\nuse_complex=0\n");
    const BatchRun r = analyse(sine_wav(), "USERPROFILE=" + profile);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.rows.size(), 11u);
    EXPECT_EQ(r.rows[0], kHeader);
    const double line = 44100.0 / 4096;  // default transform of 2^12 points
    const double nearest = std::round(440 / line) * line;
    for (size_t i = 1; i < r.rows.size(); ++i) {
        ASSERT_EQ(r.rows[i].size(), 12u);
        EXPECT_NEAR(std::atof(r.rows[i][0].c_str()), (i - 1) * 16384 / 88200.0, 0.0006);
        EXPECT_NEAR(std::atof(r.rows[i][1].c_str()), nearest, 0.05) << "row " << i;
        EXPECT_FALSE(r.rows[i][2].empty());
    }
}

// A fresh start reads the tone's own frequency, and the tracker names its note.
TEST(BatchAnalyse, AFreshStartReadsThePeakAndTheNotePrecisely) {
    const BatchRun r = analyse(sine_wav());
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.rows.size(), 11u);
    EXPECT_EQ(r.rows[0], kHeader);
    for (size_t i = 1; i + 1 < r.rows.size(); ++i) {  // the last block is a short remainder
        const std::vector<std::string>& row = r.rows[i];
        ASSERT_EQ(row.size(), 12u);
        EXPECT_NEAR(std::atof(row[1].c_str()), 440.0, 0.005) << "row " << i;
        // The tone first, with two digits more than the window shows; after it only what the samples
        // hold: the odd harmonics their truncation to whole numbers adds, far down, no side lobes.
        const std::vector<std::string> labels = split(row[4], ';');
        ASSERT_FALSE(labels.empty());
        EXPECT_EQ(labels[0].substr(0, 6), "440.00") << row[4];
        for (const std::string& l : labels) {
            const double k = std::atof(l.c_str()) / 440;
            EXPECT_NEAR(k, std::round(k), 0.01) << row[4];  // those at the level of the rounding itself
            EXPECT_EQ(int(std::round(k)) % 2, 1) << row[4];
        }
        EXPECT_NEAR(std::atof(row[5].c_str()), 440.0, 0.01) << "row " << i;
        EXPECT_EQ(row[6], "A4");
        EXPECT_EQ(row[7], "+0.0");
        EXPECT_GT(std::atof(row[8].c_str()), 0.9);
    }
}

// The loudness columns stay empty until their windows (400 ms, 3 s) hold sound, then read a steady
// stereo 1 kHz sine at -23 dBFS as -23 LUFS; silence after it reads "-inf" once the windows are past.
TEST(BatchAnalyse, LoudnessColumnsFillAsTheirWindowsDo) {
    std::string samples;
    for (size_t k = 0; k < 48000 * 4; ++k) {
        const double a = std::pow(10.0, -23.0 / 20) * 32767;
        const int16_t v = int16_t(std::lround(a * std::sin(2 * M_PI * 1000 * double(k) / 48000)));
        for (int c = 0; c < 2; ++c) samples += char(v & 0xFF), samples += char((v >> 8) & 0xFF);
    }
    samples += std::string(48000 * 4 * 4, '\0');
    const std::string wav = dl_test::write_file("sine1k_stereo.wav", dl_test::pcm_wav(2, 48000, 16, samples));
    const BatchRun r = analyse(wav);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.rows.size(), 20u);
    int momentary = 0, short_term = 0, silent = 0;
    for (size_t i = 1; i < r.rows.size(); ++i) {
        const std::vector<std::string>& row = r.rows[i];
        ASSERT_EQ(row.size(), 12u);
        const double t = std::atof(row[0].c_str());
        if (t < 0.1) {
            EXPECT_EQ(row[9], "") << "row " << i;
        }
        if (t < 2.5) {
            EXPECT_EQ(row[10], "") << "row " << i;
        }
        if (t > 0.5 && t < 3.5) {
            EXPECT_NEAR(std::atof(row[9].c_str()), -23.0, 0.1) << "row " << i;
            ++momentary;
        }
        if (t > 3.1 && t < 3.5) {
            EXPECT_NEAR(std::atof(row[10].c_str()), -23.0, 0.1) << "row " << i;
            ++short_term;
        }
        if (t > 7.5 && t < 7.9) {
            EXPECT_EQ(row[9], "-inf") << "row " << i;
            ++silent;
        }
    }
    EXPECT_GT(momentary, 5);
    EXPECT_GT(short_term, 0);
    EXPECT_GT(silent, 0);
}

TEST(BatchAnalyse, NoteNamesAndTheA4ReadOut) {
    const std::string png = dl_test::temp_dir() + "/window.png";
    const BatchRun r = analyse(sine_wav() + " --set use_onmei=1 --set use_complex=1 --png " + png);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.rows.size(), 3u);
    // The A4 read-out from the second block, once the note has held; the last block is a short
    // remainder.
    EXPECT_EQ(r.rows[1][3], "");
    for (size_t i = 1; i < r.rows.size() - 1; ++i) {
        EXPECT_EQ(r.rows[i][4].substr(0, 2), "A4") << r.rows[i][4];
        if (i >= 2) {
            EXPECT_NEAR(std::atof(r.rows[i][3].c_str()), 440.0, 0.5);
        }
    }
    const std::string picture = dl_test::read_file(png);
    ASSERT_GT(picture.size(), 1000u);
    EXPECT_EQ(picture.substr(1, 3), "PNG");
}

TEST(BatchAnalyse, RowsAreTheSameWhetherThePictureIsDrawnOrNot) {
    // Without --png the blocks are only measured; what they measure must not depend on drawing.
    const std::string png = dl_test::temp_dir() + "/rows.png";
    for (const char* view : {"linear", "log", "tuning"}) {
        for (const char* extra : {"", " --set use_onmei=1 --set freqnum=6", " --set use_complex=1"}) {
            const std::string args = sine_wav() + " --set view=" + view + extra;
            const BatchRun measured = analyse(args);
            const BatchRun drawn = analyse(args + " --png " + png);
            ASSERT_EQ(measured.status, 0) << measured.err;
            ASSERT_EQ(drawn.status, 0) << drawn.err;
            ASSERT_GE(measured.rows.size(), 11u);
            EXPECT_EQ(measured.rows, drawn.rows) << args;
        }
    }
}

// The width and height a PNG file's header gives.
std::pair<int, int> png_size(const std::string& bytes) {
    if (bytes.size() < 24) return {0, 0};
    auto be32 = [&](size_t at) {
        return int((uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
                   (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3])));
    };
    return {be32(16), be32(20)};
}

TEST(BatchAnalyse, APictureOfTheSizeAskedForWithTheSameRows) {
    const std::string png = dl_test::temp_dir() + "/sized.png";
    const BatchRun plain = analyse(sine_wav());
    const BatchRun sized = analyse(sine_wav() + " --png " + png + " --size 1000x700");
    ASSERT_EQ(sized.status, 0) << sized.err;
    EXPECT_EQ(sized.rows, plain.rows);
    EXPECT_EQ(png_size(dl_test::read_file(png)), std::make_pair(1000, 700));
    // Below the normal window the picture is the normal one.
    ASSERT_EQ(analyse(sine_wav() + " --png " + png + " --size 100x100").status, 0);
    const std::pair<int, int> normal = png_size(dl_test::read_file(png));
    EXPECT_GT(normal.first, 500);
    EXPECT_GT(normal.second, 300);
    ASSERT_EQ(analyse(sine_wav() + " --png " + png).status, 0);
    EXPECT_EQ(png_size(dl_test::read_file(png)), normal);
    for (const char* bad : {"1000", "1000x", "x700", "0x700", "1000x700x3", "8193x700", "axb"}) {
        const BatchRun r = analyse(sine_wav() + " --png " + png + " --size " + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--size expects WIDTHxHEIGHT"), std::string::npos) << bad << ": " << r.err;
    }
}

TEST(BatchAnalyse, FailuresGoToStandardErrorWithStatusOne) {
    BatchRun r = analyse("/nonexistent/file.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cant open file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.rows.empty());
    // A command line that cannot be acted on is a usage error, told before any work.
    r = analyse(sine_wav() + " --set nosuchkey=1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nosuchkey"), std::string::npos);
    r = analyse(sine_wav() + " --png");
    EXPECT_EQ(r.status, 2);
}

TEST(BatchAnalyse, MemoryModeAndCompressedSources) {
    // Memory mode: the ticks run on the batch clock and cover the sound once.
    BatchRun r = analyse(sine_wav() + " --set OnMem=1");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.rows.size(), 10u);
    double last = -1;
    for (size_t i = 1; i < r.rows.size(); ++i) {
        const double t = std::atof(r.rows[i][0].c_str());
        EXPECT_GT(t, last);
        last = t;
    }
    EXPECT_LT(last, 2.0);
    r = analyse(std::string(DEWLARK_TEST_DATA) + "/ogg_44k_stereo_q3.ogg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GE(r.rows.size(), 2u);
    r = analyse(std::string(DEWLARK_TEST_DATA) + "/mp3_44k_stereo_128k_cbr.mp3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GE(r.rows.size(), 2u);
}
}  // namespace

namespace {

// A disk that fills up after 4 KB: writes beyond fail as they would on a full one.
dl_test::ProgramRun analyse_on_small_disk(const std::string& png) {
    return dl_test::run_shell("trap '' XFSZ; ulimit -f 4; " + std::string(DEWLARK_BINARY) + " --analyse " +
                              sine_wav() + " --png " + png + " >/dev/null");
}

TEST(BatchAnalyse, APictureThatCannotBeWrittenFailsAndLeavesTheOldFileWhole) {
    const std::string dir = dl_test::temp_dir();
    const std::string png = dir + "/shot.png";
    dl_test::write_file(png, "the picture before");
    dl_test::ProgramRun r = analyse_on_small_disk(png);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write " + png + ": File too large"), std::string::npos) << r.err;
    EXPECT_EQ(dl_test::read_file(png), "the picture before");

    const std::string fresh = dir + "/fresh.png";
    r = analyse_on_small_disk(fresh);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(access(fresh.c_str(), F_OK), 0) << "no empty or half picture is left";
    EXPECT_EQ(dl_test::run_shell("ls " + dir).out, "shot.png\n") << "nor a temporary file";

    r = dl_test::run_program("--analyse " + sine_wav() + " --png " + dir + "/missing/shot.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
}

TEST(BatchAnalyse, APictureGoesOnlyOverARegularFileAndKeepsItsPermissions) {
    const std::string dir = dl_test::temp_dir();
    auto picture = [&](const std::string& png) { return analyse(sine_wav() + " --png '" + png + "'"); };
    struct stat st {};

    // A FIFO and a device node by the name are left as they were, and the run is refused saying why
    // before any work.
    const std::string fifo = dir + "/fifo.png", node = dir + "/node.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const bool have_node = ::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    for (const std::string& path : have_node ? std::vector<std::string>{fifo, node} : std::vector<std::string>{fifo}) {
        const BatchRun r = picture(path);
        EXPECT_EQ(r.status, 2) << path;
        EXPECT_NE(r.err.find("cannot write " + path + ": not a regular file"), std::string::npos) << r.err;
        EXPECT_TRUE(r.rows.empty());
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(path == fifo ? S_ISFIFO(st.st_mode) : S_ISCHR(st.st_mode)) << path;
    }
    // A link: the picture goes to the file it names, and the link stays; one to a FIFO fails.
    dl_test::write_file(dir + "/target.png", "old");
    const std::string link = dir + "/link.png", fifo_link = dir + "/fifo_link.png";
    ASSERT_EQ(::symlink("target.png", link.c_str()), 0);
    ASSERT_EQ(::symlink("fifo.png", fifo_link.c_str()), 0);
    EXPECT_EQ(picture(link).status, 0);
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dl_test::read_file(dir + "/target.png").substr(1, 3), "PNG");
    EXPECT_EQ(picture(fifo_link).status, 2);
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A private picture stays private; a new one is made as a plain create makes it.
    const std::string own = dl_test::write_file(dir + "/own.png", "old");
    ASSERT_EQ(::chmod(own.c_str(), 0600), 0);
    EXPECT_EQ(picture(own).status, 0);
    ASSERT_EQ(::stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(picture(dir + "/new.png").status, 0);
    ASSERT_EQ(::stat((dir + "/new.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

    // The longest name a folder takes.
    const std::string longest = dir + "/" + std::string(251, 'p') + ".png";
    const BatchRun r = picture(longest);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dl_test::read_file(longest).substr(1, 3), "PNG");
}

TEST(BatchAnalyse, SettingsTheRunCorrectsAreSaidOnceEachAndBadOverridesAreRefused) {
    const std::string profile = dl_test::temp_dir();
    dl_test::write_file(profile + "/dewlark.INI", "[dewlark]\nfftparam=40\nmado=3\n");
    // The file's value out of range is corrected and said once; the run's own override is taken.
    dl_test::ProgramRun r = dl_test::run_program_env(
        "USERPROFILE=" + profile, "--analyse " + sine_wav() + " --set mado=5 --set freqnum=7");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "dewlark: settings: fftparam=40 is out of range, using 16\n");
    // A value the run itself gives out of range is refused before any work, with what it takes.
    r = dl_test::run_program_env("USERPROFILE=" + profile,
                                 "--analyse " + sine_wav() + " --set fftparam=40 --set mado=9");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "fftparam=40: fftparam takes 8 to 16\n");
    EXPECT_TRUE(r.out.empty());
    // Nothing of it is saved.
    EXPECT_EQ(dl_test::read_file(profile + "/dewlark.INI"), "[dewlark]\nfftparam=40\nmado=3\n");
}

}  // namespace

namespace {

// The rows of one file analysed in this process, as --analyse prints them.
std::vector<std::string> rows_in_process(const std::string& path, const std::vector<std::pair<std::string, std::string>>& sets) {
    dl::BatchOptions options;
    options.defaults = true;
    options.sets = sets;
    std::vector<std::string> rows;
    const int status = dl::AnalyseFile(options, path, [&](const dl::AnalysedFile& file) {
        for (const dl::AnalysedBlock& b : file.blocks) rows.push_back(dl::CsvRow(b.seconds, b.analysis, b.spectrum));
    });
    EXPECT_EQ(status, 0);
    return rows;
}

}  // namespace

// The analyser keeps the note it followed, the A4 history, the averages and the loudness from block
// to block: a second analysis of the same file after the process is reset starts from nothing again
// and gives the same rows.
TEST(BatchAnalyse, ASecondAnalysisAfterAResetGivesTheSameRows) {
    // A low note whose second harmonic is the stronger (the tracker keeps to its octave only when it
    // starts from nothing), then the octave above: a run that remembered the end would start high.
    std::string pcm;
    for (int k = 0; k < 2 * 44100; ++k) {
        const double t = k / 44100.0;
        const double v = k < 44100 ? 3000 * std::sin(2 * M_PI * 196 * t) + 12000 * std::sin(2 * M_PI * 392 * t)
                                   : 12000 * std::sin(2 * M_PI * 392 * t);
        const int16_t s = int16_t(std::lround(v));
        pcm += char(s & 0xFF);
        pcm += char((s >> 8) & 0xFF);
    }
    const std::string path = dl_test::write_file("octaves.wav", dl_test::pcm_wav(1, 44100, 16, pcm));
    const std::vector<std::pair<std::string, std::string>> sets = {{"averaging", "1"}, {"max_hold", "1"},
                                                                   {"level_meter", "2"}, {"tuner", "1"}};
    dl::ResetProcessState();
    const std::vector<std::string> first = rows_in_process(path, sets);
    dl::ResetProcessState();
    const std::vector<std::string> second = rows_in_process(path, sets);
    ASSERT_GE(first.size(), 10u);
    EXPECT_EQ(first, second);
}
