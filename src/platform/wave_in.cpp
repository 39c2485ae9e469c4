#include "platform/wave_in.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <new>

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

    // Captured bytes go into the buffers in the order they were added; with none waiting they are
    // lost, as on any device whose owner falls behind.
    void take(const Uint8* stream, int len) {
        std::lock_guard lock(m_);
        if (!recording_) return;
        captured_ += uint64_t(len);
        int pos = 0;
        while (pos < len && !queue_.empty()) {
            WaveHeader& h = *queue_.front().header;
            const uint32_t n = std::min<uint32_t>(uint32_t(len - pos), h.length - h.recorded);
            if (n) std::memcpy(h.data + h.recorded, stream + pos, n);
            h.recorded += n;
            pos += int(n);
            if (h.recorded >= h.length) {
                data_(queue_.front().index);
                queue_.pop_front();
            }
        }
    }

    Data data_;
    sdl::PcmFormat format_;
    sdl::Device device_;
    std::mutex m_;
    std::deque<Entry> queue_;
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
