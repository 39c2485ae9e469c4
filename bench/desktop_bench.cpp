// The desktop's sound server, timed: run it with PULSE_SERVER naming a server (PulseAudio or
// PipeWire's) whose default output is a null sink. It records that sink's monitor itself and prints
// - start: from StartPlayback to the play's first sound in the sink;
// - clicks: a file with a click every second played; for each click, the wall time of the row that
//   shows it less the wall time the click reached the sink, and the row's own time less the click's
//   place in the file (both within one time slice when the picture is in step with the sound).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "audio/playback.h"
#include "audio/record_port.h"
#include "audio/run.h"
#include "audio/source.h"
#include "bench_registry.h"
#include "platform/audio_system.h"
#include "platform/ui_post.h"
#include "platform/wave_in.h"
#include "platform/wave_out.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

constexpr uint32_t kRate = 44100;

// Stereo 16-bit: silence, with a 10 ms burst of 2 kHz at each whole second (`clicks`), or a tone
// from the start (no clicks).
std::string write_wav(const std::string& path, int seconds, bool clicks) {
    const uint32_t frames = kRate * uint32_t(seconds), bytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.put(char(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { out.put(char(v)), out.put(char(v >> 8)); };
    out << "RIFF";
    u32(36 + bytes);
    out << "WAVEfmt ";
    u32(16), u16(1), u16(2), u32(kRate), u32(kRate * 4), u16(4), u16(16);
    out << "data";
    u32(bytes);
    for (uint32_t k = 0; k < frames; ++k) {
        const uint32_t in_second = k % kRate;
        const bool on = clicks ? (k >= kRate && in_second < kRate / 100) : true;
        const int16_t v = on ? int16_t(12000 * std::sin(2 * M_PI * 2000.0 * k / kRate)) : 0;
        u16(uint16_t(v)), u16(uint16_t(v));
    }
    return path;
}

// The sink's monitor, recorded in small buffers: when each sound onset reached the sink (wall ms).
class SinkRecorder {
public:
    bool open() {
        std::vector<uint8_t> format(16, 0);
        auto w16 = [&](size_t at, uint16_t v) { format[at] = uint8_t(v), format[at + 1] = uint8_t(v >> 8); };
        auto w32 = [&](size_t at, uint32_t v) { w16(at, uint16_t(v)), w16(at + 2, uint16_t(v >> 16)); };
        w16(0, 1), w16(2, 2), w32(4, kRate), w32(8, kRate * 4), w16(12, 4), w16(14, 16);
        dl::DeviceChoice choice{"What the desktop plays", nullptr, 0};
        if (dl::wave_in_open(format, [this](int i) { dl::post_to_ui([this, i] { filled(i); }); }, in_, choice) !=
            dl::kWaveOk)
            return false;
        for (int i = 0; i < 4; ++i) {
            buffers_[i].assign(kBytes, 0);
            headers_[i] = dl::WaveHeader{};
            headers_[i].data = buffers_[i].data();
            headers_[i].length = kBytes;
            in_->prepare(headers_[i]);
            in_->add_buffer(headers_[i], i);
        }
        return in_->start() == dl::kWaveOk;
    }
    void close() {
        if (!in_) return;
        in_->reset();
        for (auto& h : headers_) in_->unprepare(h);
        in_->close();
        in_.reset();
    }
    // Wall ms at which sound rose above silence after a quiet stretch, each time.
    std::vector<double> onsets;
    bool armed = true;

private:
    static constexpr uint32_t kBytes = kRate * 4 / 200;  // 5 ms
    void filled(int i) {
        if (!in_) return;
        const double arrived = dl::bench::now_ns() / 1e6;
        const auto* s = reinterpret_cast<const int16_t*>(buffers_[i].data());
        const uint32_t n = headers_[i].recorded / 2;
        for (uint32_t k = 0; k < n; k += 2) {
            const bool loud = std::abs(int(s[k])) > 3000;
            if (loud && quiet_for_ >= kRate / 4) {
                // The frames after it in this buffer were captured later.
                onsets.push_back(arrived - double(n - k) / 2 * 1000.0 / kRate);
            }
            quiet_for_ = loud ? 0 : quiet_for_ + 1;
        }
        headers_[i].recorded = 0;
        in_->unprepare(headers_[i]);
        in_->prepare(headers_[i]);
        in_->add_buffer(headers_[i], i);
    }
    std::unique_ptr<dl::WaveIn> in_;
    std::vector<uint8_t> buffers_[4];
    dl::WaveHeader headers_[4];
    uint32_t quiet_for_ = kRate;
};

bool play(const std::string& file, double max_seconds) {
    dl::FileName = file;
    dl::SourceState = {dl::SourceMode::File, false};
    if (dl::OpenSource() != dl::Result::Done) return false;
    if (dl::StartPlayback() != dl::Result::Done) return false;
    const double t0 = dl::bench::now_ns();
    while (dl::SourceState.running && (dl::bench::now_ns() - t0) / 1e9 < max_seconds) dl::run_ui_events_for(2);
    if (dl::SourceState.running) dl::StopPlayback();
    return true;
}

// Monitoring the sink while another client plays clicks into it: for each click, the wall time of the
// row that shows it less the wall time the click reached the sink (target: one time slice plus the
// server's period), and from Start to the first row.
void monitor_delays(SinkRecorder& sink, const std::string& dir) {
    const std::string clicks = write_wav(dir + "/monitor_clicks.wav", 6, true);
    for (int deltatime : {2048, 512}) {
        dl::Settings.deltatime = deltatime;
        dl::Settings.InputDevice = "What the desktop plays";
        std::vector<double> rows;
        double first_row = -1;
        bool loud_before = false;
        dl::AnalysisObserver = [&](double, const dl::BlockAnalysis& a) {
            const double now = dl::bench::now_ns() / 1e6;
            if (first_row < 0) first_row = now;
            const bool loud = a.meter_count > 0 && a.meters[0].level > 3000;
            if (loud && !loud_before) rows.push_back(now);
            loud_before = loud;
        };
        dl::SourceState = {dl::SourceMode::RecordPort, false};
        if (dl::OpenRecordPort() != dl::Result::Done) {
            std::printf("monitor: the desktop's monitor did not open\n");
            return;
        }
        const double started = dl::bench::now_ns() / 1e6;
        if (dl::StartMonitoring() != dl::Result::Done) return;
        dl::run_ui_events_for(1000);
        sink.onsets.clear();
        const std::string play = "paplay --latency-msec=20 '" + clicks + "' &";
        if (std::system(play.c_str()) != 0) return;
        dl::run_ui_events_for(7500);
        dl::StopMonitoring();
        for (int waited = 0; dl::SourceState.running && waited < 2000; waited += 10) dl::run_ui_events_for(10);
        if (dl::SourceState.running) dl::EndRun(false);
        dl::AnalysisObserver = nullptr;
        const double slice = dl::Settings.freq % 11025 == 0 ? deltatime * 1000.0 / 11025 : deltatime / 8.0;
        std::printf("monitor deltatime=%d (slice %.0f ms at %u Hz): Start to first row %.0f ms; clicks:", deltatime,
                    slice, unsigned(dl::Settings.freq), first_row - started);
        for (size_t k = 0; k < rows.size() && k < sink.onsets.size(); ++k)
            std::printf(" %+.0f", rows[k] - sink.onsets[k]);
        std::printf(" ms (%zu rows, %zu clicks in the sink)\n", rows.size(), sink.onsets.size());
    }
    // A player at the server's default latency (large blocks into an idle null sink) already
    // playing a tone: from Start to the first row that hears it.
    const std::string tone = write_wav(dir + "/monitor_tone.wav", 6, false);
    const std::string play = "paplay '" + tone + "' & echo $! >'" + dir + "/player'";
    if (std::system(play.c_str()) != 0) return;
    dl::run_ui_events_for(1000);
    dl::Settings.deltatime = 512;
    double first_loud = -1;
    dl::AnalysisObserver = [&](double, const dl::BlockAnalysis& a) {
        if (first_loud < 0 && a.meter_count > 0 && a.meters[0].level > 3000) first_loud = dl::bench::now_ns() / 1e6;
    };
    dl::SourceState = {dl::SourceMode::RecordPort, false};
    if (dl::OpenRecordPort() != dl::Result::Done) return;
    const double started = dl::bench::now_ns() / 1e6;
    if (dl::StartMonitoring() != dl::Result::Done) return;
    for (int waited = 0; first_loud < 0 && waited < 4000; waited += 10) dl::run_ui_events_for(10);
    dl::StopMonitoring();
    for (int waited = 0; dl::SourceState.running && waited < 2000; waited += 10) dl::run_ui_events_for(10);
    if (dl::SourceState.running) dl::EndRun(false);
    dl::AnalysisObserver = nullptr;
    std::printf("monitor after a player at the default latency, deltatime=512: Start to the first row with the tone %.0f ms\n",
                first_loud < 0 ? -1.0 : first_loud - started);
    const std::string stop = "kill $(cat '" + dir + "/player') 2>/dev/null";
    if (std::system(stop.c_str()) != 0) std::printf("(the player had ended)\n");
}

void run_desktop() {
    if (!std::getenv("PULSE_SERVER")) {
        std::printf("desktop: skipped (PULSE_SERVER names no sound server)\n");
        return;
    }
    char dir[] = "/tmp/dewlark-bench-XXXXXX";
    if (!mkdtemp(dir)) return;
    setenv("USERPROFILE", dir, 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    dl::BatchRun run;
    dl::BatchOptions options;
    if (!run.Prepare(options)) return;
    SinkRecorder sink;
    if (!sink.open()) {
        std::printf("desktop: no monitor of the default output to record\n");
        return;
    }
    // An idle null sink gives a new monitor its first sound after its own block (up to 2 s).
    dl::run_ui_events_for(2500);

    const std::string tone = write_wav(std::string(dir) + "/tone.wav", 2, false);
    for (int k = 0; k < 3; ++k) {
        sink.onsets.clear();
        const double pressed = dl::bench::now_ns() / 1e6;
        play(tone, 0.6);
        dl::run_ui_events_for(300);
        if (sink.onsets.empty()) std::printf("start: the play never reached the sink\n");
        else std::printf("start: %.0f ms from PLAY to the sink (driver %s)\n", sink.onsets.front() - pressed,
                         dl::wave_out_driver());
    }

    for (int deltatime : {2048, 512}) {
        dl::Settings.deltatime = deltatime;
        const std::string clicks = write_wav(std::string(dir) + "/clicks.wav", 6, true);
        struct Seen {
            double wall, time;
        };
        std::vector<Seen> rows;
        bool loud_before = false;
        dl::AnalysisObserver = [&](double seconds, const dl::BlockAnalysis& a) {
            const bool loud = a.meter_count > 0 && a.meters[0].level > 3000;
            if (loud && !loud_before) rows.push_back({dl::bench::now_ns() / 1e6, seconds});
            loud_before = loud;
        };
        sink.onsets.clear();
        play(clicks, 8);
        dl::run_ui_events_for(300);
        dl::AnalysisObserver = nullptr;
        const double slice = deltatime * 1000.0 / 11025;
        std::printf("clicks deltatime=%d (slice %.0f ms), offset %d ms:", deltatime, slice, dl::Settings.LatencyOffset);
        for (size_t k = 0; k < rows.size() && k < sink.onsets.size(); ++k)
            std::printf(" [row-sink %+.0f ms, row time %.3f s]", rows[k].wall - sink.onsets[k], rows[k].time);
        std::printf(" (%zu rows, %zu clicks in the sink)\n", rows.size(), sink.onsets.size());
    }
    monitor_delays(sink, dir);
    sink.close();
    dl::audio_quit();
}

const dl::bench::Registration reg("desktop", run_desktop);

}  // namespace
