#include "state/reset.h"

#include <gtest/gtest.h>

#include <string>

#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace {

// What one test or batch run leaves behind must not reach the next: hooks that would call into a
// finished run, a surface or buffers that are gone, settings that were overridden.
TEST(ResetProcessState, LeavesNothingOfTheLastRun) {
    int calls = 0;
    dl::Surface surface(10, 10);
    dl::Settings.fftparam = 16;
    dl::Settings.Decibel = false;
    dl::JapaneseUi = true;
    dl::LayoutUnits.CellWidth = 11;
    dl::FileName = "/tmp/x.wav";
    dl::WindowSurface = &surface;
    dl::SourceInfo.sample_rate = 48000;
    dl::SourceFormat.assign(18, 1);
    dl::SourceState = {dl::SourceMode::File, true};
    dl::SampleStorage[0].assign(100, 1);
    dl::SampleBuffers[0] = dl::SampleStorage[0].data();
    dl::AnalysisObserver = [&](double, const dl::BlockAnalysis&) { ++calls; };
    dl::ShiftHeldAtStart = [&] { return ++calls > 0; };
    dl::PeakHoldValues = {5, 6};
    dl::RunAnalyser.pitch_history.cents[7] = 12;
    dl::RunAnalyser.result.labels.emplace_back();

    dl::ResetProcessState();

    EXPECT_EQ(dl::Settings.fftparam, 12);
    EXPECT_TRUE(dl::Settings.Decibel);
    EXPECT_FALSE(dl::JapaneseUi);
    EXPECT_EQ(dl::CellWidth, 8);
    EXPECT_TRUE(dl::FileName.empty());
    EXPECT_EQ(dl::WindowSurface, nullptr);
    EXPECT_EQ(dl::SourceInfo.sample_rate, 0u);
    EXPECT_TRUE(dl::SourceFormat.empty());
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::None);
    EXPECT_EQ(dl::SampleBuffers[0], nullptr);
    EXPECT_TRUE(dl::SampleStorage[0].empty());
    EXPECT_FALSE(dl::AnalysisObserver);
    EXPECT_FALSE(dl::ShiftHeldAtStart);
    EXPECT_EQ(dl::PeakHoldValues[0], 0u);
    EXPECT_EQ(dl::RunAnalyser.pitch_history.cents[7], dl::kEmptyPitch);
    EXPECT_TRUE(dl::RunAnalyser.result.labels.empty());
    EXPECT_EQ(calls, 0);
}

// The records whose first values are not zeros come back to those, and the hooks to what the
// program installs none of: the transform's memory report writes to standard error again.
TEST(ResetProcessState, GivesEveryRecordItsFirstValue) {
    int reports = 0;
    dl::FftNoMemoryReport = [&](const std::string&) { ++reports; };
    dl::RunObserver = [&](dl::RunEvent) { ++reports; };
    dl::DarkScheme = false;
    dl::NoteReference = 440;
    dl::LevelScanStride = 99;
    dl::TimerReentry = 3;
    dl::RateFactor = 0.5;
    dl::TickPacing = false;
    dl::BufferCount = 1;
    dl::PresentAnalysedBlock = [&](dl::Dc&, const dl::BlockAnalysis&, dl::AnalysisPurpose) { ++reports; };
    dl::VoicePointerSteers = true;
    dl::PlatformVersion = 700;
    dl::LayoutUnits.GraphWidth = 1024;
    dl::ConversionInput.assign(10, 1);
    dl::RunAnalyser.mono_mix.assign(10, 1);
    dl::RunAnalyser.pitch_history.cents.fill(3);
    dl::BorderRop = dl::BorderRopKind::Blackness;

    dl::ResetProcessState();

    dl::FftNoMemoryReport("nomem 1");
    EXPECT_EQ(reports, 0);
    EXPECT_FALSE(dl::RunObserver);
    EXPECT_TRUE(dl::DarkScheme);
    EXPECT_EQ(dl::NoteReference, 1760.0);
    EXPECT_EQ(dl::LevelScanStride, 1u);
    EXPECT_EQ(dl::TimerReentry, 1);
    EXPECT_EQ(dl::RateFactor, 1.0);
    EXPECT_TRUE(dl::TickPacing);
    EXPECT_EQ(dl::BufferCount, 4);
    EXPECT_FALSE(dl::PresentAnalysedBlock);
    EXPECT_FALSE(dl::VoicePointerSteers);
    EXPECT_EQ(dl::PlatformVersion, dl::kThisPlatformVersion);
    EXPECT_EQ(dl::GraphWidth, 512);
    EXPECT_TRUE(dl::ConversionInput.empty());
    EXPECT_TRUE(dl::RunAnalyser.mono_mix.empty());
    EXPECT_EQ(dl::RunAnalyser.pitch_history.cents[0], dl::kEmptyPitch);
    EXPECT_EQ(dl::BorderRop, dl::BorderRopKind::None);
}

}  // namespace
