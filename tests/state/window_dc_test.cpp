#include <gtest/gtest.h>

#include "support/test_support.h"

#include "state/window_dc.h"


namespace {

TEST(WindowDcTest, ContextsNestUpToThreeAndReleaseInReverseOrder) {
    dl::Surface s(50, 50);
    dl::WindowSurface = &s;
    {
        dl::WindowDc a, b, c;
        EXPECT_EQ(dl::HeldWindowDcCount(), 3);
        c.dc().fill_rect(0, 0, 1, 1, dl::kWhite);
    }
    EXPECT_EQ(dl::HeldWindowDcCount(), 0);
    EXPECT_EQ(s.pixel(0, 0), dl::kWhite);
    dl::WindowSurface = nullptr;
}

TEST(WindowDcTest, ReleasingOutOfOrderOrAFourthContextEndsTheProcess) {
    dl::Surface s(10, 10);
    dl::WindowSurface = &s;
    dl_test::MessageBoxCapture boxes;
    dl_test::EndProcessCapture ends;
    dl::Dc& first = dl::AcquireWindowDc();
    dl::Dc& second = dl::AcquireWindowDc();
    try {
        dl::ReleaseWindowDc(first);
        FAIL() << "out-of-order release went on";
    } catch (const dl_test::ProcessEnded& e) {
        EXPECT_EQ(e.code, 1);
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "HDC DESTROYED");
    EXPECT_EQ(boxes.boxes[0].caption, "ERROR");
    EXPECT_FALSE(boxes.boxes[0].owned);
    dl::ReleaseWindowDc(second);
    dl::Dc& third = dl::AcquireWindowDc();
    dl::Dc& fourth = dl::AcquireWindowDc();
    EXPECT_THROW(dl::AcquireWindowDc(), dl_test::ProcessEnded);
    dl::ReleaseWindowDc(fourth);
    dl::ReleaseWindowDc(third);
    dl::ReleaseWindowDc(first);
    EXPECT_EQ(dl::HeldWindowDcCount(), 0);
    dl::WindowSurface = nullptr;
}

}  // namespace
