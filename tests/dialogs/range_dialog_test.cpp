#include "dialogs/range_dialog.h"

#include "dialog_fixture.h"
#include "platform/message_box.h"
#include "resources/control_ids.h"
#include "state/source.h"

namespace {

namespace r = dl::range_ids;

using dl_test::click;
using dl_test::when_dialog_shows;

class RangeDialogTest : public dl_test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dl::SourceInfo.sample_rate = 44100;
        dl::set_message_box_hook([this](const dl::MessageBoxRequest& m) { boxes.push_back(m.text); });
    }
    void TearDown() override {
        dl::set_message_box_hook(nullptr);
        dl::SourceInfo = {};
        DialogTest::TearDown();
    }
    std::vector<std::string> boxes;
};

TEST_F(RangeDialogTest, OkTakesTheTypedRangeAndTheButtonsGiveTheWholeOnes) {
    std::vector<std::string> shown;
    dl::Settings.db_top = -6;
    when_dialog_shows([&](dl::Dialog& d) {
        shown = {d.text(r::kLow), d.text(r::kHigh), d.text(r::kTop), d.text(r::kSpan)};
        edit(d, r::kLow)->setText("50");
        edit(d, r::kHigh)->setText("1500");
        edit(d, r::kTop)->setText("10");
        edit(d, r::kSpan)->setText("90");
        click(d, dl::kIdOk);
    });
    EXPECT_EQ(dl_test::run_range_dialog(), 1);
    EXPECT_EQ(shown, (std::vector<std::string>{"0", "0", "-6", "0"}));
    EXPECT_EQ(dl::Settings.freq_low, 50);
    EXPECT_EQ(dl::Settings.freq_high, 1500);
    EXPECT_EQ(dl::Settings.db_top, 10);
    EXPECT_EQ(dl::Settings.db_span, 90);
    EXPECT_TRUE(boxes.empty());

    when_dialog_shows([&](dl::Dialog& d) {
        click(d, r::kWholeFrequency);
        click(d, r::kOwnScale);
        shown = {d.text(r::kLow), d.text(r::kHigh), d.text(r::kSpan)};
        click(d, dl::kIdOk);
    });
    EXPECT_EQ(dl_test::run_range_dialog(), 1);
    EXPECT_EQ(shown, (std::vector<std::string>{"0", "0", "0"}));
    EXPECT_EQ(dl::Settings.freq_low, 0);
    EXPECT_EQ(dl::Settings.freq_high, 0);
    EXPECT_EQ(dl::Settings.db_span, 0);
    EXPECT_EQ(dl::Settings.db_top, 10);

    when_dialog_shows([&](dl::Dialog& d) {
        edit(d, r::kLow)->setText("400");
        click(d, dl::kIdCancel);
    });
    EXPECT_EQ(dl_test::run_range_dialog(), 0);
    EXPECT_EQ(dl::Settings.freq_low, 0);
}

TEST_F(RangeDialogTest, ARangeThatDoesNotHoldIsSaidAndChangesNothing) {
    when_dialog_shows([&](dl::Dialog& d) {
        edit(d, r::kLow)->setText("2000");
        edit(d, r::kHigh)->setText("1000");
        click(d, dl::kIdOk);
        edit(d, r::kHigh)->setText("30000");
        click(d, dl::kIdOk);
        edit(d, r::kHigh)->setText("3000");
        click(d, dl::kIdOk);
    });
    EXPECT_EQ(dl_test::run_range_dialog(), 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("below the high one"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find("0 to 22050 Hz"), std::string::npos) << boxes[1];
    EXPECT_EQ(dl::Settings.freq_low, 2000);
    EXPECT_EQ(dl::Settings.freq_high, 3000);
}

TEST(TypedRange, EachValueIsCheckedWithItsOwnMessage) {
    int l = -1, h = -1, t = -1, s = -1;
    auto check = [&](const char* low, const char* high, const char* top, const char* span, double nyquist = 22050) {
        return dl::CheckTypedRange(low, high, top, span, nyquist, l, h, t, s);
    };
    EXPECT_EQ(check("0", "0", "0", "0"), "");
    EXPECT_EQ(check(" 100 ", "0", "-60", "20"), "") << "a high of 0 is the Nyquist frequency";
    EXPECT_EQ(l, 100);
    EXPECT_EQ(t, -60);
    EXPECT_NE(check("abc", "0", "0", "0").find("whole numbers"), std::string::npos);
    EXPECT_NE(check("-5", "100", "0", "0").find("whole numbers"), std::string::npos);
    EXPECT_NE(check("22050", "0", "0", "0").find("below the high one"), std::string::npos);
    EXPECT_NE(check("0", "0", "21", "0").find("-60 to 20 dBFS"), std::string::npos);
    EXPECT_NE(check("0", "0", "0", "10").find("20 to 160 dB"), std::string::npos);
    EXPECT_NE(check("0", "0", "0", "").find("20 to 160 dB"), std::string::npos);
    // Without a source the limit is the highest rate the settings take.
    EXPECT_EQ(check("0", "100000", "0", "0", 0), "");
    EXPECT_EQ(h, 100000);
    EXPECT_EQ(l, 0);
}

}  // namespace
