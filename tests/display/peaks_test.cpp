#include <algorithm>
#include <random>

#include "analysis/fft.h"
#include "analysis/peak_candidates.h"
#include "analysis/peaks.h"
#include "analysis/pipeline_levels.h"
#include "analysis/pitch.h"
#include "display/analysis_settings.h"
#include "display/pipeline_fixture.h"
#include "display/voice_pointer.h"
#include "state/analysis.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/view.h"
#include "support/test_support.h"

namespace dl_test {
namespace {

// A spectrum of isolated lines, as the work arrays hold it after a tick.
class PeaksTest : public AnalysisTest {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        dl::Settings.freqnum = 4;
        dl::Settings.display = 110;
        // One hertz per line makes every line's frequency its index.
        dl::SourceInfo.sample_rate = 4096;
        re_.assign(4096, 0.0);
        im_.assign(4096, 0.0);
        surface_ = std::make_unique<dl::Surface>(1200, 400);
        target_ = std::make_unique<dl::Dc>(*surface_);
    }
    // A line of the given level in dB below full scale.
    void line(int k, double db) { re_[size_t(k)] = std::sqrt(dl::PowerReference(dl::AnalysisParamsOfSettings()) * std::pow(10, db / 10)); }
    int strongest() const {
        int best = 0;
        for (int k = 1; k < 2048; ++k)
            if (re_[size_t(k)] * re_[size_t(k)] + im_[size_t(k)] * im_[size_t(k)] >
                re_[size_t(best)] * re_[size_t(best)] + im_[size_t(best)] * im_[size_t(best)])
                best = k;
        return best;
    }
    // The peak list of the spectrum, drawn on the target.
    void list(uint32_t bytes = 8192, int first = -1, dl::PeakCandidates* gathered = nullptr) {
        dl::BlockAnalysis a;
        a.n = 4096;
        dl::ListPeaks(dl::RunAnalyser, dl::AnalysisParamsOfSettings(), dl::AnalysisPurpose::Both, re_.data(), im_.data(), first < 0 ? strongest() : first, 4096,
                      bytes, gathered, a);
        dl::SteerPointer(a.pointer);
        dl::DrawPeakList(*target_, a);
        record(a);
    }
    // The single-note pointer's steps for a strongest line, carried out.
    void single(double hz, double power) {
        std::vector<dl::PointerAction> actions;
        dl::VoicePointerSingle(dl::AnalysisParamsOfSettings(), dl::AnalysisPurpose::Both, hz, power, actions);
        dl::SteerPointer(actions);
    }
    void a4(double hz) {
        dl::BlockAnalysis a;
        dl::UpdateA4Pitch(dl::RunAnalyser, dl::AnalysisPurpose::Both, hz, a);
        record(a);
    }

