// Real time at the finest settings: a 30-second file played at the smallest time slice and the
// largest transform, with the window's pacing, through the driver SDL_AUDIODRIVER names (dummy
// when unset; run it on a sound server's null sink for a real clock). Prints the seconds of sound
// played per second of wall time and how often the device waited for the program in the middle
// of a period (0 in steady state; a sound server's own count of its running dry where the program
// speaks to it directly), in all and in the steady part. The dummy driver is no clock: it sleeps the whole milliseconds
// of a period, so with periods of a few milliseconds it runs fast; its own pace is printed beside.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/batch_run.h"
#include "audio/playback.h"
#include "audio/source.h"
#include "bench_registry.h"
#include "platform/audio_system.h"
#include "platform/ui_post.h"
#include "platform/wave_out.h"
#include "state/run.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

std::string write_tone_wav(const std::string& path, int seconds) {
    const uint32_t rate = 44100, bytes = rate * 4 * uint32_t(seconds);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.put(char(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { out.put(char(v)), out.put(char(v >> 8)); };
    out << "RIFF";
    u32(36 + bytes);
    out << "WAVEfmt ";
    u32(16), u16(1), u16(2), u32(rate), u32(rate * 4), u16(4), u16(16);
    out << "data";
    u32(bytes);
    for (uint32_t k = 0; k < bytes / 4; ++k) {
        const int16_t v = int16_t((k * 440 * 2 % rate) < rate ? 6000 : -6000);
        u16(uint16_t(v)), u16(uint16_t(v));
    }
    return path;
}

std::string driver_from_environment() {
    const char* name = std::getenv("SDL_AUDIODRIVER");
    return name && *name ? name : "dummy";
}

void run_realtime_case(int deltatime, int fftparam, int seconds) {
    char dir[] = "/tmp/dewlark-bench-XXXXXX";
    if (!mkdtemp(dir)) return;
    setenv("USERPROFILE", dir, 1);
    setenv("SDL_AUDIODRIVER", driver_from_environment().c_str(), 1);
    dl::BatchRun run;
    dl::BatchOptions options;
    options.sets = {{"deltatime", std::to_string(deltatime)}, {"fftparam", std::to_string(fftparam)}};
    if (!run.Prepare(options)) return;
    dl::FileName = write_tone_wav(std::string(dir) + "/tone.wav", seconds);
    dl::SourceState = {dl::SourceMode::File, false};
    if (dl::OpenSource() != dl::Result::Done) return;
    const uint64_t waits = dl::wave_out_waits();
    const double t0 = dl::bench::now_ns();
    dl::StartPlayback();
    // Steady state: the position advanced between 5 s and 25 s of wall time, past the start-up
    // and before the drain at the end.
    const double steady_from = 5, steady_to = seconds - 5.0;
    double p0 = -1, w0 = 0, p1 = -1, w1 = 0;
    uint64_t waits0 = 0, waits1 = 0;
    while (dl::SourceState.running) {
        dl::run_ui_events_for(5);
        const double w = (dl::bench::now_ns() - t0) / 1e9;
        const double played = double(dl::PlaybackProgress) / (44100 * 4);
        if (p0 < 0 && w >= steady_from) p0 = played, w0 = w, waits0 = dl::wave_out_waits();
        if (p1 < 0 && w >= steady_to) p1 = played, w1 = w, waits1 = dl::wave_out_waits();
    }
    const double wall = (dl::bench::now_ns() - t0) / 1e9;
    const double steady = p1 > p0 && p0 >= 0 ? (p1 - p0) / (w1 - w0) : 0;
    const int period = dl::wave_out_period_frames();
    const std::string driver = dl::wave_out_driver();
    std::printf("realtime deltatime=%d fftparam=%d sound=%ds wall=%.3fs ratio=%.4f steady=%.4f device_waits=%llu "
                "(steady %llu) driver=%s period=%d",
                deltatime, fftparam, seconds, wall, seconds / wall, steady,
                static_cast<unsigned long long>(dl::wave_out_waits() - waits),
                static_cast<unsigned long long>(waits1 - waits0), driver.c_str(), period);
    if (driver == "dummy" && period > 0) {
        const double ms = period * 1000.0 / 44100;
        std::printf(" (the driver's own pace %.4f)", ms / std::max(1.0, std::floor(ms)));
    }
    std::printf("\n");
    dl::audio_quit();
}

void run_realtime() {
    run_realtime_case(2048, 12, 30);
    run_realtime_case(32, 16, 30);
}

const dl::bench::Registration reg("realtime", run_realtime);

}  // namespace
