// The summary's level and loudness columns against independent readings of the same decoded
// samples, for every format and width dewlark opens, each file made by the real encoders: sox
// `stats` for the sample peak and the RMS, ffmpeg's `ebur128` for the integrated loudness. The
// lossy formats are compared with their reference decoder's output of the same file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string kProgram = DEWLARK_BINARY;

std::string run(const std::string& command) {
    const dl_test::ProgramRun r = dl_test::run_shell(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
    return r.out + r.err;
}

// The figure after `label` in sox stats' Overall column; NAN for "-inf".
double sox_figure(const std::string& stats, const std::string& label) {
    const size_t at = stats.find(label);
    if (at == std::string::npos) return NAN;
    const std::string rest = stats.substr(at + label.size(), 40);
    if (rest.find("-inf") < rest.find('\n')) return -INFINITY;
    return std::atof(rest.c_str());
}

// The integrated loudness ffmpeg's meter gives (its summary, one decimal); NAN where none.
double ffmpeg_lufs(const std::string& path) {
    const std::string log = run("ffmpeg -hide_banner -nostats -i '" + path + "' -af ebur128 -f null - 2>&1");
    const size_t summary = log.find("Integrated loudness:");
    if (summary == std::string::npos) return NAN;
    const size_t i = log.find("I:", summary);
    return i == std::string::npos ? NAN : std::atof(log.c_str() + i + 2);
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ',') out.emplace_back();
        else out.back() += c;
    }
    return out;
}

struct Reference {
    double peak = NAN, rms = NAN, lufs = NAN, seconds = 0;
};

struct Kind {
    const char* name;
    const char* make;     // the command that makes NAME from src.wav (24-bit, 44.1 kHz)
    const char* decoded;  // the reference decoder's output of NAME as decoded.wav; empty: NAME itself
};

// Every format and width, made from one 24-bit source by the tools users have.
const Kind kKinds[] = {
    {"pcm8.wav", "sox src.wav -b 8 pcm8.wav", ""},
    {"pcm16.wav", "sox src.wav -b 16 pcm16.wav", ""},
    {"pcm24.wav", "cp src.wav pcm24.wav", ""},
    // As a field recorder writes it: 24 bits at 48 kHz in the extensible format record.
    {"rec48k.wav", "sox src.wav -r 48000 -b 24 rec48k.wav", ""},
    {"pcm32.wav", "sox src.wav -b 32 -e signed-integer pcm32.wav", ""},
    {"float32.wav", "sox src.wav -b 32 -e floating-point float32.wav", ""},
    {"float64.wav", "sox src.wav -b 64 -e floating-point float64.wav", ""},
    {"alaw.wav", "sox src.wav -e a-law alaw.wav", ""},
    {"mulaw.wav", "sox src.wav -e u-law mulaw.wav", ""},
    {"ima.wav", "sox src.wav -e ima-adpcm ima.wav", ""},
    {"ms.wav", "sox src.wav -e ms-adpcm ms.wav", ""},
    {"flac8.flac", "sox src.wav -b 8 flac8.wav && flac -s flac8.wav -o flac8.flac", ""},
    {"flac16.flac", "sox src.wav -b 16 flac16.wav && flac -s flac16.wav -o flac16.flac", ""},
    {"flac24.flac", "flac -s src.wav -o flac24.flac", ""},
    {"oggflac.oga", "flac -s --ogg src.wav -o oggflac.oga", "flac -s -d oggflac.oga -o decoded.wav"},
    {"mp3.mp3", "lame --quiet src.wav mp3.mp3", "mpg123 -q -e f32 -w decoded.wav mp3.mp3"},
    {"vorbis.ogg", "oggenc -Q src.wav -o vorbis.ogg", "oggdec -Q vorbis.ogg -o decoded.wav"},
    {"opus.opus", "opusenc --quiet src.wav opus.opus", "opusdec --quiet --float --rate 48000 opus.opus decoded.wav"},
};

struct Sound {
    const char* name;
    const char* synth;  // sox's effects after `sox -n -r 44100 -c 2 -b 24 src.wav`
    bool silent;
};

const Sound kSounds[] = {
    {"sine-20", "synth 3 sine 1000 vol -20dB", false},
    {"pink", "synth 3 pinknoise vol -12dB", false},
    // Samples at 45 degrees of a quarter of the rate: the wave's peaks lie between them.
    {"intersample", "synth 3 sine 11025 0 12.5 vol -3dB", false},
    {"silence", "trim 0 2", true},
};

