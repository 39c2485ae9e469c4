#include "audio/source_messages.h"

#include "platform/message_box.h"
#include "platform/wave_format_query.h"
#include "resources/string_table.h"
#include "state/shell.h"

namespace dl {

namespace {

struct Text {
    const char* japanese;
    int id;
};

Text text_of(SourceMessage m) {
    switch (m) {
        case SourceMessage::NoFileName: return {"ファイル名が未入力。", 64};
        case SourceMessage::CannotOpen: return {"ファイルを開けません。", 80};
        case SourceMessage::NotRiff: return {"指定したファイルは、RIFFファイルではありません。", 96};
        case SourceMessage::RiffNoData: return {"RIFFファイルにデータ チャンクがありません。", 49};
        case SourceMessage::RiffNotMpeg: return {"指定したファイルは、WAVEファイルではありません。", 96};
        case SourceMessage::WaveBroken: return {"WAVEファイルが壊れています。", 1};
        case SourceMessage::CannotReadFormat: return {"形式チャンクを読み取れません。", 17};
        case SourceMessage::QueryBadDevice: return {"範囲外のデバイスIDが指定されました。", 34};
        case SourceMessage::QueryAllocated: return {"他のソフトが再生回路を使っています。", 34};
        case SourceMessage::QueryNoMemory: return {"メモリの割り当てができません。", 16};
        case SourceMessage::QueryBadFormat: return {"この形式を再生できるドライバがありません。", 33};
        case SourceMessage::QueryOther: return {"音声出力デバイスを開けません。", 34};
        case SourceMessage::WaveNoData: return {"WAVEファイルにデータ チャンクがありません。", 49};
        case SourceMessage::DataEmpty: return {"データ チャンクが空です。", 65};
        case SourceMessage::FormatAllocFailed: return {"極度のメモリ不足です。", 16};
        case SourceMessage::FormatLockFailed: return {"メモリのロックに失敗しました。", 48};
    }
    return {"", 0};
}

}  // namespace

const char* SourceMessageText(SourceMessage m) {
    Text t = text_of(m);
    return JapaneseUi ? t.japanese : LoadStringText(t.id);
}

std::string SourceMessageBoxText(SourceMessage m, const std::string& file_name) {
    const std::string text = SourceMessageText(m);
    return file_name.empty() ? text : file_name + "\n" + text;
}

void ReportSourceMessage(SourceMessage m) {
    const std::string text = SourceMessageBoxText(m, TheMainWindow ? FileName : std::string());
    message_box({text, "", true, MbIcon::Exclamation});
}

SourceMessage QueryMessage(int result) {
    switch (result) {
        case kWaveQueryBadDeviceId: return SourceMessage::QueryBadDevice;
        case kWaveQueryAllocated: return SourceMessage::QueryAllocated;
        case kWaveQueryNoMemory: return SourceMessage::QueryNoMemory;
        case kWaveQueryBadFormat: return SourceMessage::QueryBadFormat;
        default: return SourceMessage::QueryOther;
    }
}

}  // namespace dl
