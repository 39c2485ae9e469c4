// View › Spectrogram span, as the user meets it in the window.
#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "display/spectrogram.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"

namespace {

using dl_test::AppTest;
using Texts = std::vector<std::string>;

class SpectrogramMenuTest : public AppTest {};

TEST_F(SpectrogramMenuTest, ChoosingASpanRelabelsTheAxisAndIsKept) {
    dl::MainWindow& w = start();
    EXPECT_EQ(w.menu_text(dl::kCmdSpectrogramSpan), "Spectrogram spa&n");
    EXPECT_EQ(w.open_submenu(dl::kCmdSpectrogramSpan), (Texts{"2 s", "5 s", "10 s", "30 s", "60 s"}))
        << "a settings file without the span gets 10 s among the choices";
    w.choose_in_submenu(dl::kCmdSpectrogramSpan, 3);
    EXPECT_EQ(dl::Settings.spectrogram_span, 30);
    EXPECT_DOUBLE_EQ(dl::SpectrogramSpan(), 30);
    EXPECT_DOUBLE_EQ(dl::SpectrogramTimeLabels(dl::GraphWidth).back().seconds, -30) << "the axis spans the choice";
    dl::save_settings();
    EXPECT_NE(dl_test::read_file(profile_ + "/dewlark.INI").find("spectrogram_span=30\n"), std::string::npos);

    // A span typed into the settings file is offered beside the named ones.
    dl::Settings.spectrogram_span = 7;
    EXPECT_EQ(w.open_submenu(dl::kCmdSpectrogramSpan), (Texts{"2 s", "5 s", "10 s", "30 s", "60 s", "7 s"}));
    w.choose_in_submenu(dl::kCmdSpectrogramSpan, 9);  // past the end: nothing changes
    EXPECT_EQ(dl::Settings.spectrogram_span, 7);
}

TEST_F(SpectrogramMenuTest, SpeaksJapaneseInTheJapaneseInterface) {
    dl::MainWindow& w = start_in_japanese();
    EXPECT_EQ(w.open_submenu(dl::kCmdSpectrogramSpan).front(), "2 秒");
    end_in_english();
}

}  // namespace
