// Opening hostile files: a FLAC stream that does not say its length, whose last bytes are full of
// frame headers that pass their own check but end no frame. The search for its last frame must stay
// one pass over those bytes, whatever their size.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/flac_opus_probe.h"
#include "audio/source.h"
#include "bench_registry.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "state/reset.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

// "fLaC", a STREAMINFO of 65535-sample stereo 32-bit blocks and no sample count, then `bytes` of
// 6-byte frame headers.
std::string headers_flac(size_t bytes) {
    static const unsigned char info[34] = {0x10, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0x0A, 0xC4, 0x43, 0xF0};
    std::string header("\xFF\xF8\xC9\x18\x00", 5);
    header += char(dl::FlacHeaderCrc8(reinterpret_cast<const uint8_t*>(header.data()), header.size()));
    std::string body;
    body.reserve(bytes + 6);
    while (body.size() < bytes) body += header;
    body.resize(bytes);
    return std::string("fLaC\x80\x00\x00\x22", 8) + std::string(reinterpret_cast<const char*>(info), 34) + body;
}

void run_open() {
    dl::ensure_headless_application();
    dl::set_message_box_hook([](const dl::MessageBoxRequest&) {});
    char dir[] = "/tmp/dewlark-bench-open-XXXXXX";
    if (!mkdtemp(dir)) return;
    const std::string path = std::string(dir) + "/tail.flac";
    for (size_t bytes : {size_t(64) << 10, size_t(512) << 10, size_t(8) << 20}) {
        const std::string file = headers_flac(bytes);
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(file.data(), 1, file.size(), f);
            std::fclose(f);
        }
        std::vector<double> t;
        for (int i = 0; i < 5; ++i) {
            dl::ResetProcessState();
            dl::FileName = path;
            dl::SourceState.mode = dl::SourceMode::File;
            const double t0 = dl::bench::now_ns();
            dl::OpenSource();
            t.push_back(dl::bench::now_ns() - t0);
            dl::CloseSource();
            dl::FreeFormatRecord();
        }
        std::printf("open flac_headers_tail bytes=%zu open_ms=%.2f\n", bytes, dl::bench::median(t) / 1e6);
    }
    dl::ResetProcessState();
    dl::set_message_box_hook(nullptr);
    std::remove(path.c_str());
    rmdir(dir);
}

}  // namespace

const dl::bench::Registration registration("open", run_open);
