#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/audio_system.h"
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

TEST(AudioSystemTest, TheReferenceTonePlaysToItsEndAndAMissingFileIsSilent) {
    const uint32_t t0 = dl::time_get_time();
    dl::play_wav_sync(dl_test::temp_dir() + "/missing.wav");
    EXPECT_LT(dl::time_get_time() - t0, 100u);
    const std::string junk = dl_test::write_file("junk.wav", "RIFF0000WAVEjunk");
    dl::play_wav_sync(junk);
    const uint32_t t1 = dl::time_get_time();
    dl::play_wav_sync(std::string(DEWLARK_TEST_DATA) + "/../../data/kijun.wav");
    // The tone lasts 0.8 s and the call returns when it has ended.
    EXPECT_GE(dl::time_get_time() - t1, 700u);
    EXPECT_LT(dl::time_get_time() - t1, 4000u);
}

}  // namespace
