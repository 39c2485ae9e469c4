#pragma once
// The spectrum of the weighting a block gets before its transform: the window over the block's m
// samples, the mean taken off first (none of either for the rectangular window). A tone's lines are
// this kernel shifted to the tone's frequency, which is what lets its frequency be read between them.
#include <complex>
#include <vector>

namespace dl {

class WindowKernel {
public:

    // Sum over the block of weight[j] * e^(-i theta j), theta in radians per sample.
    std::complex<double> at(double theta) const;
    // at(first + j step) for j < count into out: one rotation along the lines instead of a sine and a
    // cosine each.
    void at_steps(double first, double step, int count, std::complex<double>* out) const;
    // The rotations of one step, for a caller that reads many runs with the same step.
    struct StepTurns {
        double step = 0;
        std::complex<double> half, whole, phase, edge;
    };
    StepTurns step_turns(double step) const;
    void at_steps(double first, const StepTurns& turns, int count, std::complex<double>* out) const;
    // Sum over the block of weight[j]^2 * e^(-i theta j): how the noise of two lines theta apart
    // correlates. One pass over the block.
    std::complex<double> noise_at(double theta) const;
    // Whether the pipeline takes the block's mean off before weighting it.
    bool removes_mean() const { return !rectangular_; }
    int length() const { return m_; }

    // Half-width of the main lobe (its first minimum) in bins of the block (2 pi / m radians).
    double lobe_half_width() const { return lobe_; }
    // An upper bound of |K|^2 / |K(0)|^2 at u or more bins of the block from the centre, past the main
    // lobe (1 inside it).
    double sidelobe_bound(double u) const;

    // The kernel of window `type` over blocks of m samples (m >= 2); PreciseTables keeps the recent ones.
    WindowKernel(int type, int m);

private:
    friend class PreciseTables;  // keeps the recent kernels by their type and length
    // The real amplitude of the symmetric part at u bins of the block, by Hermite interpolation.
    double amplitude(double u) const;

    // The amplitude and its slope tabulated every `step` bins up to `reach`, and the largest
    // magnitude at each point or beyond. Near the centre finely; the side lobes further out, where
    // a tone's mirror image and the mean are read, coarsely (they are smooth on half a bin).
    struct Table {
        double step = 1;
        int points = 0;
        std::vector<double> value, slope, envelope;
        double at(double u) const;  // u < (points - 1) step
    };
    static constexpr int kNearSteps = 8, kNearReach = 16;  // points a bin, bins
    static constexpr int kFarSteps = 2, kFarReach = 128;
    void tabulate(Table& t, int steps, int reach, const std::vector<double>& w);

    int type_ = 0, m_ = 0, h_ = 0;
    bool rectangular_ = false;
    bool odd_ = false;        // an odd block's last sample is taken unweighted
    double centre_ = 0;       // the symmetric part's centre, (2h - 1) / 2
    double bins_ = 1;         // 2 pi / (2h): radians per bin of the symmetric part
    double lobe_ = 1;
    double edge_ = 0;         // the weight at the block's edges: past the tables the kernel is its step's
    Table near_, far_;
    std::vector<double> squares_;  // weight[j]^2 over the block
};

}  // namespace dl
