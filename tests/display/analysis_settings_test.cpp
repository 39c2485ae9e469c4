// The analysis' parameters as the settings, the source and the run give them.
#include <gtest/gtest.h>

#include "analysis/measured_spectrum.h"
#include "display/analysis_settings.h"
#include "state/reset.h"
#include "state/run.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace {

constexpr double kRate = 44100;

class AnalysisSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dl::ResetProcessState();
        dl::SourceInfo.sample_rate = uint32_t(kRate);
    }
    void TearDown() override { dl::ResetProcessState(); }
};

TEST_F(AnalysisSettingsTest, ABlockStandsForThePictureItMakes) {
    // A stereo 16-bit block of 4096 frames at 44.1 kHz plays 92.9 ms.
    dl::SourceInfo.ChannelLayout = 3;
    dl::BufferCount = 4;
    EXPECT_NEAR(dl::MeasureTickSeconds(dl::AnalysisParamsOfSettings(), 4096 * 4), 4096 / kRate, 1e-9);
    // Pictures on their own clock overlap their blocks: each counts for its period, so that a
    // response time stays one in time however often the picture comes.
    dl::DisplayPeriod = 33;
    EXPECT_NEAR(dl::MeasureTickSeconds(dl::AnalysisParamsOfSettings(), 4096 * 4), 0.033, 1e-9);
    dl::DisplayPeriod = 0;
    dl::BufferCount = 1;
    dl::TimerPeriod = 50;
    EXPECT_NEAR(dl::MeasureTickSeconds(dl::AnalysisParamsOfSettings(), 4096 * 4), 0.050, 1e-9);
}

}  // namespace
