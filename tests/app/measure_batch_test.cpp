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
    // Controls on without --spectrum: the rows keep their twelve columns.
    dl_test::ProgramRun run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set averaging=3 --set max_hold=1");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::vector<std::string>> rows = Rows(run.out);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0].size(), 12u);
    EXPECT_EQ(rows[1].size(), 12u);

    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --spectrum 440,660,5000");
    ASSERT_EQ(run.status, 0) << run.err;
    rows = Rows(run.out);
    ASSERT_EQ(rows[0].size(), 15u);
    EXPECT_EQ(rows[0][12], "db_440Hz");
    EXPECT_EQ(rows[0][14], "db_5000Hz");
    // The mix holds both tones at one level, far above the silence between them.
    const double mix440 = std::atof(rows[1][12].c_str()), mix660 = std::atof(rows[1][13].c_str());
    EXPECT_NEAR(mix440, mix660, 1.0);
    EXPECT_LT(std::atof(rows[1][14].c_str()), mix440 - 60);

    // The left trace: 440 Hz alone, 6 dB above its share of the mix.
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set traces=1 --spectrum 440,660");
    ASSERT_EQ(run.status, 0) << run.err;
    rows = Rows(run.out);
    EXPECT_NEAR(std::atof(rows[1][12].c_str()), mix440 + 6.02, 0.2);
    EXPECT_LT(std::atof(rows[1][13].c_str()), mix440 - 60);
    // The right one when the peak list is asked to read it.
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set traces=1 --set peak_trace=1 --spectrum 440,660");
    rows = Rows(run.out);
    EXPECT_NEAR(std::atof(rows[1][13].c_str()), mix660 + 6.02, 0.2);
    EXPECT_LT(std::atof(rows[1][12].c_str()), mix660 - 60);
}

TEST(MeasureBatch, BadValuesAreRefusedWithWhatTheNameTakes) {
    dl_test::ProgramRun run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --spectrum 440,loud");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--spectrum expects frequencies"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set averaging=9");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("averaging=9: averaging takes off exponential linear infinite"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set average_ms=5");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("average_ms=5: average_ms takes 25 to 10000"), std::string::npos) << run.err;
    // A weighting as users write it: in capitals too; a value it does not take is not run unweighted.
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set weighting=A --spectrum 100");
    const dl_test::ProgramRun lower =
        dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set weighting=a --spectrum 100");
    const dl_test::ProgramRun plain = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --spectrum 100");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, lower.out);
    EXPECT_NE(run.out, plain.out) << "A weighting lowers 100 Hz by 19 dB";
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set weighting=B");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("weighting=B: weighting takes z a c"), std::string::npos) << run.err;
    // Readable names take words, and say which when a word is not one of them.
    run = dl_test::run_program_env("", "--analyse " + LeftRightWav() + " --set hold=300");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("hold takes 0 (until reset) or 500"), std::string::npos) << run.err;
}

TEST(MeasureBatch, ReadableNamesAndManyFilesCarryTheSpectrumColumns) {
    // The right trace by its readable names gives what the keys give.
    dl_test::ProgramRun keys = dl_test::run_program_env(
        "", "--analyse " + LeftRightWav() + " --set traces=1 --set peak_trace=1 --set averaging=2 --spectrum 660");
    dl_test::ProgramRun names = dl_test::run_program_env(
        "", "--analyse " + LeftRightWav() + " --set traces=left+right --set peaktrace=second --set averaging=linear"
            " --spectrum 660");
    ASSERT_EQ(keys.status, 0) << keys.err;
    ASSERT_EQ(names.status, 0) << names.err;
    EXPECT_EQ(keys.out, names.out);
    // Over worker processes each row still ends its block's fields with the spectrum's, before the error.
    dl_test::ProgramRun many = dl_test::run_program_env(
        "", "--analyse " + LeftRightWav() + " " + LeftRightWav() + " --jobs 1 --quiet --format jsonl --spectrum 440");
    ASSERT_EQ(many.status, 0) << many.err;
    const size_t at = many.out.find("\"db_440Hz\":");
    ASSERT_NE(at, std::string::npos) << many.out;
    EXPECT_LT(at, many.out.find("\"error\":"));
    EXPECT_NE(many.out.find("\"lufs_s\":"), std::string::npos);
}

}  // namespace
