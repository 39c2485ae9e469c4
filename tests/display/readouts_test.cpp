// The read-out texts as the window draws them and batch mode prints them.
#include <gtest/gtest.h>

#include "display/peak_labels.h"
#include "display/readouts.h"
#include "state/analysis.h"

namespace {

TEST(ReadoutTexts, FrequencyFiguresKeepFiveSignificantPlaces) {
    EXPECT_EQ(dl::FrequencyFigure(1077.0, 5), " 1077");
    EXPECT_EQ(dl::FrequencyFigure(999.95, 5), " 1000");  // rounds up into the next range
    EXPECT_EQ(dl::FrequencyFigure(999.94, 5), "999.9");
    EXPECT_EQ(dl::FrequencyFigure(440.66, 5), "440.7");
    EXPECT_EQ(dl::FrequencyFigure(99.994, 5), "99.99");
    EXPECT_EQ(dl::FrequencyFigure(9.9994, 5), "9.999");
    EXPECT_EQ(dl::FrequencyFigure(0, 5), "0.000");
    EXPECT_EQ(dl::FrequencyFigure(1077.0, 0), "1077");
    EXPECT_EQ(dl::FrequencyFigure(44100.0, 5), "44100");
}

TEST(ReadoutTexts, PeakLevelAndPitch) {
    EXPECT_EQ(dl::PeakReadoutText(1077.0), "Peak  1077Hz  ");
    EXPECT_EQ(dl::PeakReadoutText(440.66), "Peak 440.7Hz  ");
    EXPECT_EQ(dl::PeakLevelText({true, -12, 0}), "-12db   ");
    EXPECT_EQ(dl::PeakLevelText({true, 6, 0}), "  6db   ");
    EXPECT_EQ(dl::PeakLevelText({false, 0, 0.5124}), "0.512 ");
    EXPECT_EQ(dl::A4ReadoutText(441.44, 6.2), "A4pitch 441.4Hz   6cent");
}

TEST(ReadoutTexts, PeakLabels) {
    dl::PeakLabel l;
    l.frequency = 1000.2;
    EXPECT_EQ(dl::PeakLabelText(l), " 1000");
    l.text = dl::PeakLabel::Text::Note;
    l.note = "A4+23";
    EXPECT_EQ(dl::PeakLabelText(l), "A4+23");
    l.text = dl::PeakLabel::Text::None;
    EXPECT_EQ(dl::PeakLabelText(l), "");
    EXPECT_EQ(dl::PeakLabelLevelText({true, -12, 0}), "=-12");
    EXPECT_EQ(dl::PeakLabelLevelText({true, -100, 0}), "-100");
    EXPECT_EQ(dl::PeakLabelLevelText({false, 0, 0.25}), "=0.250");
}

}  // namespace
