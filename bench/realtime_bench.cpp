// Real time at the finest settings: a 30-second file played through the dummy driver at the
// smallest time slice and the largest transform, with the window's pacing. Prints the seconds of
// sound played per second of wall time and how often the device waited for the program in the
// middle of a period (0 in steady state). The dummy driver sleeps whole milliseconds a period, so
// with periods of a few milliseconds it runs faster than real time: the waits are the measure there.
#include <unistd.h>

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
#include "state/engine.h"
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

void run_realtime_case(int deltatime, int fftparam, int seconds) {
    char dir[] = "/tmp/dewlark-bench-XXXXXX";
    if (!mkdtemp(dir)) return;
    setenv("USERPROFILE", dir, 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dl::BatchRun run;
    dl::BatchOptions options;
    options.sets = {{"deltatime", std::to_string(deltatime)}, {"fftparam", std::to_string(fftparam)}};
    if (!run.Prepare(options)) return;
    dl::FileName = write_tone_wav(std::string(dir) + "/tone.wav", seconds);
    dl::SourceState = {dl::SourceMode::File, false};
    if (!dl::OpenSource()) return;
    const uint64_t waits = dl::wave_out_waits();
    const double t0 = dl::bench::now_ns();
    dl::StartPlayback();
    while (dl::SourceState.running) dl::run_ui_events_for(5);
    const double wall = (dl::bench::now_ns() - t0) / 1e9;
    std::printf("realtime deltatime=%d fftparam=%d sound=%ds wall=%.3fs ratio=%.4f device_waits=%llu (dummy driver)\n",
                deltatime, fftparam, seconds, wall, seconds / wall,
                static_cast<unsigned long long>(dl::wave_out_waits() - waits));
    dl::audio_quit();
}

void run_realtime() {
    run_realtime_case(2048, 12, 30);
    run_realtime_case(32, 16, 30);
}

const dl::bench::Registration reg("realtime", run_realtime);

}  // namespace
