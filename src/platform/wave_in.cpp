#include "platform/wave_in.h"

#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "platform/capture_queue.h"
#include "platform/jack_devices.h"
#include "platform/pulse_devices.h"
#include "platform/queued_wave_in.h"
#include "platform/sdl_device.h"

namespace dl {

namespace {

// The device's callback hands what it captured to the queue, which fills the buffers.
class SdlWaveIn final : public QueuedWaveIn {
public:
    SdlWaveIn(Data data, const sdl::PcmFormat& f) : QueuedWaveIn(std::move(data), f) {}
    // The callback stops before the members it uses go.
    ~SdlWaveIn() override {
        device_.close();
        queue_.stop_worker();
    }

    int open(const DeviceChoice& choice) {
        const int rc = device_.open(choice.name, true, format_, sdl::callback_frames(format_.rate),
                                    &SdlWaveIn::callback, this);
        if (rc != kWaveOk) return rc;
        queue_.set_clock(clock_of_driver());
        device_.watch(choice.lost);
        return kWaveOk;
    }

    int start() override {
        if (!device_.is_open()) return kWaveError;
        queue_.set_recording(true);
        device_.resume();
        return kWaveOk;
    }

    int reset() override {
        device_.pause();  // waits for a callback in progress
        queue_.reset();
        return kWaveOk;
    }

    int close() override {
        if (!device_.is_open()) return kWaveError;
        if (!queue_.close()) return kWaveStillPlaying;
        device_.close();
        queue_.stop_worker();
        return kWaveOk;
    }

private:
    // The disk driver reads a file and the dummy driver makes silence, each at its own pace: neither
    // has a clock of its own to fall behind, so only what the program cannot keep is a gap there.
    static CaptureQueue::Clock clock_of_driver() {
        const char* driver = SDL_GetCurrentAudioDriver();
        if (driver && (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0)) return nullptr;
        return CaptureQueue::steady_seconds;
    }

    static void callback(void* self, Uint8* stream, int len) {
        static_cast<SdlWaveIn*>(self)->queue_.take(stream, size_t(len));
    }

    sdl::Device device_;
};

}  // namespace

int wave_in_query(const std::vector<uint8_t>& format, const DeviceChoice& choice) {
    sdl::PcmFormat f;
    if (!sdl::parse_format(format, f)) return kWaveBadFormat;
    if (pulse::in_use()) return pulse::query_input(f, choice);
    if (jack::in_use()) return jack::query_input(f, choice);
    sdl::Device probe;
    return probe.open(choice.name, true, f, sdl::callback_frames(f.rate), nullptr, nullptr);
}

int wave_in_open(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
                 const DeviceChoice& choice) {
    if (pulse::in_use()) return pulse::open_input(format, std::move(data), out, choice);
    if (jack::in_use()) return jack::open_input(format, std::move(data), out, choice);
    return sdl::open_wave_device<SdlWaveIn>(format, std::move(data), out, choice);
}

}  // namespace dl
