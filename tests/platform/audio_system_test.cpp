#include <SDL.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include "platform/audio_system.h"
#include "platform/device_open_error.h"
#include "platform/wave_device.h"
#include "platform/tone_player.h"
#include "platform/system.h"
#include "support/test_support.h"

namespace {

TEST(AudioSystemTest, TheDummyDriverOffersOneDeviceEachWay) {
    ASSERT_TRUE(dl::audio_init());
    EXPECT_GE(dl::wave_out_device_count(), 1);
    EXPECT_GE(dl::wave_in_device_count(), 1);
    EXPECT_EQ(dl::wave_in_format_mask(), 0xFFFu);
    // What the sound server's mixer lists the program and its streams as.
    for (const char* hint : {SDL_HINT_APP_NAME, SDL_HINT_AUDIO_DEVICE_APP_NAME, SDL_HINT_AUDIO_DEVICE_STREAM_NAME})
        EXPECT_STREQ(SDL_GetHint(hint), "dewlark") << hint;
}

// A device that will not open is told apart by what the sound system says: in use, not there, the
// server unreachable, out of memory, or something else; only the first is "in use".
TEST(AudioSystemTest, OpenFailuresAreToldApartByTheirCause) {
    struct Case {
        const char* why;
        int devices, code;
    } cases[] = {
        {"ALSA: Couldn't open audio device: Device or resource busy", 2, dl::kWaveAllocated},
        {"ALSA: Couldn't open audio device: No such file or directory", 2, dl::kWaveBadDeviceId},
        {"No such device.", 1, dl::kWaveBadDeviceId},
        {"Could not connect PulseAudio stream", 1, dl::kWaveNoDriver},
        {"Could not set up PulseAudio stream", 1, dl::kWaveNoDriver},
        {"Pipewire: Failed to connect to the server", 1, dl::kWaveNoDriver},
        {"Out of memory", 1, dl::kWaveNoMemory},
        {"Unsupported audio format", 1, dl::kWaveError},
        {"", 1, dl::kWaveError},
        {"Device or resource busy", 0, dl::kWaveBadDeviceId},  // no device at all, whatever it says
    };
    for (const Case& c : cases) EXPECT_EQ(dl::open_failure_code(c.why, c.devices), c.code) << c.why;
    EXPECT_EQ(dl::open_failure_code(nullptr, 1), dl::kWaveError);
}

// The tone plays while the event loop runs on; who waits for it hears of its end once, from the loop.
TEST(AudioSystemTest, TheReferenceTonePlaysToItsEndWithoutHoldingTheLoop) {
    int ended = 0;
    dl::play_wav_async(dl_test::temp_dir() + "/missing.wav", [&] { ++ended; });
    EXPECT_EQ(ended, 1) << "a missing file is silent and over at once";
    EXPECT_FALSE(dl::wav_playing());
    const std::string junk = dl_test::write_file("junk.wav", "RIFF0000WAVEjunk");
    dl::play_wav_async(junk, [&] { ++ended; });
    EXPECT_EQ(ended, 2);

    QElapsedTimer sounding;
    sounding.start();
    dl::play_wav_async(std::string(DEWLARK_TEST_DATA) + "/../../data/kijun.wav", [&] { ++ended; });
    EXPECT_TRUE(dl::wav_playing()) << "the call returns while the tone sounds";
    EXPECT_EQ(ended, 2);
    // The loop comes back between its turns while the tone sounds: a loop held for the tone would
    // come back only once it was over, however fast the machine.
    int turns_while_sounding = 0;
    while (dl::wav_playing() && sounding.elapsed() < dl_test::kPatienceMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        turns_while_sounding += dl::wav_playing();
        QTest::qSleep(2);
    }
    ASSERT_FALSE(dl::wav_playing());
    EXPECT_GE(sounding.elapsed(), 700) << "the tone lasts 0.8 s";
    EXPECT_GE(turns_while_sounding, 2);
    EXPECT_EQ(ended, 3);

    // A second tone cuts the first one short, which counts as its end; a stopped one tells nobody.
    dl::play_wav_async(std::string(DEWLARK_TEST_DATA) + "/../../data/kijun.wav", [&] { ++ended; });
    dl::play_wav_async(std::string(DEWLARK_TEST_DATA) + "/../../data/kijun.wav", [&] { ended += 10; });
    EXPECT_EQ(ended, 4);
    dl::stop_wav();
    EXPECT_FALSE(dl::wav_playing());
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 4);
}

}  // namespace
