// --pitch-track OUT.csv: a frame every 10 ms of the sound beside the usual rows, in every format the
// real encoders make, and nothing written where it cannot be whole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/pitch_listing.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

namespace {

std::string run(const std::string& command) {
    const dl_test::ProgramRun r = dl_test::run_shell(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
    return r.out + r.err;
}

std::vector<std::vector<std::string>> csv_lines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) {
        std::vector<std::string> fields;
        size_t from = 0;
        for (size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1)
            fields.push_back(line.substr(from, comma - from));
        fields.push_back(line.substr(from));
        lines.push_back(fields);
    }
    return lines;
}

std::string read_text(const std::string& path) { return run("cat '" + path + "'"); }

TEST(PitchListing, EveryTenMillisecondsInEveryFormatBesideTheRows) {
    const std::string dir = dl_test::temp_dir();
    // A3 (220 Hz) with all its harmonics, 24-bit stereo at 48 kHz as a recorder writes it.
    run("cd " + dir + " && sox -n -r 48000 -c 2 -b 24 src.wav synth 2 sawtooth 220 vol -6dB");
    const std::vector<std::pair<std::string, std::string>> kinds = {
        {"src.wav", ""},
        {"flac.flac", "flac -s src.wav -o flac.flac"},
        {"mp3.mp3", "lame --quiet src.wav mp3.mp3"},
        {"ogg.ogg", "oggenc -Q src.wav -o ogg.ogg"},
        {"opus.opus", "opusenc --quiet src.wav opus.opus"},
    };
    for (const auto& [name, make] : kinds) {
        if (!make.empty()) run("cd " + dir + " && " + make + " 2>&1");
        const std::string listing = dir + "/" + name + ".f0.csv";
        const dl_test::ProgramRun r =
            dl_test::run_program_env("USERPROFILE=" + dl_test::temp_dir(),
                                     "--analyse " + dir + "/" + name + " --pitch-track " + listing);
        ASSERT_EQ(r.status, 0) << name << "\n" << r.err;
        // The rows go to standard output as ever.
        EXPECT_EQ(r.out.rfind("time,peak_hz,", 0), 0u) << name;
        const auto lines = csv_lines(read_text(listing));
        ASSERT_GE(lines.size(), 2u) << name;
        EXPECT_EQ(lines[0], (std::vector<std::string>{"time", "f0_hz", "note", "cents", "confidence"})) << name;
        // 2 s of sound; the encoders' own padding may add a little.
        EXPECT_GE(lines.size() - 1, 199u) << name;
        EXPECT_LE(lines.size() - 1, 206u) << name;
        int inside = 0, right = 0;
        for (size_t k = 1; k < lines.size(); ++k) {
            ASSERT_EQ(lines[k].size(), 5u) << name << " line " << k;
            const double time = std::atof(lines[k][0].c_str());
            EXPECT_NEAR(time, 0.01 * double(k - 1), 1e-9) << name << " line " << k;
            if (time < 0.1 || time > 1.9) continue;
            ++inside;
            if (!lines[k][1].empty() && std::fabs(1200 * std::log2(std::atof(lines[k][1].c_str()) / 220)) < 5 &&
                lines[k][2] == "A3")
                ++right;
        }
        EXPECT_GE(right, inside * 98 / 100) << name << ": " << right << " of " << inside;
    }
}

// Stereo handed over in runs that split a frame's channels, and a gap in the capture: each frame
// keeps the time of its sound, the gap's frames are silence, and the note is named on either side.
TEST(PitchListing, ChannelsSplitBetweenRunsAndAGapKeepEveryFrameAtItsTime) {
    const double rate = 22050;
    std::vector<float> stereo;
    for (size_t i = 0; i < size_t(rate); ++i) {
        const float v = float(0.3 * std::sin(2 * M_PI * 196 * double(i) / rate) + 0.1 * std::sin(2 * M_PI * 392 * double(i) / rate));
        stereo.push_back(v);
        stereo.push_back(0.5f * v);
    }
    dl::PitchListing listing(rate, 2, 0, 4400);
    for (size_t at = 0; at < stereo.size(); at += 333) listing.add(stereo.data() + at, std::min<size_t>(333, stereo.size() - at));
    // A second of sound went missing; the next second begins at 2 s.
    listing.add_at(2.0, stereo.data(), stereo.size());
    listing.finish();
    const std::vector<dl::PitchFrame>& frames = listing.frames();
    ASSERT_EQ(frames.size(), 300u);
    int before = 0, after = 0;
    for (const dl::PitchFrame& f : frames) {
        if (f.time > 1.05 && f.time < 1.95) {
            EXPECT_FALSE(f.voiced) << f.time;
        }
        if (f.voiced && f.note == "G3" && f.time > 0.05 && f.time < 0.95) ++before;
        if (f.voiced && f.note == "G3" && f.time > 2.05 && f.time < 2.95) ++after;
    }
    EXPECT_GE(before, 89);
    EXPECT_GE(after, 89);
}

