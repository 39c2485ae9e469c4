#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/batch_rows.h"
#include "app/batch_summary.h"
#include "state/settings.h"

namespace {

TEST(BatchRows, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(dl::CsvField("music/take 1.wav"), "music/take 1.wav");
    EXPECT_EQ(dl::CsvField("a,b.wav"), "\"a,b.wav\"");
    EXPECT_EQ(dl::CsvField("say \"hi\".wav"), "\"say \"\"hi\"\".wav\"");
    EXPECT_EQ(dl::CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(dl::CsvField(""), "");
}

TEST(BatchRows, JsonLinesKeepNumbersTextAndGaps) {
    EXPECT_EQ(dl::JsonLine({"file", "time", "f0_cents", "f0_note", "a4", "error"},
                           {"a\"b\\c\td.wav", "0.186", "+1.5", "A4", "", "x\ny\x01"}),
              "{\"file\":\"a\\\"b\\\\c\\td.wav\",\"time\":0.186,\"f0_cents\":1.5,\"f0_note\":\"A4\",\"a4\":null,"
              "\"error\":\"x\\ny\\u0001\"}");
    // What is not a plain number stays a string, so that the line parses.
    EXPECT_EQ(dl::JsonLine({"level", "peak_hz", "seconds"}, {"-6", "nan", "1.2.3"}),
              "{\"level\":-6,\"peak_hz\":\"nan\",\"seconds\":\"1.2.3\"}");
}

TEST(BatchRows, JsonNumbersAreOnlyWhatJsonReadsAsNumbers) {
    // A field JSON would not read as a number ("1.", ".5", leading zeros, a sign after a plus) is a
    // string, so that the line parses; the plus of a number is dropped.
    EXPECT_EQ(dl::JsonLine({"level", "peak_hz", "a4", "f0_cents", "time", "lufs_m", "lufs_s"},
                           {"1.", ".5", "007", "+-5", "-0.00", "+0.5", "-inf"}),
              "{\"level\":\"1.\",\"peak_hz\":\".5\",\"a4\":\"007\",\"f0_cents\":\"+-5\",\"time\":-0.00,"
              "\"lufs_m\":0.5,\"lufs_s\":\"-inf\"}");
}

TEST(BatchRows, EveryCsvFieldOfAManyFileRowStaysOneField) {
    // Fields as the rows hold them go out as they are; one holding a comma, a quote or a line's
    // end is quoted like the file and the error, so the row keeps its columns.
    const dl::RowForm csv{false, false, {}};
    EXPECT_EQ(dl::ManyRow(csv, "a.wav", {"0.186", "A4,E5", "say \"hi\"", "two\nlines"}, "x"),
              "a.wav,0.186,\"A4,E5\",\"say \"\"hi\"\"\",\"two\nlines\",x\n");
}

TEST(BatchRows, ManyFileRowsLeadWithTheFileAndEndWithTheError) {
    const dl::RowForm csv{false, false, {}};
    EXPECT_EQ(dl::ManyRow(csv, "a,b.wav", {"0.000", "440.000", "-6"}, ""), "\"a,b.wav\",0.000,440.000,-6,\n");
    EXPECT_EQ(dl::ManyHeader(csv),
              "file,time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,f0_inharmonicity,error\n");
    EXPECT_EQ(dl::ErrorRow(csv, "x.wav", "cant open file"), "x.wav,,,,,,,,,,,,,cant open file\n");
    const dl::RowForm summary{false, true, {}};
    const std::string header = dl::ManyHeader(summary);
    const std::string error = dl::ErrorRow(summary, "x.wav", "bad, really");
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), std::count(error.begin(), error.end(), ',') - 1)
        << "the quoted comma aside, as many fields as the header";
    EXPECT_TRUE(dl::ManyHeader({true, true, {}}).empty());
    EXPECT_EQ(dl::OneLine("dewlark: a\n\nsecond  \r\n"), "dewlark: a; second");
}

dl::AnalysedBlock block(double peak_hz, double f0_hz, double a4 = 0) {
    dl::AnalysedBlock b;
    b.analysis.peak_shown = peak_hz > 0;
    b.analysis.peak_frequency = peak_hz;
    b.analysis.f0_voiced = f0_hz > 0;
    b.analysis.f0_frequency = f0_hz;
    b.analysis.a4_shown = a4 > 0;
    b.analysis.a4_frequency = a4;
    return b;
}

std::vector<std::string> summary_of(const std::vector<dl::AnalysedBlock>& blocks, dl::SoundFigures sound = {}) {
    dl::AnalysedFile f;
    f.blocks = blocks;
    f.seconds = 2.5;
    f.format_tag = 0x704F;
    f.sample_rate = 48000;
    f.channels = 1;
    f.sound = sound;
    return dl::SummaryFields(f);
}

