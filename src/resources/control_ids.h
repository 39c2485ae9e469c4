#pragma once

namespace dl {

// Control ids of the dialogs: the templates place the controls by them and the dialogs' code
// reads and writes them. Ids repeat between dialogs, never within one.

// Ids every dialog shares.
inline constexpr int kIdOk = 1, kIdCancel = 2;

namespace option_ids {
enum : int {
    kOnMemory = 124, kMemSize = 125, kMemSizeLabel = 126, kMb = 127,
    kTimeSlice = 128, kFftGroup = 129, kMemoryGroup = 130, kHoldGroup = 131,
    kHoldOff = 132, kHoldDecay = 133, kHoldConst = 134, kChartDot = 135, kKey = 136,
    kDisplayGroup = 137, kMemDc = 138, kColour = 139, kRateTitle = 140, kRate = 141, kRateLabel = 142,
    kTimeSliceLabel = 145, kFreqNumLabel = 146, kFreqNum = 147, kWindowLabel = 148, kWindow = 149,
    kScaleLabel = 150, kWaveMode = 151,
    kMonochrome = 190, kChartDotLabel = 191, kWaveModeLabel = 192,
    kPeaksLabel = 193, kPeakLabelsLabel = 194, kPeaks = 195, kWithLevel = 196, kPeakLabels = 197,
    kPeakMethod = 198, kPeakMethodLabel = 199,
    kReferenceLabel = 206, kReference = 207, kReferenceUnit = 208,
    kLevelMeterLabel = 209, kLevelMeter = 210, kBallisticsLabel = 211, kBallistics = 212, kTargetLabel = 213,
    kTarget = 214, kTargetUnit = 215,
    kLatencyLabel = 216, kLatency = 217,
};
}  // namespace option_ids

namespace record_port_ids {
enum : int {
    kRateGroup = 152, k44 = 153, k22 = 154, k11 = 155, kChannelGroup = 156, kStereo = 157, kMono = 158,
    kBitsGroup = 159, k16 = 160, k8 = 161,
};
}  // namespace record_port_ids

namespace about_ids {
enum : int { kIcon = 200, kName = 201, kBuild = 202, kWordSize = 203, kDevices = 204, kPurpose = 205 };
}  // namespace about_ids

namespace measure_ids {
enum : int {
    kAveragingLabel = 210, kAveraging = 211, kResponseLabel = 212, kResponse = 213, kResponseUnit = 214,
    kBlocksLabel = 215, kBlocks = 216, kHoldGroup = 217, kMaxHold = 218, kMinHold = 219, kHoldTimeLabel = 220,
    kHoldTime = 221, kHoldTimeUnit = 222, kWeightingLabel = 223, kWeighting = 224, kMeterWeighting = 225,
    kTracesLabel = 226, kTraces = 227, kPeakTrace = 228,
};
}  // namespace measure_ids

namespace range_ids {
enum : int {
    kFrequencyGroup = 230, kLowLabel = 231, kLow = 232, kHighLabel = 233, kHigh = 234, kHertz = 235,
    kWholeFrequency = 236, kLevelGroup = 237, kTopLabel = 238, kTop = 239, kSpanLabel = 240, kSpan = 241,
    kDecibels = 242, kOwnScale = 243,
};
}  // namespace range_ids

namespace voice_range_ids {
enum : int { kVoiceGroup = 129, kMale = 132, kWomanOrChild = 133, kPurpose = 134 };
}  // namespace voice_range_ids

}  // namespace dl
