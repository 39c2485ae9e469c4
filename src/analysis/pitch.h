#pragma once
#include <array>

namespace dl {

// Cents deviations of the last eight A4 read-outs, oldest first; above 100 means empty.
inline constexpr double kEmptyPitch = 4294967295.0;
inline std::array<double, 8> PitchHistory = {kEmptyPitch, kEmptyPitch, kEmptyPitch, kEmptyPitch,
                                             kEmptyPitch, kEmptyPitch, kEmptyPitch, kEmptyPitch};
void ResetPitchHistory();

// One step of the running mean of cents: m the mean so far, v the next older value, k the count.
// Values on both sides of the +-50 cent seam are averaged across it.
double MergeCents(double m, double v, int k);

// Records the pitch in the history and writes the averaged "A4pitch" read-out in the window.
void ShowA4Pitch(double frequency);

// Pointer step from a line power: 32 for a loud line down to 0 for a faint or silent one.
int PointerStep(double power);

// Moves or clicks the pointer by the single strongest note.
void VoicePointerSingle(double frequency, double power);

}  // namespace dl