    std::vector<double> re_, im_;
    std::unique_ptr<dl::Surface> surface_;
    std::unique_ptr<dl::Dc> target_;
};

TEST_F(PeaksTest, A4ReadoutAveragesTheLastEight) {
    a4(445);
    dl::ResetPitchHistory(dl::RunAnalyser);
    a4(880);
    EXPECT_EQ(texts(Readout::A4), (std::vector<std::string>{"A4pitch 445.0Hz  20cent", "A4pitch 440.0Hz   0cent"}));
    readouts.clear();
    dl::ResetPitchHistory(dl::RunAnalyser);
    for (double hz : {446.0, 434.0}) a4(hz);  // +23.4 and -23.8 cents
    EXPECT_EQ(texts(Readout::A4).back(), "A4pitch 440.0Hz   0cent");
    for (int i = 0; i < 20; ++i) a4(450);
    EXPECT_EQ(texts(Readout::A4).back(), "A4pitch 450.0Hz  39cent");
    dl::ResetPitchHistory(dl::RunAnalyser);
    for (double v : dl::RunAnalyser.pitch_history.cents) EXPECT_EQ(v, 4294967295.0);
}

TEST_F(PeaksTest, FiguresNamesAndCents) {
    line(440, -10);
    line(1000, -20);
    line(50, -25);
    list();
    EXPECT_EQ(texts(Readout::Label), (std::vector<std::string>{"440.0", " 1000", "50.00"}));

    readouts.clear();
    dl::Settings.use_onmei = 1;
    list();
    EXPECT_EQ(texts(Readout::Label), (std::vector<std::string>{"A4", "B5", "G1"}));

    // 14272 Hz over 4096 lines puts line 128 at 446 Hz; the floor is 139 Hz.
    readouts.clear();
    dl::SourceInfo.sample_rate = 14272;
    dl::Settings.use_onmei = 2;
    std::fill(re_.begin(), re_.end(), 0.0);
    line(128, -10);
    line(12, -20);  // 41.8 Hz, below the floor: no cents
    list();
    EXPECT_EQ(texts(Readout::Label), (std::vector<std::string>{"A4+23", "E1"}));
}

TEST_F(PeaksTest, RepeatedNotesGiveTheirRowToTheNextNote) {
    dl::Settings.use_onmei = 1;
    dl::Settings.display = 109;
    line(440, -10);
    line(445, -12);  // A4 again
    line(523, -14);
    list();
    EXPECT_EQ(texts(Readout::Label), (std::vector<std::string>{"A4", "C5"}));
    // C5 sits in the second row, and no third row is drawn.
    const int row = std::min((256 - dl::LabelFont.height) / 4, dl::LabelFont.height);
    auto inked = [&](int top) {
        int count = 0;
        for (int y = top; y < top + dl::LabelFont.height; ++y)
            for (int x = 0; x < 1200; ++x) count += surface_->pixel(x, y) == dl::kWhite;
        return count;
    };
    EXPECT_GT(inked(91 + row), 0);
    EXPECT_EQ(inked(91 + 2 * row), 0);
}

// The peaks after the first, found the slow way: the strongest strict local maximum strictly
// weaker than the last one, lowest line among equals.
std::vector<int> reference_peaks(const std::vector<double>& p, int first, int count) {
    std::vector<int> out{first};
    double last = p[size_t(first)];
    const int half = int(p.size());
    while (int(out.size()) < count) {
        double best = 0;
        int at = -1;
        for (int k = 0; k < half; ++k) {
            const double l = k > 0 ? p[size_t(k - 1)] : 0, r = k + 1 < half ? p[size_t(k + 1)] : 0;
            if (p[size_t(k)] > l && p[size_t(k)] > r && p[size_t(k)] < last && p[size_t(k)] > best) {
                best = p[size_t(k)];
                at = k;
            }
        }
        if (at < 0 || best < 0.0005) break;
        out.push_back(at);
        last = best;
    }
    return out;
}

TEST_F(PeaksTest, ManyPeaksInTheOrderOfTheSlowSearch) {
    dl::Settings.Decibel = true;
    std::mt19937 rng(7);
    // Few distinct levels, so equal peaks are common; three peaks wanted fill the pass's heap,
    // so the maxima below its weakest (and those equal to it) are left to another pass.
    std::uniform_int_distribution<int> level(0, 40);
    for (int trial = 0; trial < 6; ++trial) {
        dl::Settings.freqnum = trial < 3 ? 999 : 3;
        dl::Settings.katamuki = trial % 3 == 2;
        std::vector<double> p(2048);
        for (int k = 0; k < 2048; ++k) {
            re_[size_t(k)] = level(rng) * 10.0;
            im_[size_t(k)] = 0;
            p[size_t(k)] = re_[size_t(k)] * re_[size_t(k)];
            if (dl::Settings.katamuki) p[size_t(k)] = k == 0 ? p[0] * 0.5 / 4096 * 16 : p[size_t(k)] * k / 4096 * 16;
        }
        const int first = int(std::max_element(p.begin(), p.end()) - p.begin());
        const std::vector<int> want = reference_peaks(p, first, dl::Settings.freqnum);
        // Alone, and with the candidates gathered by the tick's pass over the lines.
        for (bool gathered : {false, true}) {
            readouts.clear();
            dl::PeakCandidates candidates;
            if (gathered) {
                std::vector<uint8_t> levels(4096);
                const dl::StrongestLine s = dl::ComputeLevelsAndStrongestLine(dl::AnalysisParamsOfSettings(), dl::RunAnalyser.level_range, 4096, levels.data(), re_.data(), im_.data(), &candidates,
                    dl::Settings.freqnum);
                EXPECT_EQ(s.bin, first);
            }
            list(8192, first, gathered ? &candidates : nullptr);
            std::vector<int> got;
            for (const std::string& t : texts(Readout::Label)) got.push_back(int(std::lround(std::stod(t))));
            EXPECT_EQ(got, want) << trial << gathered;
        }
    }
}

TEST_F(PeaksTest, ChordsSteerThePointer) {
    dl::Settings.freqnum = 3;
    dl::Settings.sex = 2;
    line(392, -10);  // G4 and G5: up
    line(784, -20);
    list();
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseMove, 0, -32}}));

    pointer.clear();
    std::fill(re_.begin(), re_.end(), 0.0);
    line(392, -38);  // G4 and D6, quieter: a smaller step
    line(1175, -45);
    list();
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseMove, 0, -2}}));

    pointer.clear();
    dl::Settings.sex = 1;
    std::fill(re_.begin(), re_.end(), 0.0);
    line(196, -10);  // G3 and G4
    line(392, -20);
    list();
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseMove, 0, -32}}));

    // A clicking chord needs a step of at least 2.
    pointer.clear();
    std::fill(re_.begin(), re_.end(), 0.0);
    line(262, -10);  // C4 and C5: left button
    line(523, -20);
    list();
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseLeftDown, 0, 0}, {dl::kMouseLeftUp, 0, 0}}));
    pointer.clear();
    std::fill(re_.begin(), re_.end(), 0.0);
    line(262, -41);
    line(523, -42);
    list();
    EXPECT_TRUE(pointer.empty());

    dl::Settings.sex = 0;
    std::fill(re_.begin(), re_.end(), 0.0);
    line(196, -10);
    line(392, -20);
    list();
    EXPECT_TRUE(pointer.empty());

    // Switched off, the same chord with a voice range steers nothing.
    dl::Settings.sex = 1;
    dl::Settings.VoicePointer = 0;
    list();
    EXPECT_TRUE(pointer.empty());
    dl::Settings.VoicePointer = 1;
    list();
    EXPECT_FALSE(pointer.empty());
}

