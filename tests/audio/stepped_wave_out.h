#pragma once
// An output device on the test's clock: the listener hears what was written only as far as the test
// moves it on, and each buffer comes back once all of it has been heard, as from a sound card that
// never falls behind. A play on it gives the same ticks and pictures however busy the machine is.
#include <algorithm>
#include <cstdint>
#include <deque>

#include "platform/wave_out.h"

namespace play_test {

class SteppedWaveOut : public dl::WaveOut {
public:
    SteppedWaveOut(Done done, uint32_t bytes_per_second) : done_(std::move(done)), bps_(bytes_per_second) {}

    int write(dl::WaveHeader& h, int index) override {
        if (!h.prepared) return dl::kWaveUnprepared;
        if (closed_) return dl::kWaveError;
        written_ += h.length;
        queue_.push_back({index, written_});
        return dl::kWaveOk;
    }
    int reset() override {
        while (!queue_.empty()) give_back();
        written_ = heard_ = 0;
        return dl::kWaveOk;
    }
    int get_position(dl::DevicePosition& p) override {
        p = {dl::PositionType::Bytes, uint32_t(heard_)};
        return dl::kWaveOk;
    }
    int close() override {
        if (!queue_.empty()) return dl::kWaveStillPlaying;
        closed_ = true;
        return dl::kWaveOk;
    }
    uint32_t bytes_per_second() const override { return bps_; }

    // The listener hears `bytes` more, no further than what was written; what is wholly heard comes back.
    void hear(uint64_t bytes) {
        heard_ = std::min(heard_ + bytes, written_);
        while (!queue_.empty() && queue_.front().end <= heard_) give_back();
    }
    uint64_t heard() const { return heard_; }

private:
    struct Queued {
        int index;
        uint64_t end;  // bytes written up to its end
    };
    void give_back() {
        const int index = queue_.front().index;
        queue_.pop_front();
        done_(index);
    }

    Done done_;
    uint32_t bps_;
    std::deque<Queued> queue_;
    uint64_t written_ = 0, heard_ = 0;
    bool closed_ = false;
};

}  // namespace play_test
