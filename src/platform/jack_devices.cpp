#include "platform/jack_devices.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/capture_queue.h"
#include "platform/pulse_devices.h"
#include "platform/queued_wave_in.h"
#include "platform/spsc_ring.h"

namespace dl::jack {

namespace {

int g_in_use = -1;

SDL_AudioFormat sdl_format(const sdl::PcmFormat& f) { return f.bits == 16 ? AUDIO_S16LSB : AUDIO_U8; }

// A client with one port per channel, connected to the system's ports, running until it goes.
class Client {
public:
    ~Client() { close(); }
    // `playback`: ports that send sound out; else ports that take it in.
    bool open(bool playback, int channels, JackProcessCallback process, void* self) {
        jack_status_t status;
        client_ = jack_client_open("dewlark", JackNoStartServer, &status);
        if (!client_) return false;
        jack_on_shutdown(client_, &Client::on_shutdown, this);
        for (int c = 0; c < channels; ++c) {
            const std::string name = (playback ? "out_" : "in_") + std::to_string(c + 1);
            jack_port_t* p = jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                                playback ? JackPortIsOutput : JackPortIsInput, 0);
            if (!p) return false;
            ports_.push_back(p);
        }
        jack_set_process_callback(client_, process, self);
        if (jack_activate(client_) != 0) return false;
        // The system's own ports to begin with; the user routes them as wanted.
        const char** system = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                             JackPortIsPhysical | (playback ? JackPortIsInput : JackPortIsOutput));
        for (size_t c = 0; system && system[c] && c < ports_.size(); ++c) {
            const char* ours = jack_port_name(ports_[c]);
            if (playback) jack_connect(client_, ours, system[c]);
            else jack_connect(client_, system[c], ours);
        }
        // A mono stream sounds on both sides.
        if (playback && system && ports_.size() == 1 && system[0] && system[1])
            jack_connect(client_, jack_port_name(ports_[0]), system[1]);
        if (system) jack_free(system);
        return true;
    }
    void close() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
        ports_.clear();
    }
    bool gone() const { return gone_.load(); }
    uint32_t rate() const { return client_ ? jack_get_sample_rate(client_) : 0; }
    uint32_t period() const { return client_ ? jack_get_buffer_size(client_) : 0; }
    const std::vector<jack_port_t*>& ports() const { return ports_; }
    // Frames between the ports and the ear (playback) or the microphone (capture).
    uint32_t latency(bool playback) const {
        if (ports_.empty()) return 0;
        jack_latency_range_t range{};
        jack_port_get_latency_range(ports_[0], playback ? JackPlaybackLatency : JackCaptureLatency, &range);
        return range.max;
    }

private:
    static void on_shutdown(void* self) { static_cast<Client*>(self)->gone_.store(true); }
    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> ports_;
    std::atomic<bool> gone_{false};
};

// Playback: each buffer is converted to the server's float frames as it is written and comes back
// once the server has taken them all.
class JackWaveOut final : public WaveOut {
public:
    JackWaveOut(Done done, const sdl::PcmFormat& f)
        : done_(std::move(done)), format_(f), worker_(false, [this] { report_taken(); }) {}
    ~JackWaveOut() override {
        client_.close();
        worker_.stop();
        if (convert_) SDL_FreeAudioStream(convert_);
    }

    int open(const DeviceChoice& choice) {
        if (!client_.open(true, format_.channels, &JackWaveOut::process, this)) return kWaveBadDeviceId;
        rate_ = client_.rate();
        convert_ = SDL_NewAudioStream(sdl_format(format_), Uint8(format_.channels), int(format_.rate), AUDIO_F32SYS,
                                      Uint8(format_.channels), int(rate_));
        if (!convert_ || rate_ == 0) return kWaveBadFormat;
        // Two seconds of the server's frames and what the program keeps queued, and the callback's
        // own room for one period.
        const double queued_seconds = double(choice.queued_bytes) / std::max<uint32_t>(bytes_per_second(), 1);
        frames_ = std::make_unique<SpscRing<float>>(size_t((2.0 + queued_seconds) * rate_) * size_t(format_.channels));
        scratch_.assign(size_t(std::max<uint32_t>(client_.period(), 4096)) * size_t(format_.channels), 0.0f);
        note_output_period(int(client_.period()));
        ready_.store(true, std::memory_order_release);
        watch_.start([this] { return client_.gone(); }, choice.lost);
        return kWaveOk;
    }

    int write(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        if (client_.gone()) return kWaveError;
        const bool last = (h.user & kLastBufferMark) != 0;
        std::lock_guard lock(m_);
        put_bytes_ += h.length;
        SDL_AudioStreamPut(convert_, h.data, int(h.length));
        if (last) SDL_AudioStreamFlush(convert_);
        waiting_.push_back({index, put_bytes_, last});
        move_converted();
        return kWaveOk;
    }

    int reset() override {
        std::lock_guard lock(m_);
        for (const Pending& p : waiting_) done_(p.index);
        waiting_.clear();
        // What the callback has not taken yet is dropped by the next callbacks.
        drop_.store(pushed_, std::memory_order_release);
        SDL_AudioStreamClear(convert_);
        held_at_ = held_n_ = 0;
        base_ = pushed_;
        put_bytes_ = 0;
        return kWaveOk;
    }

