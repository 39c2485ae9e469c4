#include "platform/device_open_error.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/wave_device.h"

namespace dl {

namespace {

bool says(const std::string& text, const char* words) { return text.find(words) != std::string::npos; }

}  // namespace

int open_failure_code(const char* why, int devices) {
    if (devices == 0) return kWaveBadDeviceId;
    std::string text = why ? why : "";
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (says(text, "busy") || says(text, "in use")) return kWaveAllocated;
    if (says(text, "no such device") || says(text, "no such file") || says(text, "not found") ||
        says(text, "invalid device"))
        return kWaveBadDeviceId;
    if (says(text, "memory")) return kWaveNoMemory;
    // A server that went away, or a sound system that is not there.
    if (says(text, "connect") || says(text, "server") || says(text, "not initialized") || says(text, "set up") ||
        says(text, "context"))
        return kWaveNoDriver;
    return kWaveError;
}

}  // namespace dl
