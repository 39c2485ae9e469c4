// Damage in the middle of a file and files cut short, in every format the encoders make: the damage
// is said with the time it happened and the sound after it keeps its time; a file that ends before
// the length its header gives is analysed as far as it goes and said, with status 1 in batch runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "audio/encoded_files.h"
#include "state/run.h"

namespace {

using namespace encoded_files;

// Four tones of two seconds each: what a row's time says it should hear.
constexpr double kTones[] = {300, 500, 700, 900};
double tone_at(double seconds) { return kTones[std::min(3, std::max(0, int(seconds / 2)))]; }

struct Rows {
    int status = -1;
    std::string err;
    std::vector<Row> rows;
};

Rows analyse(const std::string& path) {
    const dl_test::ProgramRun r = dl_test::run_program("--analyse " + shell_quote(path));
    Rows out{r.status, r.err, {}};
    std::stringstream lines(r.out);
    std::string l;
    std::getline(lines, l);
    while (std::getline(lines, l)) out.rows.push_back({std::atof(l.c_str()), std::atof(l.c_str() + l.find(',') + 1)});
    return out;
}

// The damaged bytes: what a bad sector or a broken download leaves.
std::string damaged(std::string file, size_t at, size_t length) {
    for (size_t i = at; i < at + length && i < file.size(); ++i) file[i] = char((i * 7 + 13) & 0xFF);
    return file;
}

class DamagedSounds : public EncodedFiles {
protected:
    // The four tones as `ext` (made from a 16-bit mono WAV by the encoders), with a little noise so
    // that a page or frame holds a fraction of a second, as in music.
    std::string tones(const std::string& ext) {
        const std::string wav = dir() + "/tones.wav", out = dir() + "/tones." + ext;
        tool("cd " + dir() + " && sox -D -n -r 44100 -c 1 -b 16 pure.wav synth 2 sine 300 : synth 2 sine 500 : "
             "synth 2 sine 700 : synth 2 sine 900 vol 0.5 2>/dev/null && sox -D -n -r 44100 -c 1 -b 16 noise.wav "
             "synth 8 pinknoise vol 0.03 && sox -D -m pure.wav noise.wav tones.wav");
        if (ext == "ogg") tool("oggenc -Q -q 4 " + wav + " -o " + out);
        if (ext == "opus") tool("opusenc --quiet " + wav + " " + out);
        if (ext == "flac") tool("flac -s -f " + wav + " -o " + out);
        if (ext == "oga") tool("flac -s -f --ogg " + wav + " -o " + out);
        if (ext == "mp3") tool("lame --quiet -b 128 " + wav + " " + out);
        if (ext == "wav") return wav;
        return out;
    }
};

TEST_F(DamagedSounds, AfterDamageInsideEveryCompressedFormatTheRowsKeepTheirTimes) {
    for (const char* ext : {"ogg", "opus", "flac", "oga", "mp3"}) {
        SCOPED_TRACE(ext);
        const std::string whole = dl_test::read_file(tones(ext));
        // A stretch in the second tone, about 3 s in, well past the headers.
        const size_t at = whole.size() * 3 / 8 + 1000;
        const std::string path = dl_test::write_file(dir() + "/damaged." + std::string(ext), damaged(whole, at, 2500));
        const Rows r = analyse(path);
        EXPECT_EQ(r.status, 0) << r.err;
        // Said once, with where it was.
        const size_t said = r.err.find("damaged data in 1 place (at ");
        ASSERT_NE(said, std::string::npos) << r.err;
        const double when = std::atof(r.err.c_str() + said + 28);
        EXPECT_GT(when, 1.0) << r.err;
        EXPECT_LT(when, 4.5) << r.err;
        // Every row with a tone hears the tone of its time, past the damage to the end: nothing
        // after it moved earlier (or later) by more than a slice.
        ASSERT_FALSE(r.rows.empty());
        EXPECT_GT(r.rows.back().time, 8.0 - 2 * kSlice);
        size_t heard_after = 0;
        for (const Row& row : r.rows) {
            if (row.peak_hz == 0) continue;  // silence where the sound was lost
            // Blocks that hold some of the damage itself hear what the decoder made of it.
            if (row.time > when - 2 * kSlice && row.time < when + 1.0) continue;
            const double into_tone = std::fmod(row.time, 2.0);
            if (into_tone < kSlice || into_tone > 2.0 - 2 * kSlice) continue;  // a block across a change
            EXPECT_NEAR(row.peak_hz, tone_at(row.time), 3.0) << "row at " << row.time;
            if (row.time > when + 1.0) ++heard_after;
        }
        EXPECT_GT(heard_after, 8u);
    }
}

TEST_F(DamagedSounds, AFileShorterThanItsHeaderSaysIsAnalysedAsFarAsItGoes) {
    for (const char* ext : {"wav", "flac", "ogg", "opus", "oga"}) {
        SCOPED_TRACE(ext);
        const std::string whole = dl_test::read_file(tones(ext));
        const std::string path = dl_test::write_file(dir() + "/cut." + std::string(ext), whole.substr(0, whole.size() / 2));
        const Rows r = analyse(path);
        EXPECT_EQ(r.status, 1) << r.err;
        const size_t said = r.err.find("The file ends after ");
        ASSERT_NE(said, std::string::npos) << r.err;
        const double ends = std::atof(r.err.c_str() + said + 20);
        // A WAVE or FLAC header gives the whole length; Ogg has the place of its last page, here the
        // one the cut went through.
        const bool whole_length = std::string(ext) == "wav" || std::string(ext) == "flac";
        EXPECT_NE(r.err.find(whole_length ? "sec of the 8.00 sec its header gives; the rest is missing."
                                          : " sec its header gives; the rest is missing."),
                  std::string::npos)
            << r.err;
        EXPECT_GT(ends, 2.0);
        EXPECT_LT(ends, 6.0);
        // The rows are of what was there.
        ASSERT_FALSE(r.rows.empty());
        EXPECT_NEAR(r.rows.back().time, ends - kSlice, 2 * kSlice);
    }
    // A whole file says nothing of the kind.
    const Rows whole = analyse(tones("ogg"));
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.err.find("The file ends after"), std::string::npos) << whole.err;
}

