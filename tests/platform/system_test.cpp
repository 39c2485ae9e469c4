#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/message_box.h"
#include "platform/system.h"
#include "support/fake_clock.h"

namespace {

struct LocaleEnv {
    LocaleEnv() {
        for (const char* n : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* v = std::getenv(n);
            saved.emplace_back(n, v ? v : "");
            unsetenv(n);
        }
    }
    ~LocaleEnv() {
        for (auto& [n, v] : saved) {
            if (v.empty()) unsetenv(n.c_str());
            else setenv(n.c_str(), v.c_str(), 1);
        }
    }
    std::vector<std::pair<std::string, std::string>> saved;
};

TEST(SystemTest, TheFirstSetLocaleVariableDecidesJapanese) {
    LocaleEnv env;
    EXPECT_FALSE(dl::japanese_locale());
    setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_TRUE(dl::japanese_locale());
    setenv("LC_MESSAGES", "en_GB.UTF-8", 1);
    EXPECT_FALSE(dl::japanese_locale());
    setenv("LC_ALL", "ja", 1);
    EXPECT_TRUE(dl::japanese_locale());
    setenv("LC_ALL", "jam", 1);  // another language whose code starts with "ja"
    EXPECT_FALSE(dl::japanese_locale());
}

TEST(SystemTest, MessageBoxesGoToTheHookWhenOneIsInstalled) {
    std::vector<dl::MessageBoxRequest> seen;
    dl::set_message_box_hook([&](const dl::MessageBoxRequest& r) { seen.push_back(r); });
    dl::message_box({"cant open file", "", true, dl::MbIcon::Exclamation});
    dl::set_message_box_hook(nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "cant open file");
    EXPECT_EQ(seen[0].icon, dl::MbIcon::Exclamation);
}

// Milliseconds, measured against the steady clock around it rather than a guess at how long the
// sleep may take on a busy machine.
TEST(SystemTest, TheClockRunsInMilliseconds) {
    using std::chrono::steady_clock;
    const auto before = steady_clock::now();
    const uint32_t a = dl::time_get_time();
    dl::sleep_ms(15);
    const uint32_t b = dl::time_get_time();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - before).count();
    EXPECT_GE(b - a, 14u);
    EXPECT_LE(b - a, uint32_t(took) + 1);
}

// A clock installed in its place answers for it, and a sleep on it does not wait; removed, the
// steady clock is back.
TEST(SystemTest, AnInstalledClockStandsInForTheSteadyOne) {
    const auto before = std::chrono::steady_clock::now();
    {
        dl_test::FakeClock clock;
        const uint32_t start = dl::time_get_time();
        EXPECT_EQ(start, clock.now());
        dl::sleep_ms(60000);
        EXPECT_EQ(dl::time_get_time() - start, 60000u);
        clock.advance(5);
        EXPECT_EQ(dl::time_get_time() - start, 60005u);
        EXPECT_EQ(clock.slept(), 60000u);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(60)) << "the sleep waited";
    const uint32_t a = dl::time_get_time();
    dl::sleep_ms(15);
    EXPECT_GE(dl::time_get_time() - a, 14u);
}

}  // namespace
