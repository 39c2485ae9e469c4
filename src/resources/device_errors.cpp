#include "resources/device_errors.h"

#include <iterator>

#include "platform/wave_device.h"

namespace dl {

namespace {

struct DeviceError {
    int code;  // kWaveError: any code the table does not name
    Message play_open, play_query, record_query;
};

using S = StringId;
constexpr Message kOutputBadId{"範囲外のデバイスIDが指定されました。", S::CannotOpenOutput};
constexpr Message kOutputNoMemory{"メモリの割り当てができません。", S::NoMemory};
constexpr Message kNoPlayDriver{"この形式を再生できるドライバがありません。", S::FormatNotPlayable};
constexpr Message kCannotOpenOutput{"音声出力デバイスを開けません。", S::CannotOpenOutput};

constexpr DeviceError kDeviceErrors[] = {
    {kWaveBadDeviceId, kOutputBadId, kOutputBadId, {"デバイスIDがおかしい", S::DeviceBadId}},
    {kWaveAllocated,
     {"他のソフトがサウンドを使っています。", S::CannotOpenOutput},
     {"他のソフトが再生回路を使っています。", S::CannotOpenOutput},
     {"すでに割り当てられている", S::DeviceAllocated}},
    {kWaveNoDriver, kCannotOpenOutput, kCannotOpenOutput, {"ドライバが無い", S::DeviceNoDriver}},
    {kWaveNoMemory, kOutputNoMemory, kOutputNoMemory, {"メモリの割り当て等ができない", S::DeviceNoMemory}},
    {kWaveBadFormat, kNoPlayDriver, kNoPlayDriver, kMsgFormatNotRecordable},
    {kWaveSync, kCannotOpenOutput, kCannotOpenOutput, {"WAVE_ALLOWSYNCを指定してない", S::DeviceSync}},
    {kWaveError, kCannotOpenOutput, kCannotOpenOutput, {"不明なエラー", S::DeviceUnknownError}},
};

}  // namespace

Message DeviceErrorMessage(int code, DeviceRefusal where) {
    const DeviceError* e = &kDeviceErrors[std::size(kDeviceErrors) - 1];
    for (const DeviceError& d : kDeviceErrors)
        if (d.code == code) e = &d;
    switch (where) {
        case DeviceRefusal::PlayOpen: return e->play_open;
        case DeviceRefusal::PlayQuery: return e->play_query;
        case DeviceRefusal::RecordQuery: return e->record_query;
    }
    return e->play_open;
}

}  // namespace dl
