#pragma once
// --pitch-track OUT.csv: the tracked pitch of every 10 ms of the sound, as a listing researchers
// load (time,f0_hz,note,cents,confidence; f0 and the rest empty where nothing was voiced).
#include <string>
#include <vector>

#include "analysis/pitch_track.h"

namespace dl {

class PitchListing {
public:
    // A sound of `channels` interleaved channels at `rate` Hz, read with the settings' window and
    // reference A4.
    PitchListing(double rate, int channels, int window_type, int reference_a4);

    // Interleaved samples (fractions of full scale), whole frames of all channels or not.
    void add(const float* samples, size_t count);
    // The same for sound that began `seconds` after the start: a gap before it is heard as silence,
    // so that every frame keeps its time.
    void add_at(double seconds, const float* samples, size_t count);
    // The sound has ended; the listing's text.
    std::string finish();

    const std::vector<PitchFrame>& frames() const { return frames_; }

private:
    PitchTrack track_;
    double rate_;
    int channels_;
    long long received_ = 0;  // frames of all channels so far
    std::vector<float> mono_;
    std::vector<float> partial_;  // the channels of a frame split between two calls
    std::vector<PitchFrame> frames_;
};

// The listing's text: its header and one line a frame.
std::string PitchTrackCsv(const std::vector<PitchFrame>& frames);

// Writes the listing to `path` whole, or says why it cannot on standard error and returns false.
bool WritePitchTrack(const std::string& path, const std::string& text);

}  // namespace dl
