#include "audio/source_messages.h"

#include "platform/wave_device.h"
#include "resources/device_errors.h"
#include "resources/messages.h"
#include "state/shell.h"

namespace dl {

namespace {

Message message_of(SourceMessage m) {
    using S = StringId;
    switch (m) {
        case SourceMessage::NoFileName: return {"ファイル名が未入力。", S::NoFileName};
        case SourceMessage::CannotOpen: return {"ファイルを開けません。", S::CannotOpenFile};
        case SourceMessage::NotRiff: return {"指定したファイルは、RIFFファイルではありません。", S::NotWave};
        case SourceMessage::RiffNoData: return {"RIFFファイルにデータ チャンクがありません。", S::NoData};
        case SourceMessage::RiffNotMpeg: return {"指定したファイルは、WAVEファイルではありません。", S::NotWave};
        case SourceMessage::WaveBroken: return {"WAVEファイルが壊れています。", S::FileDestroyed};
        case SourceMessage::CannotReadFormat: return {"形式チャンクを読み取れません。", S::CannotReadFormat};
        case SourceMessage::QueryBadDevice: return DeviceErrorMessage(kWaveBadDeviceId, DeviceRefusal::PlayQuery);
        case SourceMessage::QueryAllocated: return DeviceErrorMessage(kWaveAllocated, DeviceRefusal::PlayQuery);
        case SourceMessage::QueryNoMemory: return DeviceErrorMessage(kWaveNoMemory, DeviceRefusal::PlayQuery);
        case SourceMessage::QueryBadFormat: return DeviceErrorMessage(kWaveBadFormat, DeviceRefusal::PlayQuery);
        case SourceMessage::QueryOther: return DeviceErrorMessage(kWaveError, DeviceRefusal::PlayQuery);
        case SourceMessage::WaveNoData: return {"WAVEファイルにデータ チャンクがありません。", S::NoData};
        case SourceMessage::DataEmpty: return {"データ チャンクが空です。", S::DataEmpty};
        case SourceMessage::FormatAllocFailed: return {"極度のメモリ不足です。", S::NoMemory};
        case SourceMessage::FormatLockFailed: return {"メモリのロックに失敗しました。", S::MemoryLockFailed};
    }
    return {"", S{}};
}

}  // namespace

const char* SourceMessageText(SourceMessage m) { return MessageText(message_of(m)); }

std::string SourceMessageBoxText(SourceMessage m, const std::string& file_name) {
    const std::string text = SourceMessageText(m);
    return file_name.empty() ? text : file_name + "\n" + text;
}

void ReportSourceMessage(SourceMessage m) {
    ReportMessage(SourceMessageBoxText(m, TheMainWindow ? FileName : std::string()));
}

SourceMessage QueryMessage(int result) {
    switch (result) {
        case kWaveBadDeviceId: return SourceMessage::QueryBadDevice;
        case kWaveAllocated: return SourceMessage::QueryAllocated;
        case kWaveNoMemory: return SourceMessage::QueryNoMemory;
        case kWaveBadFormat: return SourceMessage::QueryBadFormat;
        default: return SourceMessage::QueryOther;
    }
}

}  // namespace dl
