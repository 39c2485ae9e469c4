// The references drawn behind the live spectrum, by frequency, on the graph's scale.
#include <cmath>
#include <vector>

#include "display/display_fixture.h"
#include "display/level_scale.h"
#include "display/reference_traces.h"
#include "resources/command_ids.h"
#include "state/references.h"

namespace {

using dl_test::DisplayTest;

class References : public DisplayTest {
protected:
    // A reference with one loud line among quiet ones.
    static dl::ReferenceSpectrum peaked(double rate, int n, int loud_line, double loud_db) {
        dl::ReferenceSpectrum r{"ref", rate, n, {}, {}};
        for (int i = 0; i < n / 2; ++i) {
            r.frequencies.push_back(i * rate / n);
            r.decibels.push_back(i == loud_line ? loud_db : -100.0);
        }
        return r;
    }
    int LogColumn(double line, int bins) const { return int(dl::LogAxis(bins, W()).offset(line)); }
    // The topmost row of colour c in graph column x, or -1.
    int TopOf(int x, dl::Rgb c) const {
        for (int y = Top(); y < Top() + 256; ++y)
            if (At(x, y) == c) return y - Top();
        return -1;
    }
};

TEST_F(References, EveryScaleTakesBackTheLevelItShows) {
    struct Scale {
        bool decibel, expand;
        int tilt;
    };
    for (Scale s : {Scale{true, false, 0}, Scale{true, true, 0}, Scale{false, false, 0}, Scale{false, true, 1}}) {
        dl::Settings.Decibel = s.decibel;
        dl::Settings.Expand = s.expand;
        dl::Settings.katamuki = s.tilt;
        for (int d = 0; d < 256; ++d) ASSERT_EQ(dl::DecibelsDepth(dl::DepthDecibels(d)), d) << s.decibel << s.expand << s.tilt;
        EXPECT_EQ(dl::DecibelsDepth(-HUGE_VAL), 255);
        EXPECT_EQ(dl::DecibelsDepth(NAN), 255);
        EXPECT_EQ(dl::DecibelsDepth(+20), 0) << "above full scale: the top";
    }
    dl::Settings = dl::SettingsRecord{};
    EXPECT_NEAR(dl::DepthDecibels(255), -108.57, 0.01) << "the plain scale's floor";
    dl::Settings.display = dl::kViewSpectrogram;
    dl::Settings.Expand = true;
    EXPECT_NEAR(dl::DepthDecibels(255), -108.57, 0.01) << "the spectrogram is always on the plain scale";
}

TEST_F(References, AnotherRateAndSizeIsTakenByFrequency) {
    // 512 lines of 21.5 Hz up to 11 kHz, loud at 990.5 Hz, on 2048 lines of 10.8 Hz up to 22 kHz.
    const dl::ReferenceSpectrum r = peaked(22050, 1024, 46, -10);
    std::vector<uint8_t> depths;
    dl::ReferenceDepths(r, 2048, 44100, depths);
    ASSERT_EQ(depths.size(), 2048u);
    const auto loudest = std::min_element(depths.begin(), depths.end()) - depths.begin();
    EXPECT_EQ(loudest, 92) << "990.5 Hz is line 92 here, not line 46";
    EXPECT_EQ(depths[92], dl::DecibelsDepth(-10)) << "the same frequency as its line 46";
    // Line 93 lies halfway between its lines 46 and 47.
    EXPECT_EQ(depths[93], dl::DecibelsDepth((-10 - 100) / 2.0)) << "between its lines";
    EXPECT_EQ(depths[1100], 255) << "above its highest frequency: the floor";

    // At its own rate and size every line is its own level.
    const dl::ReferenceSpectrum same = peaked(44100, 4096, 300, -30);
    dl::ReferenceDepths(same, 2048, 44100, depths);
    for (int i : {0, 299, 300, 301, 2047}) EXPECT_EQ(depths[size_t(i)], dl::DecibelsDepth(same.decibels[size_t(i)])) << i;
}

TEST_F(References, DrawnInTheirColoursBehindTheLiveTrace) {
    dl::Settings.display = dl::kViewLog;
    const int bins = 2048;
    std::vector<uint8_t> live(bins, 250);
    live[1000] = 20;
    dl::References.held = {peaked(44100, 4096, 500, -30), peaked(44100, 4096, 1000, -5)};
    ++dl::References.generation;
    dl::WindowDc dc;
    dl::DrawLogSpectrum(dc, live.data(), bins);

    const dl::Rgb first = dl::ReferenceColour(0), second = dl::ReferenceColour(1), trace = dl::kWhite;
    EXPECT_NE(first, second);
    const int x500 = X() + LogColumn(500, bins), x1000 = X() + LogColumn(1000, bins);
    EXPECT_EQ(TopOf(x500, first), dl::DecibelsDepth(-30)) << "the first reference's peak";
    EXPECT_EQ(TopOf(x1000, second), dl::DecibelsDepth(-5)) << "the second reaches above the live peak";
    EXPECT_EQ(TopOf(x1000, trace), 20);
    EXPECT_EQ(At(x1000, Top() + 20), trace) << "where they meet, the live trace is in front";

    // Without references the same spectrum has none of their colours.
    dl::References.held.clear();
    ++dl::References.generation;
    dl::DrawLogSpectrum(dc, live.data(), bins);
    EXPECT_EQ(TopOf(x500, first), -1);
    EXPECT_EQ(TopOf(x1000, second), -1);

    // The tuning view and the spectrogram draw no references.
    dl::References.held = {peaked(44100, 4096, 500, -30)};
    dl::Settings.display = dl::kViewTuning;
    EXPECT_FALSE(dl::ReferenceTracesShown());
}

}  // namespace
