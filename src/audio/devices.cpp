#include "audio/devices.h"

#include <optional>
#include <set>

#include "platform/audio_system.h"
#include "platform/format_text.h"
#include "resources/messages.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

const std::string& chosen_name(bool capture) { return capture ? Settings.InputDevice : Settings.OutputDevice; }

}  // namespace

DeviceChoice ChosenDevice(bool capture, std::function<void()> lost) {
    DeviceChoice choice{chosen_name(capture), std::move(lost)};
    if (choice.name.empty()) return choice;
    const std::vector<std::string> names = audio_device_names(capture);
    if (std::find(names.begin(), names.end(), choice.name) != names.end()) return choice;
    // Kept in the settings: plugged in again, the device is used again.
    static std::set<std::string> told;
    if (told.insert((capture ? "in:" : "out:") + choice.name).second) {
        const char* name = choice.name.c_str();
        ReportMessage(capture ? (JapaneseUi ? format_text("入力デバイス「%s」が見つかりません。既定のデバイスを使います。", name)
                                     : format_text("The input device \"%s\" is not there; the system default is used.",
                                                   name))
                       : (JapaneseUi ? format_text("出力デバイス「%s」が見つかりません。既定のデバイスを使います。", name)
                                     : format_text("The output device \"%s\" is not there; the system default is used.",
                                                   name)));
    }
    choice.name.clear();
    return choice;
}

std::vector<std::string> DeviceMenuEntries(bool capture) {
    std::vector<std::string> entries{JapaneseUi ? "既定のデバイス" : "System default"};
    for (const std::string& n : audio_device_names(capture)) entries.push_back(n);
    return entries;
}

int ChosenDeviceEntry(bool capture, const std::vector<std::string>& entries) {
    const std::string& name = chosen_name(capture);
    if (name.empty()) return 0;
    for (size_t i = 1; i < entries.size(); ++i)
        if (entries[i] == name) return int(i);
    return -1;  // remembered, but not there now
}

std::optional<std::string> DeviceOfEntry(const std::vector<std::string>& entries, int index) {
    if (index < 0 || index >= int(entries.size())) return std::nullopt;
    return index == 0 ? std::string() : entries[size_t(index)];
}

void FitRecordSettingsToMonitor() {
    uint32_t rate = 0;
    int channels = 0;
    if (Settings.InputDevice.empty() || !audio_monitor_format(Settings.InputDevice, rate, channels)) return;
    fit_record_settings_to_monitor(rate, channels);
}

void FitRecordFormatToMonitor(const std::string& input_device, RecordFormatChoice& format) {
    uint32_t rate = 0;
    int channels = 0;
    if (input_device.empty() || !audio_monitor_format(input_device, rate, channels)) return;
    format = monitor_record_format(rate, channels);
}

void ReportDeviceLost(bool capture) {
    if (capture)
        ReportMessage(JapaneseUi ? "音声入力デバイスが失われたため、モニタを終了しました。"
                          : "The sound input device went away; monitoring has ended.");
    else
        ReportMessage(JapaneseUi ? "音声出力デバイスが失われたため、再生を終了しました。"
                          : "The sound output device went away; playback has ended.");
}

}  // namespace dl
