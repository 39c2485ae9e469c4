#pragma once
// The pitch of a sound frame by frame on a hop of its own (10 ms of sound), whatever the time slice
// and transform size the spectrum uses: every frame reads the samples around its time, so a
// listing of the sung line has a value every 10 ms of the sound, however fast or slowly it plays.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/f0_tracker.h"
#include "analysis/precise_tables.h"
#include "analysis/window_table.h"

namespace dl {

struct PitchFrame {
    double time = 0;  // s of sound at the frame's centre
    bool voiced = false;
    double frequency = 0;   // Hz
    double confidence = 0;  // 0 to 1
    std::string note;       // against the reference A4
    double cents = 0;
    double inharmonicity = 0;  // a stiff string's B; frequency is then its first partial's
};

// A note followed with this confidence or more, whose pitch stepped more than kMovingCents from one
// frame to the next three times or more within the last 100 ms, is read from a shorter frame.
inline constexpr double kShortFrameConfidence = 0.9;
inline constexpr double kMovingCents = 3;

// What reading one frame keeps between frames: the note followed, the room the work takes.
struct PitchFrameReader {
    FundamentalTrackRecord track;
    double confidence = 0;  // of the frame read last (0: unvoiced)
    double last = 0;        // Hz, the frame read last (0: unvoiced)
    std::array<double, 10> steps{};  // cents from frame to frame, the last ten
    size_t next_step = 0;
    void note_moved(double frequency);
    bool moving() const;
    PreciseTables tables;
    std::array<WindowTableRecord, 3> windows;  // the whole frame's and the two shorter ones'
    std::vector<double> re, im;
};

// The pitch of one frame of `count` mono samples (fractions of full scale) of a sound of `rate` Hz:
// read from the frame's own spectrum (window `type`), so that nothing outside the frame pulls it.
// Notes are named against `reference_a4` (tenths of a hertz).
void ReadPitchFrame(PitchFrameReader& reader, const float* x, int count, double rate, int type, int reference_a4,
                    PitchFrame& frame);

// Samples a frame reads at `rate`: two periods of the lowest note, and at least 40 ms to compare them.
int PitchFrameLength(double rate);

class PitchTrack {
public:
    static constexpr double kHopSeconds = 0.01;
    // The notes it names: the piano's, A0 to C8, with a little room.
    static constexpr double kLowest = 26.5, kHighest = 4400;  // Hz

    // A sound of `rate` Hz, its frames weighted by window `type` for their spectra, notes named
    // against `reference_a4` (tenths of a hertz).
    PitchTrack(double rate, int type, int reference_a4);

    // Mono samples (fractions of full scale) in the sound's order; each frame they complete is
    // appended to `frames`.
    void add(const float* mono, size_t count, std::vector<PitchFrame>& frames);
    // The sound has ended: the frames up to its end, read with silence after it.
    void finish(std::vector<PitchFrame>& frames);

    // Samples each frame reads, centred on its time.
    int frame_length() const { return length_; }

private:
    // The centre of frame k in samples from the sound's start.
    long long centre(long long k) const;
    // Reads the frames whose samples are all in; `ended`: and those past the sound's end.
    void read_frames(std::vector<PitchFrame>& frames, bool ended);

    double rate_;
    int type_, reference_a4_;
    int length_ = 2;            // samples a frame reads
    std::vector<float> held_;   // the sound from sample first_ on (before the start: silence)
    long long first_ = 0;       // the sound's sample held_[0] is
    long long received_ = 0;    // samples of sound so far
    long long next_frame_ = 0;  // the frame read next
    PitchFrameReader reader_;
};

}  // namespace dl