TEST(PitchListing, WhatCannotBeWrittenIsSaidAndNothingElseIsTouched) {
    const std::string dir = dl_test::temp_dir();
    run("cd " + dir + " && sox -n -r 44100 -c 1 -b 16 a.wav synth 0.5 sine 440 && cp a.wav b.wav");
    const std::string env = "USERPROFILE=" + dl_test::temp_dir();
    // One listing is of one sound.
    dl_test::ProgramRun r = dl_test::run_program_env(env, "--analyse " + dir + "/a.wav " + dir + "/b.wav --pitch-track " +
                                                              dir + "/f0.csv");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--pitch-track takes one FILE"), std::string::npos) << r.err;
    // A folder is not overwritten, before any work.
    r = dl_test::run_program_env(env, "--analyse " + dir + "/a.wav --pitch-track " + dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    // A folder that is not there: the rows are printed, the listing's failure said, status 1.
    r = dl_test::run_program_env(env, "--analyse " + dir + "/a.wav --pitch-track " + dir + "/missing/f0.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_EQ(run("ls " + dir), "a.wav\nb.wav\n");
    // The monitor takes it too, and refuses a folder the same way.
    r = dl_test::run_program_env(env, "--monitor --seconds 1 --pitch-track " + dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
}

// A piano-like string whose first partial is 110 Hz (B = 0.0004): the rows read it there and give its
// B in their last column; a harmonic tone leaves that column empty.
TEST(PitchListing, TheRowsGiveAStiffStringsFirstPartialAndItsInharmonicity) {
    const double rate = 44100, b = 0.0004, f = 110 / std::sqrt(1 + b);
    std::string data;
    for (size_t i = 0; i < size_t(2 * rate); ++i) {
        double v = 0;
        for (int h = 1; h <= 12; ++h) v += std::sin(2 * M_PI * h * f * std::sqrt(1 + b * h * h) * double(i) / rate + 0.7 * h * h) / h;
        const int16_t s = int16_t(std::lround(4000 * v));
        data += char(s & 0xff);
        data += char((s >> 8) & 0xff);
    }
    const std::string dir = dl_test::temp_dir();
    const std::string wav = dl_test::write_file(dir + "/string.wav", dl_test::pcm_wav(1, 44100, 16, data));
    run("cd " + dir + " && sox -n -r 44100 -c 1 -b 16 saw.wav synth 2 sawtooth 110 vol -6dB");
    const std::string env = "USERPROFILE=" + dl_test::temp_dir();
    const auto rows = csv_lines(dl_test::run_program_env(env, "--analyse " + wav).out);
    ASSERT_GE(rows.size(), 5u);
    ASSERT_EQ(rows[0].back(), "f0_inharmonicity");
    for (size_t k = 2; k + 1 < rows.size(); ++k) {
        ASSERT_EQ(rows[k].size(), rows[0].size());
        EXPECT_NEAR(1200 * std::log2(std::atof(rows[k][5].c_str()) / 110), 0, 1) << "row " << k;
        EXPECT_NEAR(std::atof(rows[k].back().c_str()), b, 0.1 * b) << "row " << k;
    }
    const auto plain = csv_lines(dl_test::run_program_env(env, "--analyse " + dir + "/saw.wav").out);
    ASSERT_GE(plain.size(), 5u);
    for (size_t k = 2; k + 1 < plain.size(); ++k) {
        EXPECT_EQ(plain[k][6], "A2") << "row " << k;
        EXPECT_EQ(plain[k].back(), "") << "row " << k;
    }
}

}  // namespace
