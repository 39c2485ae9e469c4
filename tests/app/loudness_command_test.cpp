// dewlark --loudness: the figures of whole files as CSV and JSON, files that cannot be measured,
// and the same files measured by an independent tool from the samples their reference decoders give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "audio/encoded_files.h"
#include "audio/playback_fixture.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

namespace {

using encoded_files::shell_quote;
using encoded_files::tool;

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string f;
    while (std::getline(s, f, ',')) out.push_back(f);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
}

std::vector<std::vector<std::string>> rows_of(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::stringstream lines(out);
    for (std::string l; std::getline(lines, l);) rows.push_back(split(l));
    return rows;
}

// 16-bit interleaved samples of a steady sine at `dbfs` peak on every channel.
std::string sine_samples(uint16_t channels, uint32_t rate, double hz, double dbfs, double seconds) {
    std::string d;
    const double a = std::pow(10.0, dbfs / 20) * 32767;
    for (size_t k = 0; k < size_t(std::lround(seconds * rate)); ++k) {
        const int16_t v = int16_t(std::lround(a * std::sin(2 * M_PI * hz * double(k) / rate)));
        for (uint16_t c = 0; c < channels; ++c) d += char(v & 0xFF), d += char((v >> 8) & 0xFF);
    }
    return d;
}

// Stereo samples more like a programme: two tones whose level swells by 16 dB and back every
// 7.3 s, the right channel 3 dB lower.
std::string programme_samples(uint32_t rate, double seconds) {
    std::string d;
    for (size_t k = 0; k < size_t(std::lround(seconds * rate)); ++k) {
        const double t = double(k) / rate, a = std::pow(10.0, (-24 + 8 * std::sin(2 * M_PI * t / 7.3)) / 20) * 32767;
        const double v = a * (0.6 * std::sin(2 * M_PI * 440 * t) + 0.4 * std::sin(2 * M_PI * 2500 * t));
        for (double s : {v, 0.7 * v}) {
            const int16_t x = int16_t(std::lround(s));
            d += char(x & 0xFF), d += char((x >> 8) & 0xFF);
        }
    }
    return d;
}

const std::string kHeader = "file,integrated_lufs,loudness_range_lu,true_peak_dbtp,sample_peak_dbfs,duration_s";

}  // namespace

// A stereo 1 kHz sine at -23 dBFS per channel reads -23.0 LUFS, its peaks at -23 dB, its length
// to the sample; JSON gives the same figures; silence has no integrated loudness.
TEST(LoudnessCommand, ASineReadsItsLevelInCsvAndJson) {
    const std::string sine = dl_test::write_file(
        "sine1k_m23.wav", dl_test::pcm_wav(2, 48000, 16, sine_samples(2, 48000, 1000, -23, 10)));
    const std::string quiet =
        dl_test::write_file("silence.wav", dl_test::pcm_wav(1, 44100, 16, std::string(44100 * 4, '\0')));

    const dl_test::ProgramRun csv = dl_test::run_program("--loudness " + sine + " " + quiet);
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto rows = rows_of(csv.out);
    ASSERT_EQ(rows.size(), 3u) << csv.out;
    EXPECT_EQ(csv.out.substr(0, kHeader.size()), kHeader);
    ASSERT_EQ(rows[1].size(), 6u);
    EXPECT_EQ(rows[1][0], sine);
    EXPECT_NEAR(std::atof(rows[1][1].c_str()), -23.0, 0.05);
    EXPECT_NEAR(std::atof(rows[1][2].c_str()), 0.0, 0.1);
    EXPECT_NEAR(std::atof(rows[1][3].c_str()), -23.0, 0.1);
    EXPECT_NEAR(std::atof(rows[1][4].c_str()), -23.0, 0.05);
    EXPECT_EQ(rows[1][5], "10.000");
    // Silence: nothing above the gate, no peak; the length still counts.
    ASSERT_EQ(rows[2].size(), 6u);
    EXPECT_EQ(rows[2][1], "");
    EXPECT_EQ(rows[2][3], "");
    EXPECT_EQ(rows[2][4], "");
    EXPECT_EQ(rows[2][5], "2.000");

    const dl_test::ProgramRun json = dl_test::run_program("--loudness --json " + sine + " " + quiet);
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.front(), '[');
    EXPECT_NE(json.out.find("\"file\": \"" + sine + "\", \"integrated_lufs\": " + rows[1][1] +
                            ", \"loudness_range_lu\": " + rows[1][2]),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"integrated_lufs\": null"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"duration_s\": 2.000}\n]\n"), std::string::npos) << json.out;
}

