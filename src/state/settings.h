#pragma once
#include <cstdint>
#include <string>

namespace dl {

// The persisted configuration, one field per key of dewlark.INI, plus the options of the
// current run (not stored).
struct SettingsRecord {
    int sex = 0;
    int use_onmei = 0;
    int use_complex = 0;
    int freqnum = 4;
    int withlevel = 0;
    int adjust16 = 0;
    int adjust8 = 0;
    int graph = 117;
    int katamuki = 0;
    int monochrome = 0;
    int PeakHold = 1;
    uint32_t deltatime = 2048;
    int OnMem = 0;
    int MemSize = 15;
    int dialog3d = 1;
    int16_t bits = 16;
    int16_t channel = 2;
    uint32_t freq = 11025;
    int display = 110;
    int chartdot = 4;
    int fftparam = 12;
    int UseMemDC = 0;
    int ColorScale = 0;
    int futosa = 1;
    int wavmode = 0;
    int mado = 0;
    // Devices by the sound system's name; empty: the system's default. Written after the others.
    std::string InputDevice;
    std::string OutputDevice;

    // Options of the current run only.
    bool Decibel = true;
    bool Expand = false;
    int ColourScaleKey = 0;
    int PlayRate = 0;  // -240..0, 1/120 octave steps
};

inline SettingsRecord Settings;

std::string settings_path();
void load_settings();
void save_settings();
void clamp_memory_size();

// Sets one key from its text as load_settings would read it (also "Decibel" and "Expand");
// false for an unknown key. Values are brought into range like stored ones.
bool set_setting_from_text(const std::string& key, const std::string& value);

}  // namespace dl
