#pragma once
// The momentary (400 ms) and short-term (3 s) loudness of the sound so far, read at a cost that
// does not grow with the window: the K-weighted energy of every frame (KWeighting) is kept with
// running sums of runs of frames, so a read adds up whole runs and at most one run's frames.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

// Below this no sound is measured: what a filter's state or a meter's running sums keep of sound
// long gone (digital silence after sound) reads as hundreds or thousands of negative LUFS.
inline constexpr double kQuietestLufs = -200;

class LoudnessWindows {
public:
    // `short_term`: the 3 s window is read too (the frames of 3 s are kept, not of 400 ms).
    LoudnessWindows(uint32_t rate, bool short_term);

    // The weighted energies of the next frames.
    void add(const double* energy, size_t count);
    void reset();

    // LUFS over the last 400 ms or 3 s, the time before the first frame counting as silence;
    // -infinity for silence. The short-term value is -infinity when it was not asked for.
    double momentary() const;
    double short_term() const;

private:
    // The mean energy of the last `frames` frames.
    double mean_energy(size_t frames) const;

    size_t frames_100ms_;
    size_t kept_;                   // frames of the longest window read
    std::vector<double> energy_;    // each frame's weighted energy, a ring of kept_ + kRun frames
    std::vector<double> run_sum_;   // the sum of each whole run of kRun frames, a ring
    double open_sum_ = 0;           // the run under way
    uint64_t written_ = 0;          // frames so far
    size_t at_ = 0, run_at_ = 0;    // where the next frame and the next run go in their rings
    size_t in_run_ = 0;             // frames in the run under way
};

}  // namespace dl
