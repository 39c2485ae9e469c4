#include "dialogs/measure_dialog.h"

#include "dialog_fixture.h"
#include "platform/message_box.h"
#include "resources/control_ids.h"

namespace {

namespace m = dl::measure_ids;

using dl_test::click;
using dl_test::when_dialog_shows;

class MeasureDialogTest : public dl_test::DialogTest {};

TEST_F(MeasureDialogTest, OkTakesEveryControlAndCancelNone) {
    dl::Settings.average_ms = 1000;
    std::vector<std::string> shown;
    when_dialog_shows([&](dl::Dialog& d) {
        shown = {d.text(m::kResponse), d.text(m::kBlocks), d.text(m::kHoldTime)};
        list(d, m::kAveraging)->setCurrentIndex(2);
        list(d, m::kWeighting)->setCurrentIndex(1);
        list(d, m::kTraces)->setCurrentIndex(2);
        edit(d, m::kBlocks)->setText("64");
        edit(d, m::kHoldTime)->setText("2500");
        click(d, m::kMaxHold);
        click(d, m::kPeakTrace);
        click(d, dl::kIdOk);
    });
    EXPECT_EQ(dl_test::run_measure_dialog(), 1);
    EXPECT_EQ(shown, (std::vector<std::string>{"1000", "32", "0"}));
    EXPECT_EQ(dl::Settings.averaging, 2);
    EXPECT_EQ(dl::Settings.average_blocks, 64);
    EXPECT_EQ(dl::Settings.hold_ms, 2500);
    EXPECT_EQ(dl::Settings.weighting, 1);
    EXPECT_EQ(dl::Settings.traces, 2);
    EXPECT_EQ(dl::Settings.max_hold, 1);
    EXPECT_EQ(dl::Settings.min_hold, 0);
    EXPECT_EQ(dl::Settings.peak_trace, 1);

    when_dialog_shows([&](dl::Dialog& d) {
        list(d, m::kAveraging)->setCurrentIndex(0);
        click(d, m::kMaxHold);
        click(d, dl::kIdCancel);
    });
    EXPECT_EQ(dl_test::run_measure_dialog(), 0);
    EXPECT_EQ(dl::Settings.averaging, 2);
    EXPECT_EQ(dl::Settings.max_hold, 1);
}

TEST_F(MeasureDialogTest, ANumberOutOfRangeIsSaidAndChangesNothing) {
    std::vector<std::string> boxes;
    dl::set_message_box_hook([&](const dl::MessageBoxRequest& r) { boxes.push_back(r.text); });
    when_dialog_shows([&](dl::Dialog& d) {
        list(d, m::kAveraging)->setCurrentIndex(1);
        edit(d, m::kResponse)->setText("5");
        click(d, dl::kIdOk);
        // Still open: the user corrects it.
        edit(d, m::kResponse)->setText("125");
        click(d, dl::kIdOk);
    });
    EXPECT_EQ(dl_test::run_measure_dialog(), 1);
    dl::set_message_box_hook(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("25 to 10000 ms"), std::string::npos);
    EXPECT_EQ(dl::Settings.averaging, 1);
    EXPECT_EQ(dl::Settings.average_ms, 125);
}

}  // namespace
