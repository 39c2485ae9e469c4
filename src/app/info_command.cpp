#include "app/info_command.h"

#include <cstdio>

#include "audio/source.h"
#include "display/source_panel.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/wave_format.h"
#include "state/engine.h"
#include "state/shell.h"
#include "state/source.h"

namespace dl {

int RunInfoCommand(const std::string& path) {
    ensure_headless_application();
    JapaneseUi = japanese_locale();
    set_message_box_hook([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "%s\n", r.text.c_str());
        std::fflush(stderr);
    });
    FileName = path;
    SourceState.mode = SourceMode::File;
    const int opened = OpenSource();
    if (opened) {
        const SourceInfoRecord& s = SourceInfo;
        std::printf("format_tag=0x%04x\n", unsigned(s.format_tag));
        std::printf("channels=%u\n", unsigned(rd16(SourceFormat, kFmtChannels)));
        std::printf("sample_rate=%u\n", unsigned(s.sample_rate));
        std::printf("khz=%d\n", s.khz);
        std::printf("bits=%d\n", s.bits);
        std::printf("block_align=%d\n", s.block_align);
        std::printf("bytes_per_second=%u\n", unsigned(s.source_bytes_per_second));
        std::printf("channel_layout=%d\n", s.ChannelLayout);
        std::printf("data_bytes=%u\n", unsigned(s.DataTotal));
        std::printf("seconds=%.2f\n", SourceSeconds());
        std::printf("format_record=");
        for (uint8_t b : SourceFormat) std::printf("%02x", unsigned(b));
        std::printf("\n");
        std::fflush(stdout);
    }
    CloseSource();
    FreeFormatRecord();
    set_message_box_hook(nullptr);
    return opened ? 0 : 1;
}

}  // namespace dl