TEST(SummaryConformance, EveryColumnAgreesWithSoxAndFfmpegInEveryFormat) {
    const std::string dir = dl_test::temp_dir();
    std::vector<std::string> files;
    std::map<std::string, Reference> references;
    for (const Sound& sound : kSounds) {
        const std::string at = dir + "/" + sound.name;
        run("mkdir -p " + at + " && cd " + at + " && sox -n -r 44100 -c 2 -b 24 src.wav " + sound.synth);
        for (const Kind& kind : kKinds) {
            const std::string file = at + "/" + kind.name;
            run("cd " + at + " && " + kind.make + " 2>&1");
            std::string decoded = file;
            if (*kind.decoded) {
                run("cd " + at + " && rm -f decoded.wav && " + kind.decoded + " 2>&1");
                decoded = at + "/" + std::string(kind.name) + ".decoded.wav";
                run("mv " + at + "/decoded.wav " + decoded);
            }
            const std::string stats = run("sox '" + decoded + "' -n stats 2>&1");
            Reference r;
            r.peak = sox_figure(stats, "Pk lev dB");
            r.rms = sox_figure(stats, "RMS lev dB");
            r.lufs = ffmpeg_lufs(decoded);
            r.seconds = std::atof(run("soxi -D '" + decoded + "'").c_str());
            references[file] = r;
            files.push_back(file);
        }
    }
    std::string list;
    for (const std::string& f : files) list += f + "\n";
    const std::string list_file = dl_test::write_file(dir + "/list", list);
    const dl_test::ProgramRun summary =
        dl_test::run_program("--analyse --defaults --summary --quiet --files-from " + list_file);
    ASSERT_EQ(summary.status, 0) << summary.err;

    std::istringstream lines(summary.out);
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> header = split(line);
    auto column = [&](const char* name) { return size_t(std::find(header.begin(), header.end(), name) - header.begin()); };
    const size_t seconds = column("seconds"), peak = column("sample_peak_dbfs"), rms = column("rms_dbfs"),
                 lufs = column("lufs");
    ASSERT_LT(lufs, header.size());
    std::string table = "file                          seconds   peak dBFS (sox)   RMS dBFS (sox)    LUFS (ffmpeg)\n";
    size_t rows = 0;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = split(line);
        ASSERT_EQ(f.size(), header.size()) << line;
        const std::string& file = f[0];
        SCOPED_TRACE(file);
        ASSERT_TRUE(references.count(file));
        const Reference& r = references[file];
        // Silence made narrower is dithered by sox: digital silence is where sox reads none.
        const bool silent = std::isinf(r.peak);
        char text[256];
        std::snprintf(text, sizeof text, "%-28s %8s  %7s (%6.2f)  %7s (%6.2f)  %6s (%5.1f)\n",
                      file.substr(dir.size() + 1).c_str(), f[seconds].c_str(), f[peak].c_str(), r.peak, f[rms].c_str(),
                      r.rms, f[lufs].c_str(), r.lufs);
        table += text;
        ++rows;
        // A lossy decoder's last packet may run past the length the stream gives its reference decoder.
        EXPECT_NEAR(std::atof(f[seconds].c_str()), r.seconds, file.ends_with(".ogg") ? 0.03 : 0.0015);
        if (silent) {
            // Silence has no level and no loudness: no figure at all.
            EXPECT_EQ(f[peak], "");
            EXPECT_EQ(f[rms], "");
            EXPECT_EQ(f[lufs], "");
            continue;
        }
        EXPECT_NEAR(std::atof(f[peak].c_str()), r.peak, 0.05);
        EXPECT_NEAR(std::atof(f[rms].c_str()), r.rms, 0.05);
        // ffmpeg's meter shows -70 where nothing passes the gate; the summary, no figure.
        if (r.lufs <= -70.0) EXPECT_EQ(f[lufs], "");
        // Both figures to one decimal: apart by their rounding at most.
        else EXPECT_NEAR(std::atof(f[lufs].c_str()), r.lufs, 0.1 + 1e-6);
    }
    EXPECT_EQ(rows, files.size());
    std::printf("%s", table.c_str());
}

}  // namespace
