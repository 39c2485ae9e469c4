#pragma once
// The settings: what dewlark.INI keeps, and the options of the current run.
// Written by: app (the command line, the menus and keys, the copy a dialog edited once it is accepted)
// and by the functions below (the file, --set, the record format fitted to the device, the dialogs' look)
// Read by: every layer above state
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_params.h"
#include "platform/profile.h"

namespace dl {

// Limits of the frequency and level range (Hz, dB).
constexpr int kMaxRangeHz = 200000;
constexpr int kMinDbTop = -60, kMaxDbTop = 20;

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
    // The files opened last, most recent first (empty: none; see state/recent_files.h), and the folder
    // File › Open... starts in. Written after the devices.
    std::string Recent1, Recent2, Recent3, Recent4, Recent5;
    std::string OpenFolder;
    // Whether sung notes move and click the desktop's pointer (1) or not (0). Off until the user switches
    // it on, whatever `sex` says. Written after the folder.
    int VoicePointer = 0;
    // How peaks are read: 1 by the precise estimator (use_complex then does not count), 0 as
    // use_complex says. The reference A4 of note names and cents, in tenths of a hertz. Whether the
    // tuner read-out stands over the graph. A file from before these keys keeps what it showed; a
    // fresh start takes the precise estimator and the tuner.
    int precise_peaks = 0;
    int reference_a4 = 4400;
    int tuner = 0;
    // The level meter: 0 the peak meter alone; 1 also the meter strip under the graph, bars on a dB
    // scale with each channel's peak and RMS figures; 2 the strip with the loudness as well. How the
    // strip's bars move (analysis/level_meters.h: sample peak, RMS, the two PPMs, VU). The loudness target, in
    // tenths of LUFS. A file from before these keys, and a fresh start, keep the peak meter alone.
    int level_meter = 0;
    int meter_ballistics = 0;
    int loudness_target = -230;
    // Seconds across the spectrogram's width.
    int spectrogram_span = 10;
    // What the sound takes to reach the listener beyond what the sound system reports (a Bluetooth
    // headset, an HDMI receiver), in ms, 0..1000: playback analyses the block heard that much later.
    // Written after the spectrogram span; without it (and at a fresh start) 0.
    int LatencyOffset = 0;
    // Pictures a second while a file plays, each of the block heard at that moment, whatever the
    // time slice; 0 analyses and draws once a slice, as a file without the key (a fresh start: 30).
    int update_rate = 0;
    // The measuring controls; each at 0 leaves the spectrum as it always was. Averaging: 0 off,
    // 1 exponential over average_ms, 2 the mean of the last average_blocks blocks, 3 the mean since
    // the last reset. Holds: the largest and smallest level of each line, kept hold_ms (0: until
    // reset). weighting: 0 Z, 1 A, 2 C, on the spectrum, and on the meter strip's bars and figures
    // (not the loudness) when meter_weighting is 1. traces: 0 the mix of a stereo source, 1 left
    // and right, 2 mid and side, 3 the difference; peak_trace 1 lets the peak list read the second
    // of two traces.
    int averaging = 0;
    int average_ms = 1000;
    int average_blocks = 32;
    int max_hold = 0;
    int min_hold = 0;
    int hold_ms = 0;
    int weighting = 0;
    int meter_weighting = 0;
    int traces = 0;
    int peak_trace = 0;
    // The client size the user gave the window outside the maximised state; 0 is the normal layout's.
    int window_width = 0;
    int window_height = 0;
    // The range the graphs show. freq_low..freq_high in Hz across the linear and log views and up
    // the spectrogram; both 0 (and a range the source cannot give) show 0 Hz to the Nyquist
    // frequency as always. With db_span > 0 the decibel scale and the spectrogram's colours run
    // from db_top (dBFS) down db_span dB; 0 keeps the scale's own range.
    int freq_low = 0;
    int freq_high = 0;
    int db_top = 0;
    int db_span = 0;
    // The partial the tuner reads, 1 (the fundamental) to 8: a piano tuner listens to the one they
    // tune by. Written after the range.
    int tuner_partial = 1;

    // Options of the current run only.
    bool Decibel = true;
    bool Expand = false;
    int ColourScaleKey = 0;
    int PlayRate = 0;  // -240..0, 1/120 octave steps
    bool Freeze = false;  // the graph stands still while the sound goes on
};

