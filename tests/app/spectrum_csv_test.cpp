// The spectrum CSV format both ways, with references of different rates in one file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/spectrum_csv.h"

namespace {

TEST(SpectrumCsv, ReferencesOfTwoGridsInOneFileComeBackEachOnItsOwn) {
    dl::ReferenceSpectrum a{"10:00:00", 8000, 8, {0, 1000, 2000, 3000}, {-10, -20, -30, -40}};
    dl::ReferenceSpectrum b{"take, \"two\"", 0, 0, {500, 1000, 1500.25}, {-1, -2, -3}};
    const std::string csv = dl::ReferencesCsv({a, b});
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "frequency_hz,10:00:00_db,\"take, \"\"two\"\"_db\"");
    EXPECT_NE(csv.find("\n500.0000,,-1.00\n1000.0000,-20.00,-2.00\n"), std::string::npos) << csv;

    std::vector<dl::ReferenceSpectrum> read;
    std::string why;
    ASSERT_TRUE(dl::ReadSpectrumCsv(csv, "file", read, why)) << why;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, a.name);
    EXPECT_EQ(read[0].frequencies, a.frequencies);
    EXPECT_EQ(read[0].decibels, a.decibels);
    EXPECT_EQ(read[0].rate, 8000) << "a whole spectrum from 0 Hz says its rate and size";
    EXPECT_EQ(read[0].n, 8);
    EXPECT_EQ(read[1].name, b.name);
    EXPECT_EQ(read[1].frequencies, b.frequencies);
    EXPECT_EQ(read[1].rate, 0) << "a part of one does not";

    // Windows line ends, and columns that are not levels, are read past; "level" takes the file's name.
    ASSERT_TRUE(dl::ReadSpectrumCsv("frequency_hz,note,level_db\r\n0,C,-3\r\n5,D,-inf\r\n", "file", read, why)) << why;
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].name, "file");
    EXPECT_TRUE(std::isinf(read[0].decibels[1]));
}

TEST(SpectrumCsv, SilentLinesOfAReferenceAreKeptForTheNextStart) {
    // Levels of -inf (silent lines, as other programs write them) are written back as such: the
    // references kept for the next start read back whole.
    std::vector<dl::ReferenceSpectrum> read;
    std::string why;
    ASSERT_TRUE(dl::ReadSpectrumCsv("frequency_hz,level_db\n0,-inf\n5,-inf\n10,-3\n", "file", read, why)) << why;
    const std::string kept = dl::ReferencesCsv(read);
    std::vector<dl::ReferenceSpectrum> again;
    ASSERT_TRUE(dl::ReadSpectrumCsv(kept, "file", again, why)) << kept << why;
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].frequencies, read[0].frequencies);
    EXPECT_EQ(again[0].decibels, read[0].decibels);
}

TEST(SpectrumCsv, FrequenciesCloserThanFourDecimalsStayApart) {
    // A grid finer than the file's four decimals (a reference made elsewhere) is written in full,
    // not as lines of one frequency the reader refuses.
    std::vector<dl::ReferenceSpectrum> read;
    std::string why;
    for (const char* text : {"frequency_hz,level_db\n1.00001,-3\n1.00002,-4\n",
                             "frequency_hz,level_db\n-0.000,-3\n0.00001,-4\n",
                             // Numbers longer than a line of text: written whole, not cut short.
                             "frequency_hz,level_db\n1,-3\n1e272,-1e300\n"}) {
        ASSERT_TRUE(dl::ReadSpectrumCsv(text, "file", read, why)) << why;
        const std::string kept = dl::ReferencesCsv(read);
        std::vector<dl::ReferenceSpectrum> again;
        ASSERT_TRUE(dl::ReadSpectrumCsv(kept, "file", again, why)) << kept << why;
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(again[0].frequencies, read[0].frequencies);
        EXPECT_EQ(again[0].decibels, read[0].decibels);
    }
}

TEST(SpectrumCsv, BadFilesSayWhereAndLeaveTheReferencesAlone) {
    const std::vector<dl::ReferenceSpectrum> kept = {{"kept", 0, 0, {0, 1}, {0, 0}}};
    const struct {
        const char* text;
        const char* why;
    } cases[] = {
        {"", "the file is empty"},
        {"hz,level_db\n0,1\n", "the first column is not frequency_hz"},
        {"frequency_hz,level\n0,1\n", "no column of levels"},
        {"frequency_hz,level_db\n0,-1\n1\n", "line 3 has 1 fields, the header 2"},
        {"frequency_hz,level_db\n0,-1\n1,loud\n", "line 3: \"loud\" is not a level"},
        {"frequency_hz,level_db\n-5,-1\n", "line 2: \"-5\" is not a frequency"},
        {"frequency_hz,level_db\n10,-1\n5,-1\n", "line 3: the frequencies do not rise"},
        {"frequency_hz,level_db\n10,-1\n20,\n", "fewer than two levels"},
        {"frequency_hz,level_db\n0,1e999\n", "is not a level"},
    };
    for (const auto& c : cases) {
        std::vector<dl::ReferenceSpectrum> out = kept;
        std::string why;
        EXPECT_FALSE(dl::ReadSpectrumCsv(c.text, "file", out, why)) << c.text;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.text << " -> " << why;
        EXPECT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].name, "kept");
    }
}

}  // namespace
