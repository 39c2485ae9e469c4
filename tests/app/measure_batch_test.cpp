// The measuring controls in the batch rows: --set takes their keys, --spectrum adds the shown levels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "audio/playback_fixture.h"

namespace {

std::vector<std::vector<std::string>> Rows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::stringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> row;
        std::stringstream s(line);
        std::string f;
        while (std::getline(s, f, ',')) row.push_back(f);
        if (!line.empty() && line.back() == ',') row.emplace_back();
        rows.push_back(row);
    }
    return rows;
}

// Two seconds of 440 Hz on the left and 660 Hz on the right.
std::string LeftRightWav() {
    std::string data;
    for (int i = 0; i < 88200; ++i) {
        for (double hz : {440.0, 660.0}) {
            const int v = int(std::lround(12000 * std::sin(2 * std::numbers::pi * hz * i / 44100)));
            data.push_back(char(v & 0xff));
            data.push_back(char((v >> 8) & 0xff));
        }
    }
    static const std::string path = dl_test::write_file("left440_right660.wav", dl_test::pcm_wav(2, 44100, 16, data));
    return path;
}

TEST(MeasureBatch, SpectrumColumnsComeOnlyWhenAskedAndFollowTheTrace) {
    // Controls on without --spectrum: the rows keep their nine columns.
    dl_test::ProgramRun run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set averaging=3 --set max_hold=1");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::vector<std::string>> rows = Rows(run.out);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0].size(), 9u);
    EXPECT_EQ(rows[1].size(), 9u);

    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --spectrum 440,660,5000");
    ASSERT_EQ(run.status, 0) << run.err;
    rows = Rows(run.out);
    ASSERT_EQ(rows[0].size(), 12u);
    EXPECT_EQ(rows[0][9], "db_440Hz");
    EXPECT_EQ(rows[0][11], "db_5000Hz");
    // The mix holds both tones at one level, far above the silence between them.
    const double mix440 = std::atof(rows[1][9].c_str()), mix660 = std::atof(rows[1][10].c_str());
    EXPECT_NEAR(mix440, mix660, 1.0);
    EXPECT_LT(std::atof(rows[1][11].c_str()), mix440 - 60);

    // The left trace: 440 Hz alone, 6 dB above its share of the mix.
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set traces=1 --spectrum 440,660");
    ASSERT_EQ(run.status, 0) << run.err;
    rows = Rows(run.out);
    EXPECT_NEAR(std::atof(rows[1][9].c_str()), mix440 + 6.02, 0.2);
    EXPECT_LT(std::atof(rows[1][10].c_str()), mix440 - 60);
    // The right one when the peak list is asked to read it.
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set traces=1 --set peak_trace=1 --spectrum 440,660");
    rows = Rows(run.out);
    EXPECT_NEAR(std::atof(rows[1][10].c_str()), mix660 + 6.02, 0.2);
    EXPECT_LT(std::atof(rows[1][9].c_str()), mix660 - 60);
}

TEST(MeasureBatch, BadValuesAreSaidAndCorrected) {
    dl_test::ProgramRun run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --spectrum 440,loud");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--spectrum expects frequencies"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set averaging=9 --set average_ms=5");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("averaging=9 is out of range, using 0"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("average_ms=5 is out of range, using 25"), std::string::npos) << run.err;
}

}  // namespace
