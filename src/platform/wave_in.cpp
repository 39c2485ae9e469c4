#include "platform/wave_in.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <vector>

#include "platform/sdl_device.h"

namespace dl {

namespace {

class SdlWaveIn final : public WaveIn {
public:
    SdlWaveIn(Data data, const sdl::PcmFormat& f) : data_(std::move(data)), format_(f) {}
    // The callback stops before the members it uses go.
    ~SdlWaveIn() override { device_.close(); }

    int open(const DeviceChoice& choice) {
        const int rc = device_.open(choice.name, true, format_, sdl::callback_frames(format_.rate),
                                    &SdlWaveIn::callback, this);
        if (rc != kWaveOk) return rc;
        device_.watch(choice.lost);
        return kWaveOk;
    }

    int add_buffer(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        std::lock_guard lock(m_);
        if (closing_) return kWaveError;
        h.recorded = 0;
        queue_.push_back({&h, index});
        // What came in while no buffer was waiting goes first.
        const size_t n = store(held_.data() + held_start_, held_size_);
        held_start_ += n;
        held_size_ -= n;
        return kWaveOk;
    }

    int start() override {
        if (!device_.is_open()) return kWaveError;
        {
            std::lock_guard lock(m_);
            recording_ = true;
        }
        device_.resume();
        return kWaveOk;
    }

    int reset() override {
        device_.pause();  // waits for a callback in progress
        std::lock_guard lock(m_);
        recording_ = false;
        for (const Entry& e : queue_) data_(e.index);
        queue_.clear();
        captured_ = 0;
        held_start_ = held_size_ = 0;
        return kWaveOk;
    }

    int get_position(DevicePosition& p) override {
        std::lock_guard lock(m_);
        p.type = PositionType::Bytes;
        p.value = uint32_t(captured_);
        return kWaveOk;
    }

    int close() override {
        if (!device_.is_open()) return kWaveError;
        {
            std::lock_guard lock(m_);
            if (!queue_.empty()) return kWaveStillPlaying;
            closing_ = true;
        }
        device_.close();
        return kWaveOk;
    }

    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    struct Entry {
        WaveHeader* header;
        int index;
    };

    static void callback(void* self, Uint8* stream, int len) { static_cast<SdlWaveIn*>(self)->take(stream, len); }

    // Captured bytes go into the buffers in the order they were added. A callback brings more
    // than small buffers hold, so what finds no buffer waits for the next one added; beyond a
    // second of it the oldest is lost, as on any device whose owner falls behind.
    void take(const Uint8* stream, int len) {
        std::lock_guard lock(m_);
        if (!recording_) return;
        captured_ += uint64_t(len);
        const size_t used = store(stream, size_t(len));
        hold(stream + used, size_t(len) - used);
    }

    // Fills the queued buffers in order; returns the bytes used. Called with m_ held.
    size_t store(const uint8_t* bytes, size_t len) {
        size_t pos = 0;
        while (pos < len && !queue_.empty()) {
            WaveHeader& h = *queue_.front().header;
            const uint32_t n = uint32_t(std::min<size_t>(len - pos, h.length - h.recorded));
            if (n) std::memcpy(h.data + h.recorded, bytes + pos, n);
            h.recorded += n;
            pos += n;
            if (h.recorded >= h.length) {
                data_(queue_.front().index);
                queue_.pop_front();
            }
        }
        return pos;
    }

    // Keeps bytes for the next buffer, at most a second's worth of whole frames. Called with m_ held.
    void hold(const uint8_t* bytes, size_t len) {
        if (len == 0) return;
        const size_t align = std::max<size_t>(format_.block_align, 1);
        const size_t cap = std::max<size_t>(format_.rate, 1) * align;
        if (held_.size() != cap) held_.assign(cap, 0);
        if (held_start_ > 0) {  // keep what waits at the front of the store
            std::memmove(held_.data(), held_.data() + held_start_, held_size_);
            held_start_ = 0;
        }
        if (len >= cap) {
            bytes += len - cap;
            len = cap;
            held_size_ = 0;
        } else if (held_size_ + len > cap) {
            const size_t drop = (held_size_ + len - cap + align - 1) / align * align;
            std::memmove(held_.data(), held_.data() + drop, held_size_ - drop);
            held_size_ -= drop;
        }
        std::memcpy(held_.data() + held_size_, bytes, len);
        held_size_ += len;
    }

    Data data_;
    sdl::PcmFormat format_;
    sdl::Device device_;
    std::mutex m_;
    std::deque<Entry> queue_;
    std::vector<uint8_t> held_;  // captured bytes no buffer took yet: [held_start_, + held_size_)
    size_t held_start_ = 0, held_size_ = 0;
    uint64_t captured_ = 0;
    bool recording_ = false;
    bool closing_ = false;
};

}  // namespace

int wave_in_query(const std::vector<uint8_t>& format, const DeviceChoice& choice) {
    sdl::PcmFormat f;
    if (!sdl::parse_format(format, f)) return kWaveBadFormat;
    sdl::Device probe;
    return probe.open(choice.name, true, f, sdl::callback_frames(f.rate), nullptr, nullptr);
}

int wave_in_open(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
                 const DeviceChoice& choice) {
    out.reset();
    sdl::PcmFormat f;
    if (!sdl::parse_format(format, f)) return kWaveBadFormat;
    try {
        auto dev = std::make_unique<SdlWaveIn>(std::move(data), f);
        if (int rc = dev->open(choice); rc != kWaveOk) return rc;
        out = std::move(dev);
        return kWaveOk;
    } catch (const std::bad_alloc&) {
        return kWaveNoMemory;
    }
}

}  // namespace dl
