#include "dialogs/record_port_dialog.h"

#include "dialog_fixture.h"
#include "platform/profile.h"
#include "platform/wave_format.h"
#include "platform/wave_in.h"
#include "resources/control_ids.h"
#include "state/hooks.h"

namespace {

using namespace dl::record_port_ids;

using dl_test::click;
using dl_test::when_dialog_shows;

// A capture device that answers the format check as the test says and remembers what was asked.
class RecordPortDialogTest : public dl_test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dl::WaveInFormatMask = 0xFFF;
        dl::OpenTestWaveIn = [this](const std::vector<uint8_t>& format, dl::WaveIn::Data, std::unique_ptr<dl::WaveIn>&) {
            asked_.push_back(format);
            return answer_;
        };
    }
    int answer_ = dl::kWaveOk;
    std::vector<std::vector<uint8_t>> asked_;
};

TEST_F(RecordPortDialogTest, TheButtonsSetTheFormatAndOkAsksTheDevice) {
    dl::Settings.freq = 11025;
    dl::Settings.channel = 2;
    dl::Settings.bits = 16;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.checked(k11));
        EXPECT_TRUE(d.checked(kStereo));
        EXPECT_TRUE(d.checked(k16));
        click(d, k44);
        EXPECT_EQ(dl::Settings.freq, 11025u) << "the settings change only with OK";
        EXPECT_FALSE(d.checked(k11));
        click(d, kMono);
        click(d, k8);
        EXPECT_TRUE(d.checked(k16) == false && d.checked(k8));
        dl_test::key(d, Qt::Key_Return);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 1);
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(dl::rd32(asked_[0], dl::kFmtRate), 44100u);
    EXPECT_EQ(dl::rd16(asked_[0], dl::kFmtChannels), 1);
    EXPECT_EQ(dl::rd16(asked_[0], dl::kFmtBits), 8);
    EXPECT_EQ(dl::rd16(asked_[0], dl::kFmtBlockAlign), 1);
    EXPECT_EQ(dl::rd32(asked_[0], dl::kFmtBytesPerSec), 44100u);
}

TEST_F(RecordPortDialogTest, ADeviceWithoutStereoGivesMonauralAndAGrayGroup) {
    dl::WaveInFormatMask = 0x555;
    dl::Settings.channel = 2;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.checked(kMono));
        EXPECT_FALSE(d.enabled(kChannelGroup));
        EXPECT_FALSE(d.enabled(kStereo));
        EXPECT_FALSE(d.enabled(kMono));
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 1);
    EXPECT_EQ(dl::Settings.channel, 1);
}

TEST_F(RecordPortDialogTest, WithoutFortyFourKilohertzTheRateStepsDownAndCancelPutsItBack) {
    dl::WaveInFormatMask = 0x0FF;
    dl::Settings.freq = 44100;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.checked(k22));
        EXPECT_FALSE(d.enabled(k44));
        EXPECT_TRUE(d.enabled(k22));
        EXPECT_EQ(dl::Settings.freq, 44100u) << "the settings change only with OK";
        dl_test::key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 0);
    EXPECT_EQ(dl::Settings.freq, 44100u);
}

TEST_F(RecordPortDialogTest, WithEightBitElevenKilohertzOnlyEverythingElseIsGray) {
    dl::WaveInFormatMask = 0x001;
    dl::Settings.freq = 22050;
    dl::Settings.bits = 16;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.checked(k11));
        for (int id : {kRateGroup, k44, k22, k11, kBitsGroup, k16, k8}) EXPECT_FALSE(d.enabled(id)) << id;
        EXPECT_TRUE(d.checked(k8));
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 1);
    EXPECT_EQ(dl::Settings.freq, 11025u);
    EXPECT_EQ(dl::Settings.bits, 8);
}

TEST_F(RecordPortDialogTest, ARateFromTheCommandLineShowsNoButtonAndIsUsedAsItIs) {
    dl::Settings.freq = 48000;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_FALSE(d.checked(k44) || d.checked(k22) || d.checked(k11));
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 1);
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(dl::rd32(asked_[0], dl::kFmtRate), 48000u);
}

TEST_F(RecordPortDialogTest, ARefusedFormatKeepsTheDialogOpen) {
    answer_ = dl::kWaveBadFormat;
    bool still_open = false;
    when_dialog_shows([&](dl::Dialog& d) {
        click(d, 1);
        still_open = dl::dialog_window(d)->isVisible();
        click(d, 2);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 0);
    EXPECT_TRUE(still_open);
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"No support this format"});
}

TEST_F(RecordPortDialogTest, AfterOkTheChosenFormatIsSavedAfterCancelTheEarlierChoiceStays) {
    const std::string ini = dl_test::use_temporary_profile() + "/dewlark.INI";
    auto saved = [&](const char* key) { return dl::get_profile_string("dewlark", key, "", 32, ini); };
    // The user's 16-bit stereo 44.1 kHz, fitted at the start to a device without 44.1 kHz.
    dl::Settings.bits = 16;
    dl::Settings.channel = 2;
    dl::Settings.freq = 44100;
    dl::WaveInFormatMask = 0x0FF;
    dl::fit_record_settings(dl::WaveInFormatMask);
    ASSERT_EQ(dl::Settings.freq, 22050u);

    when_dialog_shows([&](dl::Dialog& d) {
        click(d, kMono);
        dl_test::key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 0);
    dl::save_settings();
    EXPECT_EQ(saved("freq"), "44100");
    EXPECT_EQ(saved("channel"), "2");

    when_dialog_shows([&](dl::Dialog& d) {
        click(d, k11);
        click(d, kMono);
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_record_port_dialog(), 1);
    dl::save_settings();
    EXPECT_EQ(saved("freq"), "11025");
    EXPECT_EQ(saved("channel"), "1");
    EXPECT_EQ(saved("bits"), "16");
}

}  // namespace
