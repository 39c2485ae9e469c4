// The partial a tuner reads: whole multiples of a harmonic note, sharper ones on a stiff string.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/partial_reading.h"

namespace {

TEST(PartialReading, HarmonicNotesGiveWholeMultiplesAndStiffStringsSharperOnes) {
    // A harmonic A2: its second partial is A3, its third E4 two cents sharp of equal temperament.
    dl::PartialReading r = dl::ReadPartial(110, 0, 1, 4400);
    EXPECT_DOUBLE_EQ(r.frequency, 110);
    EXPECT_EQ(r.note, "A2");
    EXPECT_NEAR(r.cents, 0, 1e-4);
    r = dl::ReadPartial(110, 0, 2, 4400);
    EXPECT_DOUBLE_EQ(r.frequency, 220);
    EXPECT_EQ(r.note, "A3");
    r = dl::ReadPartial(110, 0, 3, 4400);
    EXPECT_EQ(r.note, "E4");
    EXPECT_NEAR(r.cents, 1.955, 0.001);

    // A string of B = 0.0004 whose first partial is 110 Hz: the fourth stands at
    // 440 sqrt(1.0064 / 1.0004), 5.17 cents sharp of A4; the eighth 22.6 cents sharp of A5.
    const double b = 0.0004;
    r = dl::ReadPartial(110, b, 4, 4400);
    EXPECT_NEAR(r.frequency, 440 * std::sqrt(1.0064 / 1.0004), 1e-9);
    EXPECT_EQ(r.note, "A4");
    EXPECT_NEAR(r.cents, 5.17, 0.01);
    r = dl::ReadPartial(110, b, 8, 4400);
    EXPECT_EQ(r.note, "A5");
    EXPECT_NEAR(r.cents, 600 * std::log2(1.0256 / 1.0004), 1e-4);

    // Named against the chosen reference: the second partial of a 207.5 Hz note with A4 at 415 is A4.
    r = dl::ReadPartial(207.5, 0, 2, 4150);
    EXPECT_EQ(r.note, "A4");
    EXPECT_NEAR(r.cents, 0, 1e-4);

    // A partial outside 1..8 reads as the first; a negative or unknown B as none.
    for (int k : {0, 9, -3}) EXPECT_DOUBLE_EQ(dl::ReadPartial(110, b, k, 4400).frequency, 110) << k;
    EXPECT_DOUBLE_EQ(dl::ReadPartial(110, -1, 2, 4400).frequency, 220);
    EXPECT_DOUBLE_EQ(dl::ReadPartial(110, std::nan(""), 2, 4400).frequency, 220);
}

}  // namespace
