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

TEST(BatchRows, ManyFileRowsLeadWithTheFileAndEndWithTheError) {
    const dl::RowForm csv{false, false, {}};
    EXPECT_EQ(dl::ManyRow(csv, "a,b.wav", {"0.000", "440.000", "-6"}, ""), "\"a,b.wav\",0.000,440.000,-6,\n");
    EXPECT_EQ(dl::ManyHeader(csv),
              "file,time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,error\n");
    EXPECT_EQ(dl::ErrorRow(csv, "x.wav", "cant open file"), "x.wav,,,,,,,,,,,,cant open file\n");
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

std::vector<std::string> summary_of(const std::vector<dl::AnalysedBlock>& blocks, dl::SoundMeasure sound = {}) {
    dl::AnalysedFile f;
    f.blocks = blocks;
    f.seconds = 2.5;
    f.format_tag = 0x704F;
    f.sample_rate = 48000;
    f.channels = 1;
    return dl::SummaryFields(f, sound);
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

TEST(BatchSummary, TheSoundsPeakAndPowerOverEverySample) {
    dl::SoundMeasure wide;
    const uint8_t sixteen[] = {0x00, 0x40, 0x00, 0xC0, 0x00, 0x80, 0x00, 0x00};  // 0.5, -0.5, -1, 0
    wide.add(sixteen, sizeof sixteen);
    EXPECT_DOUBLE_EQ(wide.peak, 1.0);
    EXPECT_EQ(wide.samples, 4u);
    EXPECT_DOUBLE_EQ(wide.sum_squares, 1.5);
    dl::SoundMeasure narrow;
    narrow.bits = 8;
    const uint8_t eight[] = {128, 192, 64};
    narrow.add(eight, sizeof eight);
    EXPECT_DOUBLE_EQ(narrow.peak, 0.5);
    EXPECT_EQ(narrow.samples, 3u);
    const std::vector<std::string> f = summary_of({block(440, 440)}, wide);
    EXPECT_EQ(f[4], "0.00");
    EXPECT_EQ(f[5], "-4.26");  // 20 log10 of the root of 1.5 / 4
}

}  // namespace