TEST_F(PeaksTest, SingleNotePointer) {
    dl::Settings.sex = 1;
    const double ref = dl::PowerReference(dl::AnalysisParamsOfSettings());
    single(520, ref * std::pow(10, -3.9));  // -39 dB: a click
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseLeftDown, 0, 0}, {dl::kMouseLeftUp, 0, 0}}));
    pointer.clear();
    single(520, ref * std::pow(10, -4.0));  // -40 dB: too quiet
    EXPECT_TRUE(pointer.empty());
    const std::vector<std::pair<double, PointerEvent>> moves = {
        {260, {dl::kMouseMove, 0, 32}}, {330, {dl::kMouseMove, -32, 0}},
        {400, {dl::kMouseMove, 0, -32}}, {460, {dl::kMouseMove, 32, 0}}};
    for (const auto& [hz, event] : moves) {
        pointer.clear();
        single(hz, ref / 100);
        EXPECT_EQ(pointer, std::vector<PointerEvent>{event}) << hz;
    }
    pointer.clear();
    single(247, ref);  // band edges are outside
    single(100, ref);
    EXPECT_TRUE(pointer.empty());
    dl::Settings.sex = 2;
    single(1300, ref);  // 622..698 doubled: right button
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseRightDown, 0, 0}, {dl::kMouseRightUp, 0, 0}}));
    EXPECT_EQ(dl::PointerStep(dl::AnalysisParamsOfSettings(), 0), 0);
    pointer.clear();
    dl::Settings.VoicePointer = 0;  // switched off: nothing, whatever the voice range
    single(1300, ref);
    single(520, ref);
    EXPECT_TRUE(pointer.empty());
}

