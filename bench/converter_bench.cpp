// Decoding throughput of the MPEG and Vorbis paths in the player's block size,
// and, when the command-line decoders are installed, theirs on the same file.
// DEWLARK_BENCH_MP3 / DEWLARK_BENCH_OGG point at longer files (a minute or so
// makes the tools' start-up negligible); by default the small test fixtures are used.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench_registry.h"
#include "platform/converter.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::filesystem::path bench_file(const char* env, const char* fixture) {
    const char* over = std::getenv(env);
    return over ? std::filesystem::path(over)
                : std::filesystem::path(__FILE__).parent_path() / ".." / "tests" / "data" / fixture;
}

Bytes load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// The record from the first frame header after an optional ID3v2 tag.
Bytes mpeg_record(const Bytes& f) {
    size_t at = 0;
    if (f.size() > 10 && f[0] == 'I' && f[1] == 'D' && f[2] == '3')
        at = 10 + (size_t(f[6] & 0x7f) << 21 | size_t(f[7] & 0x7f) << 14 | size_t(f[8] & 0x7f) << 7 | (f[9] & 0x7f));
    while (at + 4 < f.size() && !(f[at] == 0xFF && (f[at + 1] & 0xE0) == 0xE0)) ++at;
    Bytes r(30, 0);
    if (at + 4 >= f.size()) return r;
    static const uint32_t rates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    const int v = (f[at + 1] & 0x08) ? 0 : ((f[at + 1] & 0x10) ? 1 : 2);
    put16(r, 0, 0x0055);
    put16(r, 2, (f[at + 3] >> 6) == 3 ? 1 : 2);
    put32(r, 4, rates[v][((f[at + 2] >> 2) & 3) % 3]);
    put16(r, 12, 1);
    put16(r, 16, 12);
    return r;
}

Bytes ogg_record(const Bytes& f) {
    Bytes r(28, 0);
    if (f.size() < 52) return r;
    put16(r, 0, 0x674F);
    put16(r, 2, f[39]);
    put32(r, 4, uint32_t(f[40] | f[41] << 8 | f[42] << 16 | uint32_t(f[43]) << 24));
    put32(r, 8, uint32_t(f[48] | f[49] << 8 | f[50] << 16 | uint32_t(f[51]) << 24) / 8);
    put16(r, 16, 8);
    return r;
}

// Nanoseconds for one whole decode in blocks of `block` bytes; 0 if it cannot open.
double decode_once(const Bytes& format, const Bytes& data, size_t block, uint64_t& pcm) {
    const double t0 = dl::bench::now_ns();
    std::unique_ptr<dl::Converter> c;
    if (dl::Converter::open(format, c) != dl::kConvertOk) return 0;
    uint32_t cap = 0;
    c->size_for_source(uint32_t(block), cap);
    Bytes dst(cap);
    pcm = 0;
    for (size_t at = 0; at < data.size(); at += block) {
        uint32_t used = 0;
        c->convert(data.data() + at, uint32_t(std::min(block, data.size() - at)), dst.data(), cap, used);
        pcm += used;
    }
    return dl::bench::now_ns() - t0;
}

// Wall time of a shell command, median of a few runs; 0 when it fails.
double command_ns(const std::string& command, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double t0 = dl::bench::now_ns();
        if (std::system(command.c_str()) != 0) return 0;
        t.push_back(dl::bench::now_ns() - t0);
    }
    return dl::bench::median(t);
}

void measure(const char* label, const std::filesystem::path& path, const Bytes& format,
             const std::string& tool) {
    const Bytes data = load(path);
    if (data.empty()) {
        std::printf("converter %s: cannot read %s\n", label, path.c_str());
        return;
    }
    const int runs = 7;
    for (size_t block : {size_t(2972), size_t(65536)}) {
        std::vector<double> t;
        uint64_t pcm = 0;
        for (int i = 0; i < runs; ++i) t.push_back(decode_once(format, data, block, pcm));
        const double ns = dl::bench::median(t);
        std::printf("converter %s block=%zu pcm_bytes=%llu ours_ms=%.2f MB_per_s=%.1f\n", label, block,
                    static_cast<unsigned long long>(pcm), ns / 1e6, ns > 0 ? pcm / (ns / 1e3) : 0.0);
        if (block != 65536) continue;
        const std::string command = tool + " \"" + path.string() + "\" >/dev/null 2>&1";
        const double theirs = command_ns(command, runs);
        if (theirs > 0)
            std::printf("converter %s tool_ms=%.2f ratio=%.3f (%s, includes its start-up)\n", label,
                        theirs / 1e6, ns / theirs, tool.c_str());
    }
}

void run_converter() {
    const auto mp3 = bench_file("DEWLARK_BENCH_MP3", "mp3_44k_stereo_128k_cbr.mp3");
    measure("mpeg", mp3, mpeg_record(load(mp3)), "mpg123 -q -s");
    const auto ogg = bench_file("DEWLARK_BENCH_OGG", "ogg_44k_stereo_q3.ogg");
    measure("vorbis", ogg, ogg_record(load(ogg)), "oggdec -Q -R -o -");
}

}  // namespace

const dl::bench::Registration registration("converter", run_converter);
