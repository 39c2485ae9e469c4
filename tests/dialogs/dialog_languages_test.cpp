// Every dialog in both languages: the English texts all English, the Japanese ones with no English
// word left (beyond the program's name, units and such), and no mnemonic twice in one dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "resources/dialog_templates.h"
#include "support/ui_texts.h"

namespace {

using dl_test::ascii_only;
using dl_test::has_latin_letter;
using dl_test::without_allowed_words;
using dl_test::mnemonic_of;

const std::vector<const dl::DialogTemplate*>& all_dialogs() {
    static const std::vector<const dl::DialogTemplate*> all = {&dl::option_template(),      &dl::record_port_template(),
                                                               &dl::about_template(),       &dl::voice_range_template(),
                                                               &dl::measure_template(),     &dl::range_template()};
    return all;
}

// What a text shows in the Japanese interface.
std::string japanese_of(const char* text, const char* japanese) { return japanese ? japanese : text ? text : ""; }



TEST(DialogLanguages, EnglishTextsAreEnglish) {
    for (const dl::DialogTemplate* d : all_dialogs()) {
        EXPECT_TRUE(ascii_only(d->caption)) << d->caption;
        for (const dl::ControlTemplate& c : d->controls)
            if (c.text) {
                EXPECT_TRUE(ascii_only(c.text)) << d->name << ": " << c.text;
            }
    }
}

TEST(DialogLanguages, JapaneseTextsLeaveNoEnglishWord) {
    for (const dl::DialogTemplate* d : all_dialogs()) {
        const std::string caption = japanese_of(d->caption, d->japanese_caption);
        EXPECT_FALSE(has_latin_letter(without_allowed_words(caption))) << d->name << ": " << caption;
        for (const dl::ControlTemplate& c : d->controls) {
            const std::string shown = japanese_of(c.text, c.japanese);
            EXPECT_FALSE(has_latin_letter(without_allowed_words(shown))) << d->name << ": " << shown;
        }
    }
}

TEST(DialogLanguages, NoMnemonicTwiceInADialog) {
    for (const bool japanese : {false, true}) {
        for (const dl::DialogTemplate* d : all_dialogs()) {
            std::set<char> seen;
            for (const dl::ControlTemplate& c : d->controls) {
                const std::string shown = japanese ? japanese_of(c.text, c.japanese) : c.text ? c.text : "";
                const char k = mnemonic_of(shown);
                if (k) {
                    EXPECT_TRUE(seen.insert(k).second) << d->name << ": " << shown << " repeats " << k;
                }
            }
        }
    }
}

}  // namespace