TEST_F(DamagedSounds, ManyFilesKeepTheRowsOfAFileCutShortAndSayItInItsRow) {
    const std::string whole = dl_test::read_file(tones("flac"));
    const std::string cut = dl_test::write_file(dir() + "/cut.flac", whole.substr(0, whole.size() / 2));
    const std::string good = dl_test::write_file(dir() + "/good.flac", whole);
    const std::string out = dir() + "/out";
    dl_test::ProgramRun r = dl_test::run_program("--analyse " + cut + " " + good + " --out " + out + " --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("dewlark: " + cut + ": The file ends after"), std::string::npos) << r.err;
    const std::string rows = dl_test::read_file(out + "/cut.flac.csv");
    EXPECT_GT(std::count(rows.begin(), rows.end(), '\n'), 10) << "its rows are written";
    r = dl_test::run_program("--analyse " + cut + " " + good + " --summary --quiet");
    EXPECT_EQ(r.status, 1);
    std::stringstream lines(r.out);
    std::string header, first, second;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(first.rfind(cut + ",", 0), 0u);
    EXPECT_NE(first.find(",The file ends after"), std::string::npos) << first;
    EXPECT_GT(std::atof(first.c_str() + cut.size() + 1), 2.0) << "seconds: as decoded";
    EXPECT_LT(std::atof(first.c_str() + cut.size() + 1), 6.0);
    EXPECT_EQ(second.rfind(good + ",8.000,flac,", 0), 0u) << second;
    EXPECT_EQ(second.back(), ',') << "no error";
}

TEST_F(DamagedSounds, TheWindowPlaysWhatThereIsAndShowsTheNote) {
    const std::string whole = dl_test::read_file(tones("wav"));
    const std::string path = dl_test::write_file(dir() + "/cut.wav", whole.substr(0, whole.size() / 2));
    start(path);
    ASSERT_TRUE(dl::SourceState.running);
    ASSERT_TRUE(play_to_end());
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.texts()[0].rfind("The file ends after 4.00 sec of the 8.00 sec", 0), 0u) << boxes_.texts()[0];
    EXPECT_GT(blocks_.back(), 3.5);
}

}  // namespace
