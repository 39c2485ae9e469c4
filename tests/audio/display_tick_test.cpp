// A playing file's picture on its own clock: as many pictures a second as the user asked, each of the
// sound heard at that moment, while the buffers go on a time slice at a time.
#include <algorithm>
#include <cstdlib>

#include "audio/display_tick.h"
#include "playback_fixture.h"
#include "resources/command_ids.h"
#include "state/meters.h"
#include "state/settings.h"

namespace {

using play_test::PlaybackFixture;

constexpr uint32_t kRate = 11025;
constexpr double kStep = 0.5;  // seconds of each tone
const std::vector<double> kTones = {500.0, 1000.0, 2000.0};

class DisplayTickTest : public PlaybackFixture {
protected:
    // Three rising tones, played in real time (the disk driver at its own pace).
    std::string steps() {
        unsetenv("SDL_DISKAUDIODELAY");
        return make_wav("steps.wav", 1, kRate, 16, play_test::tones(kRate, kTones, kStep));
    }
};

TEST(DisplayTimer, PeriodOfTheRate) {
    EXPECT_EQ(dl::DisplayTimerPeriod(0), 0u) << "a picture a slice";
    EXPECT_EQ(dl::DisplayTimerPeriod(30), 33u);
    EXPECT_EQ(dl::DisplayTimerPeriod(60), 16u);
    EXPECT_EQ(dl::DisplayTimerPeriod(120), 8u);
}

// A 186 ms slice draws five pictures a second; at 30 a second the picture follows the sound about
// six times a slice, and each picture shows the tone that sounds at its time.
TEST_F(DisplayTickTest, ThirtyASecondShowTheSoundHeardAtEachPicture) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 0;
    const std::string file = steps();
    start(file);
    EXPECT_FALSE(dl::DisplayTimerOn());
    ASSERT_TRUE(play_to_end());
    const size_t per_slice = blocks_.size();
    EXPECT_LE(per_slice, 10u) << "one picture a slice of 1.5 s";

    blocks_.clear();
    block_peaks_.clear();
    dl::Settings.update_rate = 30;
    start(file);
    EXPECT_TRUE(dl::DisplayTimerOn());
    ASSERT_TRUE(play_to_end());
    EXPECT_FALSE(dl::DisplayTimerOn()) << "the end of the play stops the timer";
    EXPECT_GE(blocks_.size(), 3 * per_slice) << "pictures " << blocks_.size() << " against " << per_slice;
    EXPECT_TRUE(std::is_sorted(blocks_.begin(), blocks_.end()));
    // Their times are the sound's: spread over the play rather than bunched at the slices.
    double widest_gap = 0;
    for (size_t k = 1; k < blocks_.size(); ++k) widest_gap = std::max(widest_gap, blocks_[k] - blocks_[k - 1]);
    EXPECT_LT(widest_gap, 0.15);
    // A block that lies within one tone shows that tone (a 4096-point block is 0.37 s at 11025 Hz).
    const double block_seconds = 4096.0 / kRate;
    int checked = 0;
    for (const auto& [at, hz] : block_peaks_) {
        const int step = int(at / kStep);
        if (step >= int(kTones.size()) || at + block_seconds > (step + 1) * kStep) continue;
        EXPECT_NEAR(hz, kTones[size_t(step)], kTones[size_t(step)] * 0.02) << "at " << at << " s";
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

// The tuning log scrolls a row a picture: its rows stay a slice of sound apart at any rate.
TEST_F(DisplayTickTest, TheTuningLogKeepsARowATimeSlice) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 60;
    dl::Settings.display = dl::kViewTuning;
    start(steps());
    ASSERT_TRUE(play_to_end());
    EXPECT_LE(blocks_.size(), 10u);
    EXPECT_GE(blocks_.size(), 6u);
    for (size_t k = 1; k < blocks_.size(); ++k) EXPECT_GE(blocks_[k] - blocks_[k - 1], 2048.0 / kRate - 1e-9);
}

// Slices shorter than the picture's period draw more often already: each buffer keeps its picture.
TEST_F(DisplayTickTest, FineSlicesKeepTheirOwnPictures) {
    dl::Settings.deltatime = 128;  // 12 ms
    dl::Settings.update_rate = 30;
    start(steps());
    EXPECT_FALSE(dl::DisplayTimerOn());
    dl::StopPlayback();
}

// The meters take each stretch of the sound once, however the pictures' blocks overlap: a whole
// play meters the file's frames, short of its last block at most.
TEST_F(DisplayTickTest, OverlappingPicturesMeterTheSoundOnce) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 60;
    dl::Settings.level_meter = dl::kMeterStripLoudness;
    start(steps());
    ASSERT_TRUE(play_to_end());
    const uint64_t frames = uint64_t(kRate * kStep) * kTones.size();
    EXPECT_LE(dl::LevelMeters.loudness_frames, frames);
    EXPECT_GE(dl::LevelMeters.loudness_frames, frames - 4096);
}

// The user's choice during a play takes effect at once, and off gives the buffers their pictures back.
TEST_F(DisplayTickTest, ChangingTheRateDuringAPlay) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 0;
    start(steps());
    EXPECT_FALSE(dl::DisplayTimerOn());
    dl::Settings.update_rate = 30;
    dl::StartDisplayTimer();
    EXPECT_TRUE(dl::DisplayTimerOn());
    dl::Settings.update_rate = 0;
    dl::StartDisplayTimer();
    EXPECT_FALSE(dl::DisplayTimerOn());
    dl::StopPlayback();
    EXPECT_FALSE(dl::DisplayTimerOn());
}

}  // namespace