    int get_position(DevicePosition& p) override { return position_from_heard(p); }

    bool heard_position(uint64_t& bytes) override {
        const uint64_t all = taken_.load();
        const uint64_t taken = all > base_ ? all - base_ : 0;
        const uint64_t frames = taken / uint64_t(format_.channels);
        const uint64_t latency = client_.latency(true);
        const uint64_t heard = frames > latency ? frames - latency : 0;
        bytes = heard * format_.rate / std::max<uint32_t>(rate_, 1) * format_.block_align;
        return true;
    }

    int close() override {
        {
            std::lock_guard lock(m_);
            if (!waiting_.empty()) return kWaveStillPlaying;
        }
        client_.close();
        worker_.stop();
        return kWaveOk;
    }

    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    struct Pending {
        int index;
        uint64_t end;  // the program's bytes put in up to its end
        bool last;
    };

    // The server's thread: no lock, no allocation, no waiting.
    static int process(jack_nframes_t n, void* self) {
        auto* me = static_cast<JackWaveOut*>(self);
        const size_t channels = me->client_.ports().size();
        if (!me->ready_.load(std::memory_order_acquire)) {
            // Silence until the ring is there.
            for (jack_port_t* port : me->client_.ports())
                std::memset(jack_port_get_buffer(port, n), 0, sizeof(float) * n);
            return 0;
        }
        const size_t want = std::min(size_t(n) * channels, me->scratch_.size());
        // What a reset left behind is not played.
        const uint64_t drop = me->drop_.load(std::memory_order_acquire);
        uint64_t taken = me->taken_.load(std::memory_order_relaxed);
        if (drop > taken) {
            taken += me->frames_->pop(me->scratch_.data(), size_t(std::min<uint64_t>(drop - taken, want)));
        }
        const size_t got = drop > taken ? 0 : me->frames_->pop(me->scratch_.data(), want);
        taken += got;
        me->taken_.store(taken, std::memory_order_release);
        if (got < want && got > 0) count_output_wait();
        for (size_t c = 0; c < channels; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(me->client_.ports()[c], n));
            for (jack_nframes_t k = 0; k < n; ++k) {
                const size_t at = size_t(k) * channels + c;
                out[k] = at < got ? me->scratch_[at] : 0.0f;
            }
        }
        me->worker_.wake();
        return 0;
    }

    // With m_ held: what the converter has ready goes into the ring, as far as there is room (the
    // worker goes on once the server has taken some).
    void move_converted() {
        for (;;) {
            if (held_at_ == held_n_) {
                const int got = SDL_AudioStreamGet(convert_, held_, int(sizeof held_));
                if (got <= 0) return;
                held_n_ = size_t(got) / sizeof(float);
                held_at_ = 0;
            }
            const size_t n = frames_->push(held_ + held_at_, held_n_ - held_at_);
            held_at_ += n;
            pushed_ += n;
            if (held_at_ < held_n_) return;
        }
    }

    // A buffer comes back once the server has taken the sound made of it; the last one once it has
    // taken everything.
    void report_taken() {
        std::lock_guard lock(m_);
        move_converted();
        const uint64_t all = taken_.load(std::memory_order_acquire);
        const uint64_t taken = all > base_ ? all - base_ : 0;
        const double channels = double(std::max(format_.channels, 1));
        const uint64_t taken_bytes =
            uint64_t(taken / channels * format_.rate / std::max<uint32_t>(rate_, 1)) * format_.block_align;
        const bool drained = all >= pushed_ && held_at_ == held_n_ && SDL_AudioStreamAvailable(convert_) == 0;
        while (!waiting_.empty() && (waiting_.front().last ? drained : waiting_.front().end <= taken_bytes)) {
            done_(waiting_.front().index);
            waiting_.pop_front();
        }
    }

    Done done_;
    sdl::PcmFormat format_;
    Client client_;
    uint32_t rate_ = 0;
    SDL_AudioStream* convert_ = nullptr;  // user-interface thread
    std::unique_ptr<SpscRing<float>> frames_;  // user-interface thread to the server's
    std::vector<float> scratch_;          // the server's thread
    // With m_ held (the user-interface thread or the worker):
    uint64_t put_bytes_ = 0;  // the program's bytes put into the converter since the start
    uint64_t pushed_ = 0;     // float samples into the ring
    uint64_t base_ = 0;       // pushed_ at the last reset
    float held_[1024];        // converted, not yet in the ring
    size_t held_at_ = 0, held_n_ = 0;
    std::atomic<uint64_t> taken_{0};
    std::atomic<uint64_t> drop_{0};
    std::atomic<bool> ready_{false};
    std::mutex m_;  // the worker against the user-interface thread
    std::deque<Pending> waiting_;
    sdl::LossWatch watch_;
    sdl::CallbackWorker worker_;  // last: it starts running at once
};

