#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/pointer.h"
#include "support/test_support.h"

namespace {

size_t count_lines(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

TEST(Pointer, WithoutADisplayItSaysSoOnceAndDoesNothing) {
    // The first injection of the process decides; make sure it finds no display.
    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-test", 1);
    dl::set_pointer_event_hook(nullptr);
    testing::internal::CaptureStderr();
    // Asking whether events can go anywhere says nothing; the first event says why not.
    EXPECT_FALSE(dl::pointer_events_possible());
    EXPECT_TRUE(testing::internal::GetCapturedStderr().empty());
    testing::internal::CaptureStderr();
    dl::inject_mouse_event(dl::kMouseMove, 5, 5);
    dl::inject_mouse_event(dl::kMouseLeftDown, 0, 0);
    dl::inject_mouse_event(dl::kMouseLeftUp, 0, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    unsetenv("WAYLAND_DISPLAY");
    dl_test::keep_pointer_off_the_desktop();
    EXPECT_EQ(count_lines(err), 1u) << err;
    EXPECT_NE(err.find("Wayland"), std::string::npos) << err;
}

TEST(Pointer, HookSeesTheEventsInsteadOfTheDesktop) {
    std::vector<int> seen;
    dl::set_pointer_event_hook([&](int flags, int dx, int dy) { seen.insert(seen.end(), {flags, dx, dy}); });
    dl::inject_mouse_event(dl::kMouseMove, -3, 4);
    dl::inject_mouse_event(dl::kMouseRightUp, 0, 0);
    EXPECT_TRUE(dl::pointer_events_possible());
    dl_test::keep_pointer_off_the_desktop();
    dl::inject_mouse_event(dl::kMouseMove, 1, 1);
    EXPECT_EQ(seen, (std::vector<int>{dl::kMouseMove, -3, 4, dl::kMouseRightUp, 0, 0}));
}

}  // namespace
