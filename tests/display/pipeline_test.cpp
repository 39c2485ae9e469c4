#include "display/analysis_settings.h"
#include "display/pipeline_fixture.h"
#include "platform/message_box.h"
#include "state/analysis.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/view.h"
#include "support/test_support.h"

namespace dl_test {
namespace {

using PipelineTest = AnalysisTest;

TEST_F(PipelineTest, StereoFramesThatCancelLeaveASilentSpectrumAndKeepTheLastFrequency) {
    dl::SourceInfo.ChannelLayout = 3;
    dl::Settings.mado = 4;
    std::vector<int> frames;
    for (int i = 0; i < 4096; ++i) frames.insert(frames.end(), {1000, -1000});
    dl::RunAnalyser.peak.frequency = 123.0;
    tick(pcm16(frames));
    EXPECT_EQ(dl::RunAnalyser.peak.power, 0.0);
    EXPECT_EQ(dl::RunAnalyser.peak.bin, 0);
    EXPECT_EQ(dl::RunAnalyser.peak.frequency, 123.0);
    EXPECT_TRUE(texts(Readout::Peak).empty());
    EXPECT_TRUE(dl::RunAnalyser.mono_mix.empty());  // the mono mix lives for the tick only
}


TEST_F(PipelineTest, ConstantEightBitBlocksByWindow) {
    dl::SourceInfo.ChannelLayout = 0;
    dl::Settings.fftparam = 12;
    dl::Settings.mado = 0;  // "han     ": the mean goes, nothing is left
    tick(std::vector<uint8_t>(4096, 128));
    EXPECT_EQ(dl::RunAnalyser.peak.power, 0.0);
    EXPECT_TRUE(texts(Readout::Peak).empty());

    dl::Settings.mado = 4;  // "squar   ": the constant stays, all in line 0
    tick(std::vector<uint8_t>(4096, 200));
    EXPECT_EQ(dl::RunAnalyser.peak.bin, 0);
    EXPECT_NEAR(dl::RunAnalyser.peak.power, 72.0 * 72.0, 1e-6);
    EXPECT_EQ(texts(Readout::Peak), std::vector<std::string>{"Peak 0.000Hz  "});
    // 10 log10(5184 / 1000) - 0.5 = 6.65
    EXPECT_EQ(texts(Readout::Level), std::vector<std::string>{"  6db   "});
}

TEST_F(PipelineTest, FullScaleSineOnALine) {
    dl::Settings.fftparam = 12;
    dl::Settings.mado = 4;
    const int k = 100;
    tick(pcm16(sine(4096, k * 44100.0 / 4096, 16384, 44100, 0.3)));
    EXPECT_EQ(dl::RunAnalyser.peak.bin, k);
    EXPECT_NEAR(dl::RunAnalyser.peak.power, 67108864.0, 67108864.0 * 1e-4);
    EXPECT_DOUBLE_EQ(dl::RunAnalyser.peak.frequency, k * 44100.0 / 4096);
    EXPECT_EQ(texts(Readout::Peak), std::vector<std::string>{"Peak  1077Hz  "});
    EXPECT_EQ(texts(Readout::Level), std::vector<std::string>{"  0db   "});

    dl::Settings.Decibel = false;
    readouts.clear();
    tick(block_);
    // sqrt(67108864 / 70000000)
    EXPECT_EQ(texts(Readout::Level), std::vector<std::string>{"0.979 "});
}

TEST_F(PipelineTest, PeakFormatsByFrequency) {
    dl::Settings.fftparam = 12;
    dl::Settings.mado = 4;
    dl::SourceInfo.sample_rate = 4096;  // one hertz per line
    for (int k : {5, 50, 500}) tick(pcm16(sine(4096, k, 10000, 4096, 0.3)));
    EXPECT_EQ(texts(Readout::Peak),
              (std::vector<std::string>{"Peak 5.000Hz  ", "Peak 50.00Hz  ", "Peak 500.0Hz  "}));
}







TEST_F(PipelineTest, PitchReadoutOnlyAboveTheFloor) {
    // 11025 Hz, N = 4096: the floor is 40 lines, 107.7 Hz.
    dl::SourceInfo.sample_rate = 11025;
    dl::Settings.fftparam = 12;
    dl::Settings.mado = 4;
    for (int k : {39, 40}) tick(pcm16(sine(4096, k * 11025.0 / 4096, 10000, 11025)));
    EXPECT_TRUE(texts(Readout::A4).empty());
    tick(pcm16(sine(4096, 41 * 11025.0 / 4096, 10000, 11025)));
    EXPECT_EQ(texts(Readout::A4).size(), 1u);
}

TEST_F(PipelineTest, NotPcmIsRefusedInTheLevelArea) {
    dl::SourceInfo.format_tag = 0x55;
    tick(pcm16(sine(4096, 1000, 10000, 44100)));
    EXPECT_TRUE(readouts.empty());
    // White text on black around (39X, 2.5Y).
    bool white = false;
    for (int x = 39 * 8; x < 39 * 8 + 19 * 8; ++x)
        for (int y = 17; y < 17 + 15; ++y) white = white || window_->pixel(x, y) == dl::kWhite;
    EXPECT_TRUE(white);
}

// The scan reads a few hundred samples of a block at least, and never strides past 16000; the
// stride it used comes back with the block for the run to tune from.
TEST_F(PipelineTest, LevelScanStrideLimits) {
    dl::SourceInfo.ChannelLayout = 3;
    dl::LevelScanStride = 100000;
    dl::BlockBytes = 16384;
    tick(pcm16(std::vector<int>(64, 0)));
    EXPECT_EQ(dl::RunAnalyser.result.level_stride, 128u);
    dl::BlockBytes = 1u << 30;
    tick(pcm16(std::vector<int>(64, 0)));
    EXPECT_EQ(dl::RunAnalyser.result.level_stride, 16000u);
    dl::BlockBytes = 100;
    tick(pcm16(std::vector<int>(64, 0)));
    EXPECT_EQ(dl::RunAnalyser.result.level_stride, 1u);
    EXPECT_EQ(dl::LevelScanStride, 100000u) << "the run's stride is the run's to change";
}

TEST_F(PipelineTest, GraphTargetAndCopy) {
    dl::Settings.fftparam = 12;
    dl::Settings.freqnum = 1;
    dl::Settings.display = 109;
    dl::Settings.futosa = 2;
    dl::BorderRop = dl::BorderRopKind::Whiteness;
    const int edge = 512 + 8;
    tick(pcm16(sine(4096, 2000, 20000, 44100)));
    EXPECT_EQ(dl::DrawSurface, nullptr);
    EXPECT_EQ(window_->pixel(edge, 13 * 7), dl::kWhite);
    EXPECT_EQ(window_->pixel(edge, 13 * 7 + 255), dl::kWhite);
    EXPECT_EQ(texts(Readout::Label), std::vector<std::string>{" 2003"});

    // Off screen: the labels land on the surface, and the graph rectangle is copied.
    dl::Settings.UseMemDC = 1;
    dl::Surface off(1200, 400);
    off.fill(dl::Rgb{0, 0, 255});
    dl::Dc off_dc(off);
    dl::DrawSurface = &off_dc;
    window_->fill(dl::Rgb{0, 255, 0});
    tick(block_);
    EXPECT_EQ(dl::DrawSurface, &off_dc);
    int differing = 0, labelled = 0;
    for (int y = 13 * 7; y < 13 * 7 + 256; ++y)
        for (int x = 8; x < 8 + 512; ++x) {
            differing += window_->pixel(x, y) != off.pixel(x, y);
            labelled += off.pixel(x, y) != dl::Rgb{0, 0, 255};
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(labelled, 0);
    EXPECT_EQ(window_->pixel(edge, 13 * 7), (dl::Rgb{0, 255, 0}));  // no border repaint
    EXPECT_EQ(window_->pixel(7, 13 * 7), (dl::Rgb{0, 255, 0}));     // nothing outside the graph
}

TEST_F(PipelineTest, SinglePointerRunsOnEveryTickWithFewPeaks) {
    dl::Settings.fftparam = 12;
    dl::Settings.mado = 4;
    dl::Settings.sex = 1;
    dl::Settings.freqnum = 1;
    tick(pcm16(sine(4096, 61 * 44100.0 / 4096, 16000, 44100)));  // 656.8 Hz, loud
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseRightDown, 0, 0}, {dl::kMouseRightUp, 0, 0}}));
    pointer.clear();
    // Silence: no step, but the last tick's frequency still picks the band.
    tick(pcm16(std::vector<int>(4096, 0)));
    EXPECT_TRUE(pointer.empty());
    dl::RunAnalyser.peak.frequency = 260;
    tick(block_);
    EXPECT_EQ(pointer, (std::vector<PointerEvent>{{dl::kMouseMove, 0, 0}}));
    pointer.clear();
    dl::Settings.freqnum = 2;
    tick(pcm16(sine(4096, 61 * 44100.0 / 4096, 16000, 44100)));
    EXPECT_TRUE(pointer.empty());
}

TEST_F(PipelineTest, MissingWorkArraysSkipTheSpectrum) {
    dl::RunAnalyser.work.n = 256;  // sized for another transform
    dl::Settings.fftparam = 12;
    tick(pcm16(sine(4096, 1000, 10000, 44100)));
    EXPECT_TRUE(readouts.empty());
    EXPECT_EQ(dl::DrawSurface, nullptr);
}

}  // namespace
}  // namespace dl_test