TEST_F(PeaksTest, WeakSpectraEndTheListAndSilenceDrawsNothing) {
    list();
    EXPECT_TRUE(readouts.empty());
    line(300, -10);
    line(600, -120);  // below the weakest drawn power
    list();
    EXPECT_EQ(texts(Readout::Label), std::vector<std::string>{"300.0"});
}

TEST_F(PeaksTest, TuningViewWritesEveryLabelInTheBottomLine) {
    dl::Settings.display = 111;
    dl::Settings.use_onmei = 1;
    line(440, -10);
    line(880, -20);
    list();
    const int bottom = 13 * 7 + 256 - 2 * 7;
    int inked = 0, above = 0;
    for (int x = 0; x < 1200; ++x) {
        for (int y = bottom; y < bottom + dl::LabelFont.height; ++y) inked += surface_->pixel(x, y) != dl::kBlack;
        for (int y = 0; y < bottom; ++y) above += surface_->pixel(x, y) != dl::kBlack;
    }
    EXPECT_GT(inked, 0);
    EXPECT_EQ(above, 0);
    EXPECT_EQ(target_->bk_mode(), dl::BkMode::Opaque);
}

TEST_F(PeaksTest, TuningLineLeavesOutAWeakerLabelThatWouldPrintOverAStrongerOne) {
    dl::Settings.display = 111;
    dl::Settings.use_onmei = 1;
    const int bottom = 13 * 7 + 256 - 2 * 7;
    auto bottom_line = [&] {
        std::vector<dl::Rgb> ink;
        for (int y = bottom; y < bottom + dl::LabelFont.height; ++y)
            for (int x = 0; x < 1200; ++x) ink.push_back(surface_->pixel(x, y));
        return ink;
    };
    auto draw = [&](std::initializer_list<std::pair<int, double>> lines) {
        re_.assign(4096, 0.0);
        surface_ = std::make_unique<dl::Surface>(1200, 400);
        target_ = std::make_unique<dl::Dc>(*surface_);
        for (auto [k, db] : lines) line(k, db);
        list();
        return bottom_line();
    };
    const std::vector<dl::Rgb> alone = draw({{440, -10}});
    // 466 Hz (A#4) lands a few pixels from A4 on the log axis: it is left out, A4 stays whole.
    EXPECT_EQ(draw({{440, -10}, {466, -20}}), alone);
    // 880 Hz (A5) has room of its own: both are drawn.
    const std::vector<dl::Rgb> apart = draw({{440, -10}, {880, -20}});
    EXPECT_NE(apart, alone);
    size_t kept = 0;
    for (size_t i = 0; i < alone.size(); ++i) kept += alone[i] != dl::kBlack && apart[i] == alone[i];
    EXPECT_GT(kept, 0u);
}

TEST_F(PeaksTest, ComplexRefinementFeedsTheLabelsAndThePitch) {
    dl::SourceInfo.sample_rate = 44100;
    dl::Settings.mado = 4;
    dl::Settings.use_complex = 1;
    dl::Settings.use_onmei = 2;
    dl::Settings.freqnum = 1;
    for (int i = 0; i < 4096; ++i) re_[size_t(i)] = 12000 * std::sin(2 * std::numbers::pi * 446 * i / 44100);
    std::fill(im_.begin(), im_.end(), 0.0);
    dl::fft2(re_.data(), im_.data(), 12, -1);
    list();
    EXPECT_EQ(texts(Readout::Label), std::vector<std::string>{"A4+23"});
    EXPECT_EQ(texts(Readout::A4), std::vector<std::string>{"A4pitch 446.0Hz  23cent"});
}

}  // namespace
}  // namespace dl_test
