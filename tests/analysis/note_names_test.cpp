// Notes of the equal-tempered scale, and the cents of the A4 read-out.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/note_names.h"
#include "analysis/pitch.h"

namespace {

TEST(NoteNames, NearestEqualTemperedNote) {
    EXPECT_EQ(dl::note_name(440), "A4");
    EXPECT_EQ(dl::note_name(523.25), "C5");
    EXPECT_EQ(dl::note_name(261.63), "C4");
    EXPECT_EQ(dl::note_name(466.16), "Bb4");
    EXPECT_EQ(dl::note_name(27.5), "A0");
    EXPECT_EQ(dl::note_name(4186.0), "C8");
    EXPECT_EQ(dl::note_name(0), "0Hz");
    EXPECT_EQ(dl::note_name(-5), "0Hz");
    EXPECT_EQ(dl::note_of(440).key, 69);
    EXPECT_EQ(dl::note_of(440).semitones, -3);
    // Half a semitone above and below C5 rounds away from C5.
    EXPECT_EQ(dl::note_of(523.25113 * std::pow(2, 0.5001 / 12)).semitones, 1);
    EXPECT_EQ(dl::note_of(523.25113 * std::pow(2, -0.5001 / 12)).semitones, -1);
}

TEST(NoteNames, FloorDivMod) {
    EXPECT_EQ(dl::FloorDivMod(-3, 12).quot, -1);
    EXPECT_EQ(dl::FloorDivMod(-3, 12).rem, 9);
    EXPECT_EQ(dl::FloorDivMod(-12, 12).quot, -1);
    EXPECT_EQ(dl::FloorDivMod(-12, 12).rem, 0);
    EXPECT_EQ(dl::FloorDivMod(-13, 12).quot, -2);
    EXPECT_EQ(dl::FloorDivMod(-13, 12).rem, 11);
    EXPECT_EQ(dl::FloorDivMod(13, 12).quot, 1);
    EXPECT_EQ(dl::FloorDivMod(13, 12).rem, 1);
    EXPECT_EQ(dl::FloorDivMod(3, -12).rem, -9);
}

TEST(NoteNames, CentsFoldIntoTheSemitoneAroundA4) {
    EXPECT_NEAR(dl::a4_cents(446), 23.45, 0.01);
    EXPECT_NEAR(dl::a4_cents(445 * 8), 19.56, 0.01);
    EXPECT_NEAR(dl::a4_cents(440 * std::pow(2, 3.0 / 12)), 0, 1e-9);  // C5 is exact
    EXPECT_GT(dl::fold_to_a4(27.5 * 1.03), 427.57);
    EXPECT_LE(dl::fold_to_a4(453), 453);
}

TEST(PitchHistory, MergeAcrossTheSeam) {
    EXPECT_DOUBLE_EQ(dl::MergeCents(45, -45, 2), -50);
    EXPECT_DOUBLE_EQ(dl::MergeCents(10, -20, 2), -5);
    EXPECT_DOUBLE_EQ(dl::MergeCents(-45, 40, 2), 47.5);
    EXPECT_DOUBLE_EQ(dl::MergeCents(49, -49, 8), 49.25);  // -50.75 wraps round
    EXPECT_DOUBLE_EQ(dl::MergeCents(40, 20, 3), (20 + 80) / 3.0);
    EXPECT_DOUBLE_EQ(dl::MergeCents(-48, 46, 2), 49);  // -48 taken as +52
}

}  // namespace
