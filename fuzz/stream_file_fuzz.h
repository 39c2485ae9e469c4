// Shared by the fuzz targets of one stream kind: arbitrary bytes (after a first byte that chooses
// the block sizes) become a file the reader opens; when it takes the file as that kind, the stream
// is decoded through the converter block by block to its end, as a play does.
#pragma once
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/source.h"
#include "platform/converter.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "platform/wave_format.h"
#include "state/shell.h"
#include "state/source.h"

namespace stream_fuzz {

inline std::string& path() {
    static std::string p;
    return p;
}

inline void initialise(const char* name) {
    dl::ensure_headless_application();
    dl::set_message_box_hook([](const dl::MessageBoxRequest&) {});
    std::string pattern = std::string("/tmp/dewlark-") + name + "-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    path() = pattern;
}

inline void run(const uint8_t* data, size_t size, bool (*wanted)(uint16_t tag)) {
    if (size < 1) return;
    const uint8_t seed = data[0];
    FILE* f = std::fopen(path().c_str(), "wb");
    if (!f) return;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

    dl::FileName = path();
    dl::SourceState.mode = dl::SourceMode::File;
    if (dl::OpenSource() == dl::Result::Done && wanted(dl::SourceInfo.format_tag)) {
        std::unique_ptr<dl::Converter> c;
        if (dl::Converter::open(dl::SourceFormat, c) == dl::kConvertOk) {
            std::vector<uint8_t> src(70000), dst(1 << 16);
            uint32_t block = 1 + seed * 271u % 65536;
            uint32_t left = dl::SourceInfo.DataRemaining, used = 0;
            auto drain = [&] {
                do {
                    c->convert(nullptr, 0, dst.data(), uint32_t(dst.size()), used);
                    if (used > dst.size()) __builtin_trap();
                } while (used > 0);
            };
            while (left > 0 && !c->format_changed()) {
                const int64_t got = dl::SourceFile->read(src.data(), std::min<uint32_t>({left, block, 65536}));
                if (got <= 0) break;
                left -= uint32_t(got);
                c->convert(src.data(), uint32_t(got), dst.data(), uint32_t(dst.size()), used);
                if (used > dst.size()) __builtin_trap();
                drain();
                block = 1 + (block * 7 + 13) % 20000;
            }
            c->end_input();
            drain();
        }
    }
    dl::CloseSource();
    dl::FreeFormatRecord();
}

}  // namespace stream_fuzz
