#pragma once
// What the SDL playback and capture devices share: opening by name, the PCM format, and the
// watch that notices a device the sound system has taken away.
#include <SDL.h>
#include <semaphore.h>

#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/wave_device.h"

namespace dl::sdl {

// The PCM format a device is opened with.
struct PcmFormat {
    int channels = 0;
    int bits = 0;
    uint32_t rate = 0;
    uint32_t block_align = 0;
};
// False unless the record is PCM the devices take as it is.
bool parse_format(const std::vector<uint8_t>& record, PcmFormat& out);

// Runs `lost` once, on the user-interface thread, when `gone` (asked there every 200 ms) says the
// device was taken away, or when the tests say every device open now was.
class LossWatch {
public:
    ~LossWatch() { stop(); }
    void start(std::function<bool()> gone, std::function<void()> lost);
    void stop();

private:
    std::unique_ptr<QTimer> timer_;
};

// Makes a playback or capture device of the format record (Dev(owner_hook, format), then
// open(choice)) and hands it to `out` once open. Returns the result code of the wave operations.
template <class Dev, class Base, class Hook>
int open_wave_device(const std::vector<uint8_t>& format, Hook hook, std::unique_ptr<Base>& out,
                     const DeviceChoice& choice) {
    out.reset();
    PcmFormat f;
    if (!parse_format(format, f)) return kWaveBadFormat;
    try {
        auto dev = std::make_unique<Dev>(std::move(hook), f);
        if (int rc = dev->open(choice); rc != kWaveOk) return rc;
        out = std::move(dev);
        return kWaveOk;
    } catch (const std::bad_alloc&) {
        return kWaveNoMemory;
    } catch (const std::system_error&) {  // no thread for the reports
        return kWaveNoMemory;
    }
}

// An opened SDL device, paused; closed when it goes.
class Device {
public:
    Device() = default;
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Opens the named device ("" the system's default) for the format, with a callback of about
    // `samples` frames. Returns the result code of the wave operations (kWaveOk when open).
    int open(const std::string& name, bool capture, const PcmFormat& f, int samples, SDL_AudioCallback callback,
             void* userdata);
    void resume();
    void pause();
    // Keeps the callback from running (waiting for one in progress) until unlock().
    void lock();
    void unlock();
    void close();
    bool is_open() const { return id_ != 0; }
    // Frames per callback as granted, and the silence byte.
    int samples() const { return samples_; }
    uint8_t silence() const { return silence_; }

    // `lost` runs once, on the user-interface thread, when the sound system stops the device.
    void watch(std::function<void()> lost);

private:
    SDL_AudioDeviceID id_ = 0;
    int samples_ = 0;
    uint8_t silence_ = 0;
    LossWatch watch_;
};

// A thread that runs `work` whenever a device's callback wakes it, and once more when it stops.
// Waking it never waits and never allocates, so the callback hands it what may do either (the
// reports to the owner of the device). It runs at the priority SDL gives the device's own thread,
// so that a busy machine delays the reports no more than the callback.
class CallbackWorker {
public:
    CallbackWorker(bool capture, std::function<void()> work);
    ~CallbackWorker() { stop(); }
    CallbackWorker(const CallbackWorker&) = delete;
    CallbackWorker& operator=(const CallbackWorker&) = delete;

    void wake() { sem_post(&wake_); }
    // Returns once the last run of `work` is over; the worker is not woken again.
    void stop();

private:
    std::function<void()> work_;
    sem_t wake_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// Frames per callback for a rate: about 23 ms.
int callback_frames(uint32_t rate);
// The same, but no more than half of `queued_frames` when that is known (powers of two, 64 at least).
int callback_frames(uint32_t rate, uint32_t queued_frames);

}  // namespace dl::sdl
