#pragma once
// A clock the test keeps in place of the steady one while it lives: time_get_time() reads it and
// sleep_ms() moves it on at once. What the program times (its paced waits, the level scan's
// tuning, how long a monitor runs) then comes out the same however busy the machine is.
#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/system.h"
#include "support/test_support.h"

namespace dl_test {

class FakeClock {
public:
    // `sound_ms`, when given, moves the clock on with the sound (the milliseconds heard so far), as
    // a machine that always keeps up would see it. Should the sound stop coming, the clock jumps a day
    // ahead once the test has waited kPatienceMs for it, so that nothing timed on it waits for ever.
    explicit FakeClock(std::function<uint32_t()> sound_ms = nullptr)
        : sound_ms_(std::move(sound_ms)), made_(std::chrono::steady_clock::now()) {
        dl::set_clock_hook({[this] { return now(); }, [this](int ms) { slept_ += uint32_t(ms > 0 ? ms : 0); }});
    }
    ~FakeClock() { dl::set_clock_hook({}); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    void advance(uint32_t ms) { moved_ += ms; }
    uint32_t now() const { return kStart + moved_ + slept_ + (sound_ms_ ? sound_ms_() + given_up() : 0); }
    // How long the program has waited on the clock.
    uint32_t slept() const { return slept_; }

private:
    uint32_t given_up() const {
        return std::chrono::steady_clock::now() - made_ > std::chrono::milliseconds(kPatienceMs) ? 86400000u : 0;
    }
    static constexpr uint32_t kStart = 1000;
    std::function<uint32_t()> sound_ms_;
    std::chrono::steady_clock::time_point made_;
    uint32_t moved_ = 0, slept_ = 0;
};

}  // namespace dl_test