// A file that is missing or no sound is said on stderr and fails the run; the files around it are
// still measured.
TEST(LoudnessCommand, FilesThatCannotBeMeasuredAreNamedAndTheOthersPrinted) {
    const std::string sine = dl_test::write_file(
        "sine1k_m20.wav", dl_test::pcm_wav(1, 44100, 16, sine_samples(1, 44100, 1000, -20, 2)));
    const std::string junk = dl_test::write_file("junk.wav", "RIFF\x04\0\0\0WAVEjunkjunk");
    const std::string missing = dl_test::temp_dir() + "/none.wav";

    const dl_test::ProgramRun r = dl_test::run_program("--loudness " + missing + " " + sine + " " + junk);
    EXPECT_EQ(r.status, 1);
    const auto rows = rows_of(r.out);
    ASSERT_EQ(rows.size(), 2u) << r.out;
    EXPECT_EQ(rows[1][0], sine);
    // A mono sine counts once: 3 dB below the same sine on both channels.
    EXPECT_NEAR(std::atof(rows[1][1].c_str()), -23.0, 0.05);
    EXPECT_NE(r.err.find("none.wav"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("junk.wav"), std::string::npos) << r.err;

    const dl_test::ProgramRun none = dl_test::run_program("--loudness");
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.err.find("usage"), std::string::npos) << none.err;
    const dl_test::ProgramRun json = dl_test::run_program("--loudness --json " + missing);
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out, "[]\n");
}

// A folder is walked as a many-file analysis walks it: its sound files and those of the folders
// under it, sorted by path, other files passed over; a folder that cannot be read is named and fails
// the run while the files beside it are measured.
TEST(LoudnessCommand, FoldersAreWalkedForTheirSoundFiles) {
    const std::string dir = dl_test::temp_dir() + "/loudness_folder";
    ASSERT_EQ(dl_test::run_shell("rm -rf " + shell_quote(dir) + " && mkdir -p " + shell_quote(dir + "/b/c") + " " +
                                 shell_quote(dir + "/d"))
                  .status,
              0);
    const std::string wav = dl_test::pcm_wav(1, 44100, 16, sine_samples(1, 44100, 1000, -20, 1));
    dl_test::write_file(dir + "/b/c/z.wav", wav);
    dl_test::write_file(dir + "/a.wav", wav);
    dl_test::write_file(dir + "/b/notes.txt", "not a sound");
    dl_test::write_file(dir + "/d/notes.txt", "not a sound");
    const std::string lone = dl_test::write_file("loudness_lone.wav", wav);

    const dl_test::ProgramRun r = dl_test::run_program("--loudness " + shell_quote(dir) + " " + lone);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = rows_of(r.out);
    ASSERT_EQ(rows.size(), 4u) << r.out;
    EXPECT_EQ(rows[1][0], dir + "/a.wav");
    EXPECT_EQ(rows[2][0], dir + "/b/c/z.wav");
    EXPECT_EQ(rows[3][0], lone);
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_NEAR(std::atof(rows[i][1].c_str()), -23.0, 0.05) << r.out;

    // A folder without a sound file is said, and fails: nothing was measured.
    const dl_test::ProgramRun empty = dl_test::run_program("--loudness " + shell_quote(dir + "/d"));
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_NE(empty.err.find("no sound files to measure"), std::string::npos) << empty.err;

    // A folder that cannot be read (not for the superuser, who reads every folder).
    if (geteuid() != 0) {
        ASSERT_EQ(dl_test::run_shell("chmod 000 " + shell_quote(dir + "/b")).status, 0);
        const dl_test::ProgramRun locked = dl_test::run_program("--loudness " + shell_quote(dir));
        dl_test::run_shell("chmod 755 " + shell_quote(dir + "/b"));
        EXPECT_EQ(locked.status, 1);
        EXPECT_EQ(rows_of(locked.out).size(), 2u) << locked.out;
        EXPECT_NE(locked.err.find("cannot read the folder"), std::string::npos) << locked.err;
    }
}

