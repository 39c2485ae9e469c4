// The batch analysis of a 440 Hz tone finds the same spectral line whether it reads the WAV file or
// the MP3 and Ogg Vorbis files encoded from it, and the precise estimator reads 440 Hz from each.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

struct Rows {
    int status = -1;
    std::string err;
    std::vector<std::vector<std::string>> rows;  // without the header
};

Rows analyse(const std::string& name, const std::string& sets = " --set precise_peaks=0") {
    const dl_test::ProgramRun run =
        dl_test::run_program("--analyse " + std::string(DEWLARK_TEST_DATA) + "/" + name + sets);
    Rows r;
    r.status = run.status;
    r.err = run.err;
    std::stringstream lines(run.out);
    std::string line;
    bool header = true;
    while (std::getline(lines, line)) {
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream f(line);
        std::string field;
        while (std::getline(f, field, ',')) fields.push_back(field);
        r.rows.push_back(fields);
    }
    return r;
}

TEST(CompressedAnalyse, Mp3AndOggOfA440HzToneFindTheWavsPeakLine) {
    const Rows wav = analyse("wav_22k_mono_sine440.wav");
    const Rows mp3 = analyse("mp3_22k_mono_sine440.mp3");
    const Rows ogg = analyse("ogg_22k_mono_sine440.ogg");
    for (const Rows* r : {&wav, &mp3, &ogg}) {
        ASSERT_EQ(r->status, 0) << r->err;
        for (const auto& row : r->rows) ASSERT_GE(row.size(), 3u);
    }
    // 2 s in blocks of 4096 samples. The MP3 decoder's first block is short (the encoder's delay
    // is cut off), so it has one row more; an Ogg buffer sounds only once a whole page of about
    // 0.9 s has arrived, so it has one row per page.
    ASSERT_GE(wav.rows.size(), 10u);
    ASSERT_GE(mp3.rows.size(), 10u);
    ASSERT_GE(ogg.rows.size(), 3u);

    // The WAV's line: the one nearest 440 Hz in a 4096-point transform at 22,050 Hz.
    const std::string line = wav.rows[0][1];
    EXPECT_NEAR(std::atof(line.c_str()), std::round(440 / (22050.0 / 4096)) * (22050.0 / 4096), 0.05);

    // Every row of every file: the tone is steady from its first sample to its last, and even the
    // shortest block (the MP3's first, the last of each file) holds dozens of its cycles, so no row
    // is exempt.
    for (const auto& [name, r] : {std::pair{"wav", &wav}, std::pair{"mp3", &mp3}, std::pair{"ogg", &ogg}})
        for (size_t i = 0; i < r->rows.size(); ++i) EXPECT_EQ(r->rows[i][1], line) << name << " row " << i;

    // The steady middle rows (whole blocks of the tone, neither the first nor the last) also read the
    // WAV's level: the decoders keep the amplitude.
    const int level = std::atoi(wav.rows[wav.rows.size() / 2][2].c_str());
    for (const auto& [name, r] : {std::pair{"mp3", &mp3}, std::pair{"ogg", &ogg}})
        for (size_t i = 1; i + 1 < r->rows.size(); ++i)
            EXPECT_NEAR(std::atoi(r->rows[i][2].c_str()), level, 1) << name << " row " << i;
}

TEST(CompressedAnalyse, ThePreciseEstimatorReads440HzFromEachEncoding) {
    for (const char* name : {"wav_22k_mono_sine440.wav", "mp3_22k_mono_sine440.mp3", "ogg_22k_mono_sine440.ogg"}) {
        const Rows r = analyse(name, "");  // a fresh start reads peaks precisely
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_GE(r.rows.size(), 3u) << name;
        // The middle rows: whole blocks of the steady tone. What the coders change is below 0.03 Hz
        // (0.12 cent; the WAV itself reads 440.000).
        for (size_t i = 1; i + 1 < r.rows.size(); ++i)
            EXPECT_NEAR(std::atof(r.rows[i][1].c_str()), 440.0, 0.03) << name << " row " << i;
    }
}

}  // namespace