inline SettingsRecord Settings;

// Moves on whenever the settings change as a whole (read, reset, overridden) and at every
// SettingsChanged: what the display lays out from them is kept against it, not against copies of
// the settings it read. It never goes back, so nothing kept before a reset matches after it.
inline uint64_t SettingsGeneration = 0;
inline void NoteSettingsChanged() { ++SettingsGeneration; }

// The reference A4 in hertz.
inline double ReferenceA4() { return Settings.reference_a4 / 10.0; }

// The record format the user chose (in the file, on the command line or in the record-port dialog),
// kept while Settings holds one fitted to the input device, so that saving keeps the user's choice.
struct RecordFormatChoice {
    int16_t bits = 16;
    int16_t channel = 2;
    uint32_t freq = 11025;
};
inline std::optional<RecordFormatChoice> ChosenRecordFormat;

std::string settings_path();
// Reads the file once; forgets a ChosenRecordFormat (the file's values are the user's). Values out
// of range are corrected; with `corrections`, each correction is added there as a sentence
// ("fftparam=40 is out of range, using 16"). A file that is not read (not a regular file, larger
// than kProfileFileLimit, unreadable) gives the defaults, is named with the reason in one line on
// stderr, and is not written over by save_settings.
void load_settings(std::vector<std::string>* corrections = nullptr);
// The values of a start without a settings file, the file not read (for runs that must not depend
// on what the window was last set to).
void use_default_settings();
// Writes every stored key, the chosen record format rather than a fitted one. A read-only file is
// left as it is and a failed write leaves the old file whole; either is told in one line on stderr.
ProfileWrite save_settings();
// Keeps MemSize within what the platform can hold in memory.
void clamp_memory_size();
void clamp_memory_size(SettingsRecord& s);

// What an input device records, from its formats (WAVE_FORMAT_* bits of `mask`; 0: no device).
struct RecordFormatOffer {
    bool stereo = false;
    bool sixteen_bit = false;
    bool above_11k = false;  // 22050 Hz or 44100 Hz
    bool at_44k = false;
};
RecordFormatOffer record_format_offer(uint32_t mask);
// A record format fitted to what the device offers: mono, 8 bits, 11025 Hz where it offers nothing
// more, 22050 Hz for 44100 Hz where it records no 44100 Hz; a rate of its own otherwise stays.
RecordFormatChoice fitted_record_format(RecordFormatChoice choice, uint32_t mask);

// Fits bits, channel and freq to what the input device can do (fitted_record_format), remembering
// the values before in ChosenRecordFormat when that changes one.
void fit_record_settings(uint32_t mask);
// Fits them to a monitor, which records in its own rate and channels (16 bits), remembering the
// values before as fit_record_settings does.
void fit_record_settings_to_monitor(uint32_t rate, int channels);
// The format a monitor of `rate` Hz and `channels` channels records in.
RecordFormatChoice monitor_record_format(uint32_t rate, int channels);

// Sets one key from its text as load_settings would read it (also "Decibel" and "Expand");
// false for an unknown key. Values are brought into range like stored ones, a correction told in
// `corrections` as load_settings tells it.
bool set_setting_from_text(const std::string& key, const std::string& value,
                           std::vector<std::string>* corrections = nullptr);
// The same on a copy (a dialog's): the settings in use are left as they are.
bool set_setting_from_text(SettingsRecord& s, const std::string& key, const std::string& value,
                           std::vector<std::string>* corrections = nullptr);

// The dialogs' raised or flat look, switched from any dialog's context menu: it holds for every
// dialog from then on and is saved with the rest.
void SetDialogLook(bool raised);

// Whether `value` is one a run may give the key as it stands (a --set): for a number, a whole number
// that needs no correction; for a name, one that can be stored. False with what the key takes in
// `takes` ("8 to 16", "8 or 16", "a whole number", "a name of one line"); false with `takes` empty
// for an unknown key.
bool setting_text_allowed(const std::string& key, const std::string& value, std::string& takes);

// Whether a name (a device, a file or a folder) comes back from the file exactly as it was stored:
// it fits the value buffer, is one line, and has no surrounding blanks or quotes.
bool storable_name(const std::string& name);

}  // namespace dl
