// View › Tuner partial, as the user meets it in the window.
#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/tuner_menu.h"
#include "resources/command_ids.h"
#include "state/settings.h"

namespace {

using dl_test::AppTest;
using Texts = std::vector<std::string>;

class TunerMenuTest : public AppTest {};

TEST_F(TunerMenuTest, ChoosingAPartialIsKept) {
    dl::MainWindow& w = start();
    EXPECT_EQ(w.menu_text(dl::kCmdTunerPartial), "Tuner &partial");
    EXPECT_EQ(w.open_submenu(dl::kCmdTunerPartial), (Texts{"1 (fundamental)", "2", "3", "4", "5", "6", "7", "8"}));
    w.choose_in_submenu(dl::kCmdTunerPartial, 3);
    EXPECT_EQ(dl::Settings.tuner_partial, 4);
    // The choice is the one marked when the list opens again.
    std::vector<dl::SubmenuEntry> entries = dl::TunerSubmenu(dl::kCmdTunerPartial);
    ASSERT_EQ(entries.size(), 8u);
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].checked, i == 3) << i;
    w.choose_in_submenu(dl::kCmdTunerPartial, 8);  // past the end: nothing changes
    w.choose_in_submenu(dl::kCmdTunerPartial, -1);
    EXPECT_EQ(dl::Settings.tuner_partial, 4);
    dl::save_settings();
    EXPECT_NE(dl_test::read_file(profile_ + "/dewlark.INI").find("tuner_partial=4\n"), std::string::npos);
}

TEST_F(TunerMenuTest, SpeaksJapaneseInTheJapaneseInterface) {
    dl::MainWindow& w = start_in_japanese();
    EXPECT_EQ(w.menu_text(dl::kCmdTunerPartial), "チューナーの部分音(&P)");
    EXPECT_EQ(w.open_submenu(dl::kCmdTunerPartial).front(), "1 (基音)");
    end_in_english();
}

}  // namespace
