#include "platform/sdl_device.h"

#include <QCoreApplication>
#include <atomic>

#include "platform/audio_system.h"
#include "platform/device_open_error.h"
#include "platform/wave_format.h"
#include "platform/wave_device.h"

namespace dl {

namespace {
// Test hook: every device opened so far counts as taken away.
std::atomic<uint32_t> g_lost_generation{0};
}  // namespace

void simulate_audio_device_loss() { ++g_lost_generation; }

namespace sdl {

bool parse_format(const std::vector<uint8_t>& record, PcmFormat& out) {
    WaveFormat f;
    if (!parse_wave_format(record, f) || !is_device_pcm(f)) return false;
    out = {f.channels, f.bits, f.rate, f.block_align};
    return true;
}

int callback_frames(uint32_t rate) { return rate >= 32000 ? 1024 : rate >= 16000 ? 512 : 256; }

int callback_frames(uint32_t rate, uint32_t queued_frames) {
    int frames = callback_frames(rate);
    while (queued_frames && frames > 64 && uint32_t(frames) > queued_frames / 2) frames /= 2;
    return frames;
}

Device::~Device() { close(); }

int Device::open(const std::string& name, bool capture, const PcmFormat& f, int samples, SDL_AudioCallback callback,
                 void* userdata) {
    close();
    if (!audio_init()) return kWaveNoDriver;
    SDL_AudioSpec want{};
    want.freq = int(f.rate);
    want.format = f.bits == 16 ? AUDIO_S16LSB : AUDIO_U8;
    want.channels = Uint8(f.channels);
    want.samples = Uint16(samples);
    want.callback = callback;
    want.userdata = userdata;
    SDL_AudioSpec have{};
    // The device converts whatever the hardware lacks, so the callback always sees this format.
    id_ = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), capture ? 1 : 0, &want, &have, 0);
    if (id_ == 0) {
        // Read before counting the devices, which may set another error.
        const std::string why = SDL_GetError();
        return open_failure_code(why.c_str(), capture ? wave_in_device_count() : wave_out_device_count());
    }
    samples_ = have.samples;
    silence_ = have.silence;
    return kWaveOk;
}

void Device::resume() {
    if (id_) SDL_PauseAudioDevice(id_, 0);
}

void Device::pause() {
    if (id_) SDL_PauseAudioDevice(id_, 1);
}

void Device::lock() {
    if (id_) SDL_LockAudioDevice(id_);
}

void Device::unlock() {
    if (id_) SDL_UnlockAudioDevice(id_);
}

void Device::close() {
    watch_.stop();
    if (id_) SDL_CloseAudioDevice(id_);
    id_ = 0;
}

void LossWatch::stop() {
    // The watch may be what is closing the device: it goes once its timeout has returned.
    if (!timer_) return;
    timer_->stop();
    timer_.release()->deleteLater();
}

void LossWatch::start(std::function<bool()> gone, std::function<void()> lost) {
    stop();
    if (!lost || !QCoreApplication::instance()) return;
    timer_ = std::make_unique<QTimer>();
    const uint32_t opened_in = g_lost_generation.load();
    QTimer* timer = timer_.get();
    QObject::connect(timer, &QTimer::timeout, timer,
                     [opened_in, timer, gone = std::move(gone), lost = std::move(lost)] {
                         if (!gone() && g_lost_generation.load() == opened_in) return;
                         timer->stop();
                         lost();
                     });
    timer->start(200);
}

void Device::watch(std::function<void()> lost) {
    watch_.stop();
    if (!id_) return;
    // The sound system stops a device it lost (unplugged, server restarted) without calling back.
    const SDL_AudioDeviceID id = id_;
    watch_.start([id] { return SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED; }, std::move(lost));
}

CallbackWorker::CallbackWorker(bool capture, std::function<void()> work) : work_(std::move(work)) {
    sem_init(&wake_, 0, 0);
    thread_ = std::thread([this, capture] {
        SDL_SetThreadPriority(capture ? SDL_THREAD_PRIORITY_HIGH : SDL_THREAD_PRIORITY_TIME_CRITICAL);
        while (!stopping_.load(std::memory_order_acquire)) {
            while (sem_wait(&wake_) != 0) {}  // EINTR
            work_();
        }
    });
}

void CallbackWorker::stop() {
    if (!thread_.joinable()) return;
    stopping_.store(true, std::memory_order_release);
    wake();
    thread_.join();
    sem_destroy(&wake_);
}

}  // namespace sdl
}  // namespace dl