TEST(BatchSummary, MediansSpreadAndTheStrongestNotes) {
    dl::Settings = dl::SettingsRecord{};
    // Four blocks of A4 (one silent), one of E5, one of C5 and one of G5: A4 leads, three listed.
    const std::vector<dl::AnalysedBlock> blocks = {block(440, 440, 440), block(440, 440, 441),
                                                   block(440, 440 * std::pow(2, 10 / 1200.0), 442),
                                                   block(0, 0),
                                                   block(659.26, 0),
                                                   block(523.25, 0),
                                                   block(783.99, 0)};
    const std::vector<std::string> f = summary_of(blocks);
    ASSERT_EQ(f.size(), dl::EmptySummaryFields().size());
    EXPECT_EQ(f[0], "2.500");
    EXPECT_EQ(f[1], "opus");
    EXPECT_EQ(f[2], "48000");
    EXPECT_EQ(f[4], "") << "no sound measured: no peak";
    EXPECT_EQ(f[6], "A4 42.9%;C5 14.3%;E5 14.3%") << "ties in name order, shares of every block";
    EXPECT_EQ(f[7], "440.000");
    EXPECT_EQ(f[8], "A4");
    EXPECT_EQ(f[9], "+0.0");
    EXPECT_EQ(f[10], "5.0") << "quartiles read between 0 and 10 cents";
    EXPECT_EQ(f[11], "42.9");
    EXPECT_EQ(f[12], "441.0");
    EXPECT_EQ(f[13], "") << "loudness not measured";

    // An even count takes the mean of the middle two; a reference of 442 Hz names 440 Hz flat.
    dl::Settings.reference_a4 = 4420;
    const std::vector<std::string> g = summary_of({block(440, 439), block(440, 441)});
    EXPECT_EQ(g[7], "440.000");
    EXPECT_EQ(g[9], "-7.9");
    dl::Settings = dl::SettingsRecord{};

    const std::vector<std::string> unvoiced = summary_of({block(0, 0)});
    EXPECT_EQ(unvoiced[6], "");
    EXPECT_EQ(unvoiced[7], "");
    EXPECT_EQ(unvoiced[11], "0.0");
    EXPECT_EQ(dl::FormatName(0x0001), "wav");
    EXPECT_EQ(dl::FormatName(0x674F), "vorbis");
    EXPECT_EQ(dl::FormatName(0x1234), "0x1234");
}

TEST(BatchSummary, TheSoundsPeakPowerAndLoudnessOverEverySampleAtItsWidth) {
    dl::SoundMeasure sound;
    ASSERT_TRUE(sound.start(2, 48000));
    // Frames split between calls, and a float sample past full scale, as a float file holds it.
    const float first[] = {0.5f, -0.5f, -1.25f};
    const float second[] = {0.0f};
    sound.add(first, 3);
    sound.add(second, 1);
    dl::SoundFigures f = sound.figures();
    EXPECT_DOUBLE_EQ(f.peak, 1.25);
    EXPECT_DOUBLE_EQ(f.rms, std::sqrt((0.25 + 0.25 + 1.5625) / 4));
    EXPECT_DOUBLE_EQ(f.seconds, 2.0 / 48000);
    const std::vector<std::string> row = summary_of({block(440, 440)}, f);
    EXPECT_EQ(row[4], "1.94") << "above full scale, as the samples are";
    EXPECT_EQ(row[5], "-2.88");

    // A second of a -20 dBFS 1 kHz sine: -23 LUFS, as the loudness standard has it.
    ASSERT_TRUE(sound.start(1, 48000));
    std::vector<float> sine(48000);
    for (size_t i = 0; i < sine.size(); ++i) sine[i] = float(0.1 * std::sin(2 * M_PI * 1000.0 * double(i) / 48000));
    for (size_t at = 0; at < sine.size(); at += 777) sound.add(sine.data() + at, std::min<size_t>(777, sine.size() - at));
    f = sound.figures();
    EXPECT_NEAR(f.lufs, -23.0, 0.05);
    EXPECT_NEAR(f.rms, 0.1 / std::sqrt(2.0), 1e-7);
    EXPECT_NEAR(f.peak, 0.1, 1e-7);
    EXPECT_DOUBLE_EQ(f.seconds, 1.0);
    EXPECT_EQ(summary_of({}, f)[13], "-23.0");

    // Silence has no level and no loudness: empty fields, not a figure; nor has a decoder's
    // arithmetic below the least step of 32-bit sound.
    ASSERT_TRUE(sound.start(1, 44100));
    std::vector<float> quiet(44100, 0.0f);
    for (size_t i = 0; i < quiet.size(); i += 3) quiet[i] = i % 2 ? 1e-10f : -1e-10f;
    sound.add(quiet.data(), quiet.size());
    const std::vector<std::string> silent = summary_of({block(0, 0)}, sound.figures());
    EXPECT_EQ(silent[4], "");
    EXPECT_EQ(silent[5], "");
    EXPECT_EQ(silent[13], "");
}

}  // namespace
