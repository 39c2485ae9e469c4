#include "dialogs/about_box.h"
#include "dialogs/voice_range_dialog.h"

#include "dialog_fixture.h"
#include "platform/audio_system.h"
#include "resources/control_ids.h"

namespace {

namespace about = dl::about_ids;
namespace voice = dl::voice_range_ids;

using dl_test::click;
using dl_test::when_dialog_shows;

class AboutBoxTest : public dl_test::DialogTest {};

TEST_F(AboutBoxTest, ShowsTheVersionTheWordSizeAndTheDeviceCounts) {
    std::string name, word, devices, build;
    when_dialog_shows([&](dl::Dialog& d) {
        name = label(d, about::kName);
        word = label(d, about::kWordSize);
        devices = label(d, about::kDevices);
        build = label(d, about::kBuild);
        dl_test::key(d, Qt::Key_Return);
    });
    EXPECT_EQ(dl::RunAboutBox(), 1);
    // The version --version prints.
    EXPECT_EQ(name, "dewlark Version " DEWLARK_VERSION);
    EXPECT_EQ(word, sizeof(void*) == 8 ? "64 bits" : "32 bits");
    EXPECT_EQ(devices, "record device= 1  play device= 1");  // the dummy driver's two devices
    EXPECT_EQ(build, "built " DEWLARK_BUILD_DATE);
}

TEST_F(AboutBoxTest, WithoutDevicesBothCountsAreZeroPaddedToTwo) {
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::string devices;
    when_dialog_shows([&](dl::Dialog& d) {
        devices = label(d, about::kDevices);
        dl_test::key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl::RunAboutBox(), 1);
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(devices, "record device= 0  play device= 0");
    dl::JapaneseUi = true;
    EXPECT_EQ(dl::DeviceCountLine(0, 12), "録音ﾃﾞﾊﾞｲｽ= 0個  再生ﾃﾞﾊﾞｲｽ=12個");
}

class VoiceRangeTest : public dl_test::DialogTest {};

TEST_F(VoiceRangeTest, SpeaksTheLanguageOfTheInterface) {
    for (bool japanese : {false, true}) {
        dl::JapaneseUi = japanese;
        std::vector<std::string> texts;
        when_dialog_shows([&](dl::Dialog& d) {
            texts = {dl::dialog_window(d)->windowTitle().toStdString(), d.text(voice::kVoiceGroup), d.text(voice::kMale),
                     d.text(voice::kWomanOrChild)};
            dl_test::key(d, Qt::Key_Escape);
        });
        dl_test::run_voice_range_dialog();
        const std::vector<std::string> expected =
            japanese ? std::vector<std::string>{"設定", "声域", "成人男性", "女性｜子ども"}
                     : std::vector<std::string>{"Voice range", "Voice", "Adult male", "Woman or child"};
        EXPECT_EQ(texts, expected);
    }
    dl::JapaneseUi = false;
}

TEST_F(VoiceRangeTest, NoChoiceLeavesTheRangeUnsetAndAChoiceStoresIt) {
    dl::Settings.sex = 0;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_EQ(dl::dialog_window(d)->windowTitle().toStdString(), "Voice range");
        EXPECT_FALSE(d.checked(voice::kMale));
        EXPECT_FALSE(d.checked(voice::kWomanOrChild));
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_voice_range_dialog(), 1);
    EXPECT_EQ(dl::Settings.sex, 0);

    when_dialog_shows([&](dl::Dialog& d) {
        click(d, voice::kWomanOrChild);
        click(d, 1);
    });
    dl_test::run_voice_range_dialog();
    EXPECT_EQ(dl::Settings.sex, 2);

    // Cancel keeps what was there, whatever was clicked.
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.checked(voice::kWomanOrChild));
        click(d, voice::kMale);
        click(d, 2);
    });
    EXPECT_EQ(dl_test::run_voice_range_dialog(), 1);
    EXPECT_EQ(dl::Settings.sex, 2);
}

// With nothing chosen the keyboard starts on the choices: Down picks the second, Enter takes it.
// Asked for the pointer, a line under the choices says what singing will do; otherwise there is none.
TEST_F(VoiceRangeTest, TheKeyboardChoosesAndThePointerAskSaysWhatSingingDoes) {
    for (bool japanese : {false, true}) {
        dl::JapaneseUi = japanese;
        dl::Settings.sex = 0;
        std::string purpose;
        when_dialog_shows([&](dl::Dialog& d) {
            purpose = label(d, voice::kPurpose);
            dl_test::key(d, Qt::Key_Down);
            dl_test::key(d, Qt::Key_Return);
        });
        EXPECT_EQ(dl_test::run_voice_range_dialog_for_pointer(), 1);
        EXPECT_EQ(dl::Settings.sex, 2) << "Down, Enter";
        EXPECT_EQ(purpose, japanese ? "歌う音でポインタが動きます。" : "Notes you sing will move the pointer.");
    }
    dl::JapaneseUi = false;
    bool has_purpose = true;
    when_dialog_shows([&](dl::Dialog& d) {
        has_purpose = dl_test::control(d, voice::kPurpose) != nullptr;
        dl_test::key(d, Qt::Key_Escape);
    });
    dl_test::run_voice_range_dialog();
    EXPECT_FALSE(has_purpose);
}

}  // namespace
