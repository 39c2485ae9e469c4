// The window weights and the rules for rebuilding the cached table.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/window_table.h"

namespace dl {
namespace {

class WindowTableTest : public ::testing::Test {
protected:
    // A table of the test's own, fresh for each test.
    WindowTableRecord WindowTable;
    int type = 0;  // the window function asked for
};

TEST_F(WindowTableTest, StartsRectangularAndEmpty) {
    EXPECT_EQ(WindowTable.cached_length, 0);
    EXPECT_EQ(WindowTable.cached_type, 4);
    EXPECT_EQ(WindowTable.window.size(), 32768u);
}

TEST_F(WindowTableTest, HanningAndTaperAtHalfLengthFour) {
    type = 0;
    make_window(WindowTable, type, 4);
    const double han[4] = {0, 0.1464466094067262, 0.5, 0.8535533905932738};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(WindowTable.window[i], han[i], 1e-15) << i;
    type = 7;
    make_window(WindowTable, type, 4);
    const double taper[4] = {0, 0.5, 1, 1};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(WindowTable.window[i], taper[i], 1e-15) << i;
}

TEST_F(WindowTableTest, EachTypeFollowsItsFormula) {
    const int m = 1000;
    struct Probe {
        int type;
        double at0, at_half, at_last;
    };
    const double c_last = std::cos(M_PI * 999 / 1000);
    const Probe probes[] = {
        {1, 0.08, 0.54, 0.54 - 0.46 * c_last},
        {2, 0.0, 0.42 - 0.08, 0.42 - 0.5 * c_last + 0.08 * std::cos(2 * M_PI * 999 / 1000)},
        {3, 0.0, 0.5, 0.999},
        {5, std::exp(-0.25 * 4.24 * 4.24), std::exp(-0.25 * 2.12 * 2.12),
         std::exp(-0.25 * 0.00424 * 0.00424)},
        {6, std::exp(-0.25 * 6.5 * 6.5), std::exp(-0.25 * 3.25 * 3.25),
         std::exp(-0.25 * 0.0065 * 0.0065)},
        {7, 0.0, 1.0, 1.0},
    };
    for (const Probe& p : probes) {
        const int type = p.type;
        make_window(WindowTable, type, m);
        EXPECT_NEAR(WindowTable.window[0], p.at0, 1e-14) << p.type;
        EXPECT_NEAR(WindowTable.window[m / 2], p.at_half, 1e-14) << p.type;
        EXPECT_NEAR(WindowTable.window[m - 1], p.at_last, 1e-14) << p.type;
    }
}

TEST_F(WindowTableTest, RectangularLeavesTheTableAlone) {
    type = 0;
    make_window(WindowTable, type, 8);
    const double before = WindowTable.window[3];
    type = 4;
    make_window(WindowTable, type, 8);
    EXPECT_EQ(WindowTable.window[3], before);
    EXPECT_FALSE(ensure_window(WindowTable, type, 8));
    EXPECT_EQ(WindowTable.cached_type, 4);
}

TEST_F(WindowTableTest, RebuildsOnlyWhenLengthOrTypeChanges) {
    type = 0;
    EXPECT_TRUE(ensure_window(WindowTable, type, 2048));
    EXPECT_EQ(WindowTable.cached_length, 2048);
    EXPECT_EQ(WindowTable.cached_type, 0);
    WindowTable.window[5] = -1;  // a rebuild would overwrite this
    EXPECT_FALSE(ensure_window(WindowTable, type, 2048));
    EXPECT_EQ(WindowTable.window[5], -1);
    EXPECT_TRUE(ensure_window(WindowTable, type, 1024));
    EXPECT_NEAR(WindowTable.window[512], 0.5, 1e-15);
    type = 3;
    EXPECT_TRUE(ensure_window(WindowTable, type, 1024));
    EXPECT_EQ(WindowTable.cached_type, 3);
    EXPECT_NEAR(WindowTable.window[512], 0.5, 1e-15);
    EXPECT_NEAR(WindowTable.window[256], 0.25, 1e-15);
}

TEST_F(WindowTableTest, OversizedOrUnknownRequestsStayInBounds) {
    type = 0;
    make_window(WindowTable, type, 100000);  // more than the table holds: filled up to its end
    EXPECT_NEAR(WindowTable.window[16384], 0.5, 1e-12);
    type = 9;  // not a known type: the block is left unweighted
    make_window(WindowTable, type, 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(WindowTable.window[i], 1.0);
}

}  // namespace
}  // namespace dl
