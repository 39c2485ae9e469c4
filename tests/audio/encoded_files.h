// Files made by the encoders users have, and what the program and the reference tools make of
// them: the tool runs, the facts of --info, the rows of --analyse.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "audio/playback_fixture.h"
#include "state/source.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

namespace encoded_files {

// One time slice at the default deltatime for the 11025 Hz family.
inline constexpr double kSlice = 2048.0 / 11025;

inline std::string shell_quote(const std::string& s) { return "'" + s + "'"; }

// The output of a tool, which must succeed.
inline std::string tool(const std::string& command) {
    const dl_test::ProgramRun r = dl_test::run_shell(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
    return r.out;
}

// Stereo 16-bit samples of tones, `seconds_each` long.
inline std::string stereo_tones(uint32_t rate, const std::vector<double>& hz, double seconds_each) {
    const std::string mono = play_test::tones(rate, hz, seconds_each);
    std::string s;
    for (size_t k = 0; k + 1 < mono.size(); k += 2) s += mono.substr(k, 2) + mono.substr(k, 2);
    return s;
}

struct Info {
    double seconds = 0;
    uint64_t data_bytes = 0;
    uint32_t bytes_per_second = 0;
};

inline Info info_of(const std::string& path) {
    const dl_test::ProgramRun r = dl_test::run_program("--info " + shell_quote(path));
    EXPECT_EQ(r.status, 0) << path << ": " << r.err;
    Info i;
    std::stringstream lines(r.out);
    for (std::string l; std::getline(lines, l);) {
        if (l.rfind("seconds=", 0) == 0) i.seconds = std::atof(l.c_str() + 8);
        if (l.rfind("data_bytes=", 0) == 0) i.data_bytes = std::strtoull(l.c_str() + 11, nullptr, 10);
        if (l.rfind("bytes_per_second=", 0) == 0) i.bytes_per_second = uint32_t(std::atol(l.c_str() + 17));
    }
    return i;
}

struct Row {
    double time;
    double peak_hz;
};

inline std::vector<Row> analysed_rows(const std::string& path) {
    const dl_test::ProgramRun r = dl_test::run_program("--analyse " + shell_quote(path));
    EXPECT_EQ(r.status, 0) << path << ": " << r.err;
    std::vector<Row> rows;
    std::stringstream lines(r.out);
    std::string l;
    std::getline(lines, l);  // header
    while (std::getline(lines, l)) rows.push_back({std::atof(l.c_str()), std::atof(l.c_str() + l.find(',') + 1)});
    return rows;
}

// A row every time slice from the start to the end of `seconds` of sound.
inline void expect_a_row_per_slice(const std::string& path, double seconds, double slice = kSlice) {
    const std::vector<Row> rows = analysed_rows(path);
    ASSERT_FALSE(rows.empty()) << path;
    EXPECT_NEAR(rows.front().time, 0.0, 1e-9) << path;
    for (size_t i = 1; i < rows.size(); ++i)
        ASSERT_NEAR(rows[i].time - rows[i - 1].time, slice, 0.002) << path << " row " << i;
    EXPECT_GE(rows.back().time, seconds - 2 * slice) << path;
}

using dl_test::be32;
using dl_test::u32le;

// An ID3v2.3 tag holding a front cover of `picture_bytes` bytes, as taggers write one.
inline std::string id3v2_with_cover(size_t picture_bytes) {
    std::string apic = std::string(1, '\0') + "image/jpeg" + '\0' + char(3) + '\0' + play_test::pattern(picture_bytes, 9);
    std::string frame = "APIC" + be32(uint32_t(apic.size())) + std::string(2, '\0') + apic;
    const uint32_t n = uint32_t(frame.size());
    const std::string size = {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
    return std::string("ID3\x03\x00\x00", 6) + size + frame;
}

class EncodedFiles : public play_test::PlaybackFixture {
protected:
    std::string dir() const { return dir_; }
    std::string wav(const std::string& name, uint16_t channels, uint32_t rate, const std::string& samples) {
        return make_wav(name, channels, rate, 16, samples);
    }
    // What the device received, from the first sound on, is what the reference decoder gives.
    void expect_plays_as(const std::string& path, const std::string& reference) {
        ASSERT_GT(reference.size(), 1000u);
        start(path);
        ASSERT_TRUE(dl::SourceState.running) << path << ": " << (boxes_.texts().empty() ? "" : boxes_.texts()[0]);
        ASSERT_TRUE(play_to_end(60000));
        expect_played(reference, 0);
        EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
    }
};

}  // namespace encoded_files