// Capture: the server's float frames go into a ring; a worker converts them to the program's
// format and hands them to the buffers.
class JackWaveIn final : public QueuedWaveIn {
public:
    JackWaveIn(Data data, const sdl::PcmFormat& f)
        : QueuedWaveIn(std::move(data), f), worker_(true, [this] { convert(); }) {}
    ~JackWaveIn() override {
        client_.close();
        worker_.stop();
        queue_.stop_worker();
        if (convert_) SDL_FreeAudioStream(convert_);
    }

    int open(const DeviceChoice& choice) {
        if (!client_.open(false, format_.channels, &JackWaveIn::process, this)) return kWaveNoDriver;
        const uint32_t rate = client_.rate();
        convert_ = SDL_NewAudioStream(AUDIO_F32SYS, Uint8(format_.channels), int(rate), sdl_format(format_),
                                      Uint8(format_.channels), int(format_.rate));
        if (!convert_ || rate == 0) return kWaveBadFormat;
        frames_ = std::make_unique<SpscRing<float>>(size_t(rate) * 2 * size_t(format_.channels));
        scratch_.assign(size_t(std::max<uint32_t>(client_.period(), 4096)) * size_t(format_.channels), 0.0f);
        watch_.start([this] { return client_.gone(); }, choice.lost);
        return kWaveOk;
    }

    int start() override {
        recording_.store(true);
        queue_.set_recording(true);
        return kWaveOk;
    }
    int reset() override {
        recording_.store(false);
        queue_.reset();
        return kWaveOk;
    }
    int close() override {
        if (!queue_.close()) return kWaveStillPlaying;
        client_.close();
        worker_.stop();
        queue_.stop_worker();
        return kWaveOk;
    }

private:
    // The server's thread: interleaves what came in into the ring; no lock, no allocation, no waiting.
    static int process(jack_nframes_t n, void* self) {
        auto* me = static_cast<JackWaveIn*>(self);
        if (!me->recording_.load(std::memory_order_acquire)) return 0;
        const size_t channels = me->client_.ports().size();
        const size_t frames = std::min<size_t>(n, me->scratch_.size() / std::max<size_t>(channels, 1));
        for (size_t c = 0; c < channels; ++c) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(me->client_.ports()[c], n));
            for (size_t k = 0; k < frames; ++k) me->scratch_[k * channels + c] = in[k];
        }
        const size_t kept = me->frames_->push(me->scratch_.data(), frames * channels) / std::max<size_t>(channels, 1);
        // Frames the worker had no room for, and those beyond the scratch: time without sound.
        if (kept < n) me->dropped_frames_.fetch_add(n - kept, std::memory_order_relaxed);
        me->worker_.wake();
        return 0;
    }

    void convert() {
        float block[1024];
        uint8_t out[4096];
        // Told where the worker stands, after the sound it has converted so far.
        if (const uint64_t dropped = dropped_frames_.exchange(0, std::memory_order_relaxed); dropped > 0)
            queue_.take_lost(size_t(double(dropped) * format_.rate / std::max<uint32_t>(client_.rate(), 1)) *
                             format_.block_align);
        for (size_t n; (n = frames_->pop(block, 1024)) > 0;) {
            SDL_AudioStreamPut(convert_, block, int(n * sizeof(float)));
            for (int got; (got = SDL_AudioStreamGet(convert_, out, int(sizeof out / format_.block_align * format_.block_align))) > 0;)
                queue_.take(out, size_t(got));
        }
    }

    Client client_;
    SDL_AudioStream* convert_ = nullptr;  // the worker's
    std::unique_ptr<SpscRing<float>> frames_;  // the server's thread to the worker
    std::vector<float> scratch_;          // the server's thread
    std::atomic<bool> recording_{false};
    std::atomic<uint64_t> dropped_frames_{0};  // the server's thread to the worker
    sdl::LossWatch watch_;
    sdl::CallbackWorker worker_;  // last: it starts running at once
};

bool server_answers() {
    jack_status_t status;
    jack_client_t* probe = jack_client_open("dewlark", JackNoStartServer, &status);
    if (!probe) return false;
    jack_client_close(probe);
    return true;
}

}  // namespace

bool in_use() {
    if (g_in_use < 0) {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        const bool asked = driver && std::strcmp(driver, "jack") == 0;
        const bool unnamed = !driver || !*driver;
        g_in_use = (asked || (unnamed && !pulse::in_use())) && server_answers();
    }
    return g_in_use == 1;
}

void forget() { g_in_use = -1; }

std::vector<std::string> device_names() { return {kDeviceName}; }

int open_output(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                const DeviceChoice& choice) {
    return sdl::open_wave_device<JackWaveOut>(format, std::move(done), out, choice);
}

int open_input(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
               const DeviceChoice& choice) {
    return sdl::open_wave_device<JackWaveIn>(format, std::move(data), out, choice);
}

int query_input(const sdl::PcmFormat& f, const DeviceChoice&) {
    if (f.channels < 1 || f.channels > 2) return kWaveBadFormat;
    return server_answers() ? kWaveOk : kWaveNoDriver;
}

}  // namespace dl::jack
