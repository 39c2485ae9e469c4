#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/wave_out.h"
#include "state/settings.h"

namespace dl {

// The device the settings name for input (capture) or output, when the sound system still lists
// it; otherwise the system's default, after a message (once per name and run). `lost` is what
// happens when the device goes away while open.
DeviceChoice ChosenDevice(bool capture, std::function<void()> lost);

// "System default" followed by the sound system's device names, for the device menus.
std::vector<std::string> DeviceMenuEntries(bool capture);
// The menu entry the settings choose (0: the default).
int ChosenDeviceEntry(bool capture, const std::vector<std::string>& entries);
// The device name entry `index` of the list DeviceMenuEntries gave stands for (empty: the default);
// nothing for an index outside it.
std::optional<std::string> DeviceOfEntry(const std::vector<std::string>& entries, int index);

// An output's monitor chosen as the input is recorded in its own rate and channels (16 bits), the
// user's record format kept for the settings file as a fitted one is.
void FitRecordSettingsToMonitor();
// The same for a format being chosen (the record-port dialog's), the settings left as they are.
void FitRecordFormatToMonitor(const std::string& input_device, RecordFormatChoice& format);

// The message of a device taken away while it ran.
void ReportDeviceLost(bool capture);

}  // namespace dl
