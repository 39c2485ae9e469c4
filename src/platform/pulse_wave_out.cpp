#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/pulse_devices.h"
#include "platform/spsc_ring.h"

namespace dl::pulse {

namespace {

constexpr int kLimitMs = 1500;
// Sound the server holds ahead of the listener. A late buffer is bridged by it instead of being
// heard as a gap, and a play starts as soon as this much is there.
constexpr uint32_t kTargetLatencyMs = 100;
// What the server waits for before it starts or goes on after running dry.
constexpr uint32_t kStartMs = 40;
constexpr size_t kMaxQueued = 64;

// A playback stream. Buffers are copied to the server as it asks for sound and come back once
// copied (the server holds what the listener has not heard yet); the last one of a play comes back
// when the server has played it out, so that closing the device cuts nothing off.
class PulseWaveOut final : public WaveOut {
public:
    PulseWaveOut(Done done, const sdl::PcmFormat& f)
        : done_(std::move(done)), format_(f), frame_(std::max<uint32_t>(f.block_align, 1)), queued_(kMaxQueued),
          heard_(kMaxQueued + 1), worker_(false, [this] { report_heard(); }) {}
    ~PulseWaveOut() override {
        shut();
        worker_.stop();
    }

    int open(const DeviceChoice& choice) {
        connection_ = Connection::open(kLimitMs);
        if (!connection_) return kWaveBadDeviceId;
        const ServerView v = view(*connection_);
        std::string sink;
        if (!v.reached || !server_name(v, choice.name, false, sink)) return kWaveBadDeviceId;

        Connection& c = *connection_;
        c.lock();
        const pa_sample_spec spec = sample_spec(format_);
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "dewlark");
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
        stream_ = pa_stream_new_with_proplist(c.context(), "dewlark", &spec, nullptr, props);
        pa_proplist_free(props);
        if (!stream_) {
            c.unlock();
            return kWaveBadFormat;
        }
        pa_stream_set_write_callback(stream_, &PulseWaveOut::on_write, this);
        pa_stream_set_underflow_callback(stream_, &PulseWaveOut::on_underflow, this);
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.tlength = bytes_of_ms(format_, kTargetLatencyMs);
        attr.prebuf = bytes_of_ms(format_, kStartMs);
        attr.minreq = uint32_t(-1);
        attr.fragsize = uint32_t(-1);
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                             PA_STREAM_AUTO_TIMING_UPDATE |
                                             (sink.empty() ? PA_STREAM_NOFLAGS : PA_STREAM_DONT_MOVE));
        int rc = kWaveOk;
        if (pa_stream_connect_playback(stream_, sink.empty() ? nullptr : sink.c_str(), &attr, flags, nullptr,
                                       nullptr) < 0 ||
            !c.wait_until([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; }, kLimitMs) ||
            pa_stream_get_state(stream_) != PA_STREAM_READY)
            rc = kWaveError;
        if (rc == kWaveOk)
            if (const pa_buffer_attr* got = pa_stream_get_buffer_attr(stream_))
                note_output_period(int(got->minreq / frame_));
        c.unlock();
        if (rc != kWaveOk) return rc;
        watch_.start([this] { return gone(); }, choice.lost);
        return kWaveOk;
    }

    int write(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        if (!stream_ || written_ - reported_.load(std::memory_order_acquire) >= kMaxQueued) return kWaveError;
        queued_.push({h.data, h.length, index, (h.user & kLastBufferMark) != 0});
        ++written_;
        // The server asked for sound that was not there: give it now.
        if (starved_.exchange(false, std::memory_order_acq_rel)) {
            connection_->lock();
            const size_t room = pa_stream_writable_size(stream_);
            if (room != size_t(-1) && room > 0) fill(room);
            connection_->unlock();
        }
        return kWaveOk;
    }

    int reset() override {
        if (!stream_) return kWaveError;
        connection_->lock();  // the event thread's callbacks cannot run meanwhile
        {
            std::lock_guard lock(report_m_);
            heard_.drain([this](int index) { report(index); });
            if (draining_ >= 0) report(draining_);
            draining_ = -1;
            queued_.drain([this](const Entry& e) { report(e.index); });
        }
        if (drain_op_) {
            pa_operation_cancel(drain_op_);
            pa_operation_unref(drain_op_);
            drain_op_ = nullptr;
        }
        if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(op);
        taken_ = carry_ = 0;
        sent_.store(0);
        starved_.store(false);
        connection_->unlock();
        return kWaveOk;
    }

    int get_position(DevicePosition& p) override { return position_from_heard(p); }

    // What the listener hears now: what went to the server less what it still holds.
    bool heard_position(uint64_t& bytes) override {
        if (!stream_) return false;
        connection_->lock();
        const uint64_t sent = sent_.load(std::memory_order_relaxed);
        pa_usec_t usec = 0;
        int negative = 0;
        const uint64_t held =
            pa_stream_get_latency(stream_, &usec, &negative) == 0 && !negative ? pa_usec_to_bytes(usec, &spec()) : 0;
        connection_->unlock();
        bytes = sent > held ? (sent - held) / frame_ * frame_ : 0;
        return true;
    }

