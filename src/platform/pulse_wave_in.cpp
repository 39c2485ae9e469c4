#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <system_error>

#include "platform/capture_queue.h"
#include "platform/pulse_devices.h"
#include "platform/queued_wave_in.h"

namespace dl::pulse {

namespace {

constexpr int kLimitMs = 1500;
// The server hands over what it captured this often: a time slice's first row comes without delay.
constexpr uint32_t kFragmentMs = 10;

// A record stream on a source (a microphone or an output's monitor). "What the desktop plays" records
// the default output's monitor and moves to the next default's when the desktop changes it.
class PulseWaveIn final : public QueuedWaveIn {
public:
    PulseWaveIn(Data data, const sdl::PcmFormat& f) : QueuedWaveIn(std::move(data), f) {}
    ~PulseWaveIn() override { shut(); }

    int open(const DeviceChoice& choice) {
        connection_ = Connection::open(kLimitMs);
        if (!connection_) return kWaveNoDriver;
        const ServerView v = view(*connection_);
        if (!v.reached) return kWaveNoDriver;
        std::string source;
        if (!server_name(v, choice.name, true, source)) return kWaveBadDeviceId;
        follow_default_ = choice.name == kDesktopSound;

        Connection& c = *connection_;
        c.lock();
        const pa_sample_spec spec = sample_spec(format_);
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "dewlark");
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
        stream_ = pa_stream_new_with_proplist(c.context(), "dewlark", &spec, nullptr, props);
        pa_proplist_free(props);
        if (!stream_) {
            c.unlock();
            return kWaveBadFormat;
        }
        pa_stream_set_read_callback(stream_, &PulseWaveIn::on_read, this);
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = bytes_of_ms(format_, kFragmentMs);
        attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED |
                                             (follow_default_ ? PA_STREAM_NOFLAGS : PA_STREAM_DONT_MOVE));
        int rc = kWaveOk;
        if (pa_stream_connect_record(stream_, source.empty() ? nullptr : source.c_str(), &attr, flags) < 0 ||
            !c.wait_until([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; }, kLimitMs) ||
            pa_stream_get_state(stream_) != PA_STREAM_READY)
            rc = c.alive() ? kWaveBadDeviceId : kWaveNoDriver;
        if (rc == kWaveOk && follow_default_) {
            monitor_ = source;
            pa_context_set_subscribe_callback(c.context(), &PulseWaveIn::on_server_event, this);
            if (pa_operation* op = pa_context_subscribe(c.context(), PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
                pa_operation_unref(op);
        }
        c.unlock();
        if (rc != kWaveOk) return rc;
        watch_.start([this] { return gone(); }, choice.lost);
        return kWaveOk;
    }

    int start() override {
        if (!stream_) return kWaveError;
        queue_.set_recording(true);
        cork(false);
        return kWaveOk;
    }

    int reset() override {
        if (!stream_) return kWaveError;
        connection_->lock();
        queue_.reset();  // the read callback cannot run meanwhile
        if (pa_operation* op = pa_stream_cork(stream_, 1, nullptr, nullptr)) pa_operation_unref(op);
        if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(op);
        connection_->unlock();
        return kWaveOk;
    }

    int close() override {
        if (!stream_) return kWaveError;
        if (!queue_.close()) return kWaveStillPlaying;
        shut();
        return kWaveOk;
    }

private:
    void cork(bool on) {
        connection_->lock();
        if (pa_operation* op = pa_stream_cork(stream_, on ? 1 : 0, nullptr, nullptr)) pa_operation_unref(op);
        connection_->unlock();
    }

    // Asks nothing of the server and waits for nothing: a server that hangs lets us go all the same.
    void shut() {
        watch_.stop();
        if (connection_) {
            connection_->lock();
            if (stream_) {
                pa_stream_set_read_callback(stream_, nullptr, nullptr);
                pa_stream_disconnect(stream_);
                pa_stream_unref(stream_);
                stream_ = nullptr;
            }
            pa_context_set_subscribe_callback(connection_->context(), nullptr, nullptr);
            connection_->unlock();
            connection_.reset();
        }
        queue_.stop_worker();
    }

    bool gone() {
        connection_->lock();
        const bool failed = !connection_->alive() || pa_stream_get_state(stream_) != PA_STREAM_READY;
        connection_->unlock();
        return failed;
    }

    // The event thread: copies what came in, nothing more.
    static void on_read(pa_stream* s, size_t, void* self) {
        auto* me = static_cast<PulseWaveIn*>(self);
        const void* data = nullptr;
        size_t n = 0;
        while (pa_stream_peek(s, &data, &n) == 0 && n > 0) {
            if (data) me->queue_.take(static_cast<const uint8_t*>(data), n);
            else me->queue_.take_lost(n);  // a hole in the capture: time without sound
            pa_stream_drop(s);
        }
    }

    // The default output changed (or anything else of the server's): follow it to its monitor.
    static void on_server_event(pa_context* c, pa_subscription_event_type_t, uint32_t, void* self) {
        auto on_server = [](pa_context* c, const pa_server_info* i, void* self) {
            if (!i || !i->default_sink_name) return;
            auto on_sink = [](pa_context* c, const pa_sink_info* i, int eol, void* self) {
                auto* me = static_cast<PulseWaveIn*>(self);
                if (eol != 0 || !i || !i->monitor_source_name || !me->stream_) return;
                if (me->monitor_ == i->monitor_source_name) return;
                me->monitor_ = i->monitor_source_name;
                if (pa_operation* op = pa_context_move_source_output_by_name(c, pa_stream_get_index(me->stream_),
                                                                             i->monitor_source_name, nullptr, nullptr))
                    pa_operation_unref(op);
            };
            if (pa_operation* op = pa_context_get_sink_info_by_name(c, i->default_sink_name, on_sink, self))
                pa_operation_unref(op);
        };
        if (pa_operation* op = pa_context_get_server_info(c, on_server, self)) pa_operation_unref(op);
    }

    std::unique_ptr<Connection> connection_;
    pa_stream* stream_ = nullptr;
    bool follow_default_ = false;
    std::string monitor_;  // the event thread's, once open
    sdl::LossWatch watch_;
};

}  // namespace

pa_sample_spec sample_spec(const sdl::PcmFormat& f) {
    pa_sample_spec spec{};
    spec.format = f.bits == 16 ? PA_SAMPLE_S16LE : PA_SAMPLE_U8;
    spec.rate = f.rate;
    spec.channels = uint8_t(f.channels);
    return spec;
}

uint32_t bytes_of_ms(const sdl::PcmFormat& f, uint32_t ms) {
    const uint32_t align = f.block_align ? f.block_align : 1;
    const uint64_t frames = uint64_t(f.rate) * ms / 1000;
    return uint32_t(std::max<uint64_t>(frames, 1) * align);
}

int open_input(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
               const DeviceChoice& choice) {
    return sdl::open_wave_device<PulseWaveIn>(format, std::move(data), out, choice);
}

int query_input(const sdl::PcmFormat& f, const DeviceChoice& choice) {
    const pa_sample_spec spec = sample_spec(f);
    if (!pa_sample_spec_valid(&spec)) return kWaveBadFormat;
    PulseWaveIn probe([](int) {}, f);
    return probe.open({choice.name, nullptr, 0});
}

}  // namespace dl::pulse