// Each format as its encoder makes it reads what an independent measurement reads from the samples
// the format's reference decoder gives, within 0.1 LU (and the true peak within the tolerance).
TEST(LoudnessCommand, EncodedFilesAgreeWithAnIndependentMeasurement) {
    if (dl_test::run_shell("command -v ffmpeg").status != 0) GTEST_SKIP() << "no ffmpeg (scripts/deps.sh test)";
    const std::string dir = dl_test::temp_dir();
    const std::string wav = dl_test::write_file(
        "programme.wav", dl_test::pcm_wav(2, 44100, 16, programme_samples(44100, 16)));
    struct Case {
        std::string file, encode, decode;
    };
    const std::vector<Case> cases = {
        {wav, "", "cp " + shell_quote(wav) + " %o"},
        {dir + "/s.mp3", "lame --quiet -b 192 %i %o", "mpg123 -q -w %o %f"},
        {dir + "/s.ogg", "oggenc -Q -q 5 -o %o %i", "oggdec -Q -o %o %f"},
        {dir + "/s.flac", "flac -s -f -o %o %i", "flac -s -d -f -o %o %f"},
        {dir + "/s.opus", "opusenc --quiet %i %o", "opusdec --quiet %f %o"},
    };
    auto fill = [](std::string command, const std::string& in, const std::string& out, const std::string& file) {
        for (const auto& [key, value] : {std::pair<std::string, std::string>{"%i", in}, {"%o", out}, {"%f", file}})
            if (const size_t at = command.find(key); at != std::string::npos) command.replace(at, 2, shell_quote(value));
        return command;
    };
    for (const Case& c : cases) {
        if (!c.encode.empty()) tool(fill(c.encode, wav, c.file, c.file));
        const std::string decoded = dir + "/decoded.wav";
        tool(fill(c.decode, "", decoded, c.file));
        const dl_test::ProgramRun measured = dl_test::run_shell("ffmpeg -nostdin -hide_banner -nostats -i " +
                                                                shell_quote(decoded) + " -af ebur128=peak=true -f null -");
        ASSERT_EQ(measured.status, 0) << measured.err;
        const std::string& ref = measured.err;
        auto figure = [&](const std::string& name) {
            const size_t at = ref.rfind(name);
            return at == std::string::npos ? NAN : std::atof(ref.c_str() + at + name.size());
        };
        const dl_test::ProgramRun r = dl_test::run_program("--loudness " + shell_quote(c.file));
        ASSERT_EQ(r.status, 0) << c.file << ": " << r.err;
        const auto rows = rows_of(r.out);
        ASSERT_EQ(rows.size(), 2u) << r.out;
        // The tool prints one decimal: its rounding comes on top of the 0.1 LU.
        EXPECT_NEAR(std::atof(rows[1][1].c_str()), figure("I:"), 0.15) << c.file << "\n" << ref;
        EXPECT_NEAR(std::atof(rows[1][2].c_str()), figure("LRA:"), 1.0) << c.file;
        EXPECT_NEAR(std::atof(rows[1][3].c_str()), figure("Peak:"), 0.4) << c.file;
    }
}