    int close() override {
        if (!stream_) return kWaveError;
        connection_->lock();
        const bool playing = !queued_.empty() || draining_ >= 0;
        connection_->unlock();
        if (playing) return kWaveStillPlaying;
        shut();
        std::lock_guard lock(report_m_);
        heard_.drain([this](int index) { report(index); });
        return kWaveOk;
    }

    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    struct Entry {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        int index = 0;
        bool last = false;
    };

    const pa_sample_spec& spec() {
        spec_ = sample_spec(format_);
        return spec_;
    }

    void report(int index) {
        done_(index);
        reported_.fetch_add(1, std::memory_order_release);
    }
    void report_heard() {
        std::lock_guard lock(report_m_);
        heard_.drain([this](int index) { report(index); });
    }

    // Leaves the server without asking it anything, so one that hangs cannot hold us.
    void shut() {
        watch_.stop();
        if (!connection_) return;
        connection_->lock();
        if (drain_op_) {
            pa_operation_cancel(drain_op_);
            pa_operation_unref(drain_op_);
            drain_op_ = nullptr;
        }
        if (stream_) {
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        connection_->unlock();
        connection_.reset();
    }

    bool gone() {
        connection_->lock();
        const bool failed = !connection_->alive() || pa_stream_get_state(stream_) != PA_STREAM_READY;
        connection_->unlock();
        return failed;
    }

    static void on_write(pa_stream*, size_t nbytes, void* self) { static_cast<PulseWaveOut*>(self)->fill(nbytes); }
    static void on_underflow(pa_stream*, void*) { count_output_wait(); }
    static void on_drained(pa_stream*, int, void* self) {
        auto* me = static_cast<PulseWaveOut*>(self);
        if (me->drain_op_) {
            pa_operation_unref(me->drain_op_);
            me->drain_op_ = nullptr;
        }
        if (me->draining_ < 0) return;
        const int index = me->draining_;
        me->heard_.push(index);
        me->draining_ = -1;
        me->worker_.wake();
    }

    // The event thread (or write() with its lock): copies what is queued, up to `want` bytes, to the
    // server, whole frames only. No lock of ours, no allocation, no waiting.
    void fill(size_t want) {
        want -= want % frame_;
        if (want == 0 || !stream_) return;
        void* buffer = nullptr;
        size_t size = want;
        if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || !buffer) return;
        size = std::min(size, want);
        size -= size % frame_;
        auto* out = static_cast<uint8_t*>(buffer);
        size_t pos = 0;
        std::memcpy(out, carry_bytes_, carry_);
        pos = carry_;
        carry_ = 0;
        bool handed_back = false;
        while (pos < size) {
            const Entry* e = queued_.front();
            if (!e) {
                starved_.store(true, std::memory_order_release);
                break;
            }
            const size_t n = std::min<size_t>(size - pos, e->length - taken_);
            std::memcpy(out + pos, e->data + taken_, n);
            pos += n;
            taken_ += uint32_t(n);
            if (taken_ < e->length) continue;
            taken_ = 0;
            if (e->last) {
                // Its part of a frame is filled with silence: it ends the sound.
                const size_t part = pos % frame_;
                if (part) {
                    std::memset(out + pos, format_.bits == 8 ? 128 : 0, frame_ - part);
                    pos += frame_ - part;
                }
                draining_ = e->index;
            } else {
                heard_.push(e->index);
                handed_back = true;
            }
            queued_.pop();
        }
        const size_t whole = pos - pos % frame_;
        carry_ = pos - whole;
        std::memcpy(carry_bytes_, out + whole, carry_);
        if (whole) {
            pa_stream_write(stream_, buffer, whole, nullptr, 0, PA_SEEK_RELATIVE);
            sent_.fetch_add(whole, std::memory_order_relaxed);
        } else {
            pa_stream_cancel_write(stream_);
        }
        if (draining_ >= 0 && !drain_op_) drain_op_ = pa_stream_drain(stream_, &PulseWaveOut::on_drained, this);
        if (handed_back) worker_.wake();
    }

    Done done_;
    sdl::PcmFormat format_;
    const uint32_t frame_;
    pa_sample_spec spec_{};
    std::unique_ptr<Connection> connection_;
    pa_stream* stream_ = nullptr;
    SpscRing<Entry> queued_;  // user-interface thread to the event thread
    SpscRing<int> heard_;     // event thread to worker
    std::mutex report_m_;     // one reporter at a time: the worker, reset() or close()
    uint64_t written_ = 0;    // user-interface thread
    std::atomic<uint64_t> reported_{0};
    std::atomic<uint64_t> sent_{0};
    std::atomic<bool> starved_{false};
    // With the connection's lock held (the event thread's callbacks, or reset()):
    uint32_t taken_ = 0;  // bytes of the oldest queued buffer already sent
    uint8_t carry_bytes_[8] = {};
    size_t carry_ = 0;  // a part of a frame, sent with the next bytes
    int draining_ = -1;  // the last buffer, played out when the drain ends
    pa_operation* drain_op_ = nullptr;
    sdl::LossWatch watch_;
    sdl::CallbackWorker worker_;  // last: it starts running at once
};

}  // namespace

int open_output(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                const DeviceChoice& choice) {
    return sdl::open_wave_device<PulseWaveOut>(format, std::move(done), out, choice);
}

}  // namespace dl::pulse
