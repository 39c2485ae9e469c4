#include "state/hooks.h"
#include "state/reset.h"

#include <gtest/gtest.h>

#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
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
    dl::CellWidth = 11;
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
    dl::PitchHistory[7] = 12;
    dl::TickAnalysis.labels.emplace_back();

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
    EXPECT_EQ(dl::PitchHistory[7], dl::kEmptyPitch);
    EXPECT_TRUE(dl::TickAnalysis.labels.empty());
    EXPECT_EQ(calls, 0);
}

}  // namespace
