#include "app/info_command.h"

#include <cstdio>

#include "app/batch_analyse.h"
#include "app/batch_run.h"
#include "app/standard_output.h"
#include "audio/source.h"
#include "display/source_panel.h"
#include "platform/format_text.h"
#include "platform/wave_format.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace dl {

namespace {

std::string FactsText() {
    const SourceInfoRecord& s = SourceInfo;
    std::string t;
    t += format_text("format_tag=0x%04x\n", unsigned(s.format_tag));
    t += format_text("channels=%u\n", unsigned(rd16(SourceFormat, kFmtChannels)));
    t += format_text("sample_rate=%u\n", unsigned(s.sample_rate));
    t += format_text("khz=%d\n", s.khz);
    t += format_text("bits=%d\n", s.bits);
    t += format_text("block_align=%d\n", s.block_align);
    t += format_text("bytes_per_second=%u\n", unsigned(s.source_bytes_per_second));
    t += format_text("channel_layout=%d\n", s.ChannelLayout);
    t += format_text("data_bytes=%u\n", unsigned(s.DataTotal));
    t += format_text("seconds=%.2f\n", SourceSeconds());
    t += "format_record=";
    for (uint8_t b : SourceFormat) t += format_text("%02x", unsigned(b));
    return t + "\n";
}

}  // namespace

int RunInfoCommand(const std::string& path) {
    BatchRun run;
    if (!run.Prepare(BatchOptions{})) return 1;
    FileName = path;
    ChooseSource(SourceMode::File);
    if (OpenSource() != Result::Done) return 1;
    const std::string facts = FactsText();
    // The start of an analysis, as --analyse makes it (streaming): a file whose header reads well
    // but whose sound cannot be had is not passed as a good one.
    Settings.OnMem = 0;
    const bool plays = AnalyseOpenSource(nullptr, 1) && !PlayEndedEarly;
    WriteOutput(facts);
    FlushOutput();
    if (plays) return 0;
    std::fprintf(stderr, "dewlark: %s: the sound cannot be analysed\n", shown_name(path).c_str());
    return 1;
}

}  // namespace dl
