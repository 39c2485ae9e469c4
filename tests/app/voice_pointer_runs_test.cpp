// Who may steer the desktop's pointer by the voice: the window's run, once the user switched it on; the
// batch commands never, whatever voice range the settings hold.
#include <gtest/gtest.h>

#include <QTest>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/batch_analyse.h"
#include "app/batch_monitor.h"
#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "platform/audio_system.h"
#include "platform/pointer.h"
#include "resources/command_ids.h"
#include "state/hooks.h"
#include "state/source.h"
#include "support/fake_clock.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

namespace {

constexpr uint32_t kRate = 11025;

// Counts the injected events while alive; afterwards they are dropped again.
struct PointerEvents {
    int events = 0, left_clicks = 0;
    PointerEvents() {
        dl::set_pointer_event_hook([this](int flags, int, int) {
            ++events;
            left_clicks += (flags & dl::kMouseLeftDown) != 0;
        });
    }
    ~PointerEvents() { dl_test::keep_pointer_off_the_desktop(); }
};

// 16-bit mono samples of the chord that clicks the left button for voice range `sex`: a root in
// 247..277 Hz and its octave, both times `sex`. Alone, either note steers the pointer too.
std::string click_chord_samples(int sex) {
    std::string d;
    for (size_t k = 0; k < size_t(kRate * 1.5); ++k) {
        const double t = double(k) / kRate;
        const double v = 8000 * (std::sin(2 * M_PI * 262 * sex * t) + std::sin(2 * M_PI * 520 * sex * t));
        const auto s = int16_t(std::lround(v));
        d += char(s & 0xFF);
        d += char((s >> 8) & 0xFF);
    }
    return d;
}

struct PointerCount {
    int events = 0, left_clicks = 0;
};

std::string click_chord_file(int sex) {
    const std::string samples = click_chord_samples(sex);
    return dl_test::write_file("chord" + std::to_string(sex) + ".wav", dl_test::pcm_wav(1, kRate, 16, samples));
}

// The settings a batch run reads: the voice range and how many peaks are listed (1: the single-note
// pointer, 4: the chord pointer).
void use_settings(int sex, int freqnum) {
    const std::string profile = dl_test::use_temporary_profile();
    dl_test::write_file(profile + "/dewlark.INI",
                        "[dewlark]\nsex=" + std::to_string(sex) + "\nfreqnum=" + std::to_string(freqnum) + "\n");
}

size_t data_rows(const std::string& csv) {
    std::stringstream s(csv);
    size_t n = 0;
    for (std::string line; std::getline(s, line);) n += !line.empty() && line[0] != 't';
    return n;
}

TEST(BatchVoicePointer, AnalyseNeverInjectsWhateverTheVoiceRange) {
    for (int sex : {1, 2}) {
        for (int freqnum : {1, 4}) {
            use_settings(sex, freqnum);
            const std::string file = click_chord_file(sex);
            PointerEvents pointer;
            testing::internal::CaptureStdout();
            const int status = dl::RunAnalyseCommand({"--analyse", file});
            const std::string rows = testing::internal::GetCapturedStdout();
            EXPECT_EQ(status, 0);
            EXPECT_GE(data_rows(rows), 5u) << "the chord was analysed";
            EXPECT_EQ(pointer.events, 0) << "sex " << sex << ", freqnum " << freqnum;
        }
    }
}

TEST(BatchVoicePointer, MonitorNeverInjectsWhateverTheVoiceRange) {
    for (int sex : {1, 2}) {
        use_settings(sex, 4);
        const std::string input = dl_test::write_file("chord_input.raw", click_chord_samples(sex));
        dl::audio_quit();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        PointerEvents pointer;
        testing::internal::CaptureStdout();
        int status = -1;
        {
            // --seconds on the sound's clock: as many rows however fast the machine is.
            dl_test::FakeClock clock(dl_test::recorded_ms);
            status = dl::RunMonitorCommand(
                {"--monitor", "--seconds", "0.6", "--set", "freq=11025", "--set", "channel=1", "--set", "bits=16"});
        }
        const std::string rows = testing::internal::GetCapturedStdout();
        dl::audio_quit();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (const char* name : {"SDL_DISKAUDIOFILE", "SDL_DISKAUDIOFILEIN", "SDL_DISKAUDIODELAY"}) unsetenv(name);
        EXPECT_EQ(status, 0);
        EXPECT_GE(data_rows(rows), 2u) << "the chord was heard";
        EXPECT_EQ(pointer.events, 0) << "sex " << sex;
    }
}

// The window steers the pointer only while the user has switched it on: the same chord, played or
// monitored with the item off, injects nothing whatever the voice range and the peak count.
class WindowVoicePointer : public dl_test::AppTest, public ::testing::WithParamInterface<int> {
protected:
    void use_window_settings(int sex, int freqnum, int voice_pointer) {
        dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\nsex=" + std::to_string(sex) +
                                                           "\nfreqnum=" + std::to_string(freqnum) +
                                                           "\nVoicePointer=" + std::to_string(voice_pointer) + "\n");
    }
    // Plays the click chord of the voice range to its end; the pointer events it gave.
    PointerCount play_chord(int sex) {
        const std::string file = click_chord_file(sex);
        start({file});
        PointerEvents pointer;
        dl::DispatchCommand(dl::kCmdStart, 0);
        EXPECT_TRUE(dl::SourceState.running);
        (void)QTest::qWaitFor([] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
        EXPECT_FALSE(dl::SourceState.running);
        return {pointer.events, pointer.left_clicks};
    }
};

TEST_P(WindowVoicePointer, PlayingTheChordClicksOnlyWithTheItemOn) {
    const int sex = GetParam();
    use_window_settings(sex, 4, 1);
    const PointerCount on = play_chord(sex);
    EXPECT_GT(on.left_clicks, 0);
    program_->window().destroy();
    program_.reset();

    for (int freqnum : {1, 4}) {
        use_window_settings(sex, freqnum, 0);
        const PointerCount off = play_chord(sex);
        EXPECT_EQ(off.events, 0) << "freqnum " << freqnum;
        program_->window().destroy();
        program_.reset();
    }
}

TEST_P(WindowVoicePointer, MonitoringTheChordWithTheItemOffInjectsNothing) {
    const int sex = GetParam();
    use_window_settings(sex, 1, 0);
    const std::string input = dl_test::write_file("window_chord_input.raw", click_chord_samples(sex));
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    start({"/M", "/H", "/11", "/P"});
    PointerEvents pointer;
    int blocks = 0;
    dl::AnalysisObserver = [&blocks](double, const dl::BlockAnalysis&) { ++blocks; };
    (void)QTest::qWaitFor([&blocks] { return blocks >= 4; }, dl_test::kPatienceMs);
    dl::DispatchCommand(dl::kCmdStop, 0);
    QTest::qWait(50);
    dl::AnalysisObserver = nullptr;
    program_->window().destroy();
    program_.reset();
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const char* name : {"SDL_DISKAUDIOFILE", "SDL_DISKAUDIOFILEIN", "SDL_DISKAUDIODELAY"}) unsetenv(name);
    EXPECT_GE(blocks, 4) << "the chord was heard";
    EXPECT_EQ(pointer.events, 0);
}

INSTANTIATE_TEST_SUITE_P(VoiceRanges, WindowVoicePointer, ::testing::Values(1, 2));

}  // namespace
