#include "resources/dialog_templates.h"

namespace dl {

namespace {
using K = ControlKind;
namespace o = option_ids;
namespace r = record_port_ids;
namespace a = about_ids;
namespace v = voice_range_ids;
namespace m = measure_ids;
}  // namespace

const DialogTemplate& option_template() {
    static const DialogTemplate t = {
        "Option", "Option", "オプション設定", 189, 255,
        {
            {o::kFftGroup, K::GroupBox, 8, 3, 174, 36, "FFT Setting", "FFT設定", nullptr},
            {o::kTimeSliceLabel, K::Label, 13, 14, 52, 11, "&Time slice", "時間分解能(&T)", nullptr},
            {o::kTimeSlice, K::DropList, 20, 23, 42, 46, nullptr, nullptr, "deltatime"},
            {o::kFreqNumLabel, K::Label, 71, 14, 61, 11, "freq &Num", "周波数分解能(&N)", nullptr},
            {o::kFreqNum, K::DropList, 78, 23, 40, 44, nullptr, nullptr, "fftparam"},
            {o::kWindowLabel, K::Label, 138, 14, 38, 11, "&Window", "窓関数(&W)", nullptr},
            {o::kWindow, K::DropList, 130, 23, 48, 48, nullptr, nullptr, "mado"},
            {o::kDisplayGroup, K::GroupBox, 8, 44, 174, 65, "display setting", "表示設定", nullptr},
            {o::kMemDc, K::CheckBox, 14, 54, 159, 10, "flicker free using memory &DC", "ﾒﾓﾘDCを使って、ちらつきを防止する(&D)",
             "UseMemDC"},
            {o::kColour, K::CheckBox, 14, 64, 159, 11, "display &Color for soundscale", "棒グラフ時、音階を色で表示する(&C)",
             "ColorScale"},
            {o::kScaleLabel, K::Label, 38, 76, 49, 10, "&Scale:", "スケール(&S):", nullptr},
            {o::kKey, K::DropList, 87, 75, 90, 48, nullptr, nullptr, "ColourScaleKey"},
            {o::kMonochrome, K::CheckBox, 14, 85, 50, 10, "monochrome", "ﾓﾉｸﾛ", "monochrome"},
            {o::kChartDotLabel, K::Label, 13, 96, 54, 10, "ch&art 1 data", "ﾁｬｰﾄ時1ﾃﾞｰﾀ(&A)", nullptr},
            {o::kChartDot, K::Edit, 68, 93, 10, 12, nullptr, nullptr, "chartdot"},
            {o::kWaveModeLabel, K::Label, 80, 95, 46, 11, "dot  &Pattern", "ﾄﾞｯﾄ  波形(&P) ", nullptr},
            {o::kWaveMode, K::DropList, 127, 93, 50, 48, nullptr, nullptr, "wavmode"},
            {o::kMemoryGroup, K::GroupBox, 8, 111, 89, 40, "Memory Setting", "メモリ設定", nullptr},
            {o::kOnMemory, K::CheckBox, 11, 123, 82, 11, "&On Memory", "オンメモリ解析(&O)", "OnMem"},
            {o::kMemSizeLabel, K::Label, 11, 137, 42, 11, "&MemSize", "ﾒﾓﾘｻｲｽﾞ(&M)", nullptr},
            {o::kMemSize, K::Edit, 55, 135, 23, 12, nullptr, nullptr, "MemSize"},
            {o::kMb, K::Label, 80, 138, 14, 8, "MB", nullptr, nullptr},
            {o::kHoldGroup, K::GroupBox, 102, 111, 38, 40, "peak&Hold", "ﾋﾟｰｸﾎｰﾙﾄﾞ(&H)", nullptr},
            {o::kHoldOff, K::Radio, 107, 121, 30, 9, "Off", "なし", "PeakHold 0"},
            {o::kHoldDecay, K::Radio, 107, 130, 30, 9, "Decay", "減衰", "PeakHold 1"},
            {o::kHoldConst, K::Radio, 107, 139, 30, 9, "Const", "定常", "PeakHold 2"},
            {kIdOk, K::DefaultButton, 145, 115, 37, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 145, 137, 37, 14, "CANCEL", "ｷｬﾝｾﾙ", nullptr},
            {o::kRateTitle, K::Label, 8, 157, 48, 11, "play &Rate:", "再生速度(&R):", nullptr},
            {o::kRate, K::HScrollBar, 55, 157, 97, 8, nullptr, nullptr, "play rate"},
            {o::kRateLabel, K::Label, 155, 157, 25, 8, "100.0%", nullptr, nullptr},
            {o::kPeaksLabel, K::Label, 8, 169, 42, 8, "D&isplay", "(&I)ピークを", nullptr},
            {o::kPeaks, K::Edit, 50, 167, 20, 12, nullptr, nullptr, "freqnum"},
            {o::kPeakLabelsLabel, K::Label, 71, 169, 25, 8, "peaks &by", "個まで (&B)", nullptr},
            {o::kPeakLabels, K::DropList, 96, 167, 45, 40, nullptr, nullptr, "use_onmei"},
            {o::kWithLevel, K::CheckBox, 145, 169, 60, 9, "with &level", "ﾚﾍﾞﾙ付き(&L)", "withlevel"},
            // The peak-frequency method: the line, the complex-spectrum interpolation, the precise estimator.
            {o::kPeakMethodLabel, K::Label, 8, 182, 62, 8, "&Use for peaks:", "ﾋﾟｰｸ位置推定(&U):", nullptr},
            {o::kPeakMethod, K::DropList, 70, 180, 90, 40, nullptr, nullptr, "use_complex, precise_peaks"},
            {o::kReferenceLabel, K::Label, 8, 196, 62, 8, "tuning A4 r&ef.", "基準ﾋﾟｯﾁA4(&E)", nullptr},
            {o::kReference, K::Edit, 70, 194, 28, 12, nullptr, nullptr, "reference_a4"},
            {o::kReferenceUnit, K::Label, 100, 196, 14, 8, "Hz", nullptr, nullptr},
            // The meter strip under the graph, how its bars move, the loudness target.
            {o::kLevelMeterLabel, K::Label, 8, 212, 62, 8, "le&vel meter:", "ﾚﾍﾞﾙﾒｰﾀｰ(&V):", nullptr},
            {o::kLevelMeter, K::DropList, 70, 210, 110, 50, nullptr, nullptr, "level_meter"},
            {o::kBallisticsLabel, K::Label, 8, 226, 62, 8, "ballistics t&ype:", "ﾒｰﾀｰの動特性(&Y):", nullptr},
            {o::kBallistics, K::DropList, 70, 224, 90, 60, nullptr, nullptr, "meter_ballistics"},
            {o::kTargetLabel, K::Label, 8, 240, 62, 8, "loudness tar&get:", "ﾗｳﾄﾞﾈｽ目標値(&G):", nullptr},
            {o::kTarget, K::Edit, 70, 238, 28, 12, nullptr, nullptr, "loudness_target"},
            {o::kTargetUnit, K::Label, 100, 240, 20, 8, "LUFS", nullptr, nullptr},
            // What the sound takes to reach the ear beyond what the sound system reports.
            {o::kLatencyLabel, K::Label, 118, 196, 36, 8, "o&ffset ms", "遅延ms(&F)", nullptr},
            {o::kLatency, K::Edit, 154, 194, 26, 12, nullptr, nullptr, "LatencyOffset"},
        }};
    return t;
}

const DialogTemplate& record_port_template() {
    static const DialogTemplate t = {
        "RecOpen", "monitering record port", "録音ポートをモニタする", 236, 74,
        {
            {kIdOk, K::DefaultButton, 183, 13, 40, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 183, 35, 40, 14, "CANCEL", "ｷｬﾝｾﾙ", nullptr},
            {r::kRateGroup, K::GroupBox, 10, 8, 60, 57, "&Freq", "周波数(&F)", nullptr},
            {r::k44, K::Radio, 19, 22, 39, 10, "44 kHz", nullptr, "freq 44100"},
            {r::k22, K::Radio, 19, 34, 39, 10, "22 kHz", nullptr, "freq 22050"},
            {r::k11, K::Radio, 19, 46, 39, 10, "11 kHz", nullptr, "freq 11025"},
            {r::kChannelGroup, K::GroupBox, 80, 8, 92, 24, "&Channel", "チャンネル数(&C)", nullptr},
            {r::kStereo, K::Radio, 85, 20, 35, 10, "Stereo", "ｽﾃﾚｵ", "channel 2"},
            {r::kMono, K::Radio, 123, 20, 45, 10, "Monaural", "ﾓﾉﾗﾙ", "channel 1"},
            {r::kBitsGroup, K::GroupBox, 80, 40, 92, 24, "b&its", "ビット数(&I)", nullptr},
            {r::k16, K::Radio, 88, 51, 33, 10, "16 bit", "16ﾋﾞｯﾄ", "bits 16"},
            {r::k8, K::Radio, 131, 51, 31, 10, "8 bit", "8ﾋﾞｯﾄ", "bits 8"},
        }};
    return t;
}

const DialogTemplate& about_template() {
    static const DialogTemplate t = {
        "ABOUT", "About dewlark", "dewlarkについて", 151, 69,
        {
            {kIdOk, K::DefaultButton, 112, 7, 31, 14, "OK", nullptr, nullptr},
            {a::kIcon, K::Icon, 5, 6, 16, 14, nullptr, nullptr, nullptr},
            {a::kName, K::Label, 30, 7, 81, 9, "dewlark Version " DEWLARK_VERSION, "dewlark ﾊﾞｰｼﾞｮﾝ " DEWLARK_VERSION, nullptr},
            {a::kBuild, K::RightLabel, 64, 27, 80, 9, "", nullptr, nullptr},
            {a::kWordSize, K::Label, 30, 27, 34, 9, "", nullptr, nullptr},
            {a::kPurpose, K::Label, 30, 40, 115, 9, "sound monitor and spectrum analyser", "音のモニタとスペクトル解析", nullptr},
            {a::kDevices, K::Label, 6, 56, 139, 9, "", nullptr, nullptr},
        }};
    return t;
}

const DialogTemplate& voice_range_template() {
    static const DialogTemplate t = {
        "setting", "Voice range", "設定", 151, 69,
        {
            {v::kVoiceGroup, K::GroupBox, 8, 3, 134, 36, "Voice", "声域", nullptr},
            {v::kMale, K::Radio, 16, 16, 60, 9, "Adult male", "成人男性", "sex 1"},
            {v::kWomanOrChild, K::Radio, 16, 25, 60, 9, "Woman or child", "女性｜子ども", "sex 2"},
            {kIdOk, K::DefaultButton, 10, 45, 37, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 50, 45, 37, 14, "CANCEL", "ｷｬﾝｾﾙ", nullptr},
        }};
    return t;
}

const DialogTemplate& measure_template() {
    static const DialogTemplate t = {
        "Measure", "Measure", "測定", 189, 150,
        {
            {m::kAveragingLabel, K::Label, 8, 9, 50, 8, "&Averaging", "平均(&A)", nullptr},
            {m::kAveraging, K::DropList, 60, 7, 80, 60, nullptr, nullptr, "averaging"},
            {m::kResponseLabel, K::Label, 14, 24, 46, 8, "&Response", "時定数(&R)", nullptr},
            {m::kResponse, K::Edit, 60, 22, 30, 12, nullptr, nullptr, "average_ms"},
            {m::kResponseUnit, K::Label, 92, 24, 14, 8, "ms", nullptr, nullptr},
            {m::kBlocksLabel, K::Label, 108, 24, 28, 8, "&Blocks", "ブロック(&B)", nullptr},
            {m::kBlocks, K::Edit, 140, 22, 24, 12, nullptr, nullptr, "average_blocks"},
            {m::kHoldGroup, K::GroupBox, 8, 38, 174, 36, "Hold", "ホールド", nullptr},
            {m::kMaxHold, K::CheckBox, 14, 49, 50, 10, "Ma&x hold", "最大値(&X)", "max_hold"},
            {m::kMinHold, K::CheckBox, 14, 60, 50, 10, "Mi&n hold", "最小値(&N)", "min_hold"},
            {m::kHoldTimeLabel, K::Label, 70, 51, 40, 8, "Hold &time", "保持時間(&T)", nullptr},
            {m::kHoldTime, K::Edit, 112, 49, 30, 12, nullptr, nullptr, "hold_ms"},
            {m::kHoldTimeUnit, K::Label, 144, 51, 36, 8, "ms (0: inf.)", "ms (0: 無限)", nullptr},
            {m::kWeightingLabel, K::Label, 8, 82, 50, 8, "&Weighting", "周波数補正(&W)", nullptr},
            {m::kWeighting, K::DropList, 60, 80, 50, 40, nullptr, nullptr, "weighting"},
            {m::kMeterWeighting, K::CheckBox, 114, 81, 70, 10, "&meter strip", "メーター帯にも(&M)", "meter_weighting"},
            {m::kTracesLabel, K::Label, 8, 98, 50, 8, "&Channels", "チャンネル(&C)", nullptr},
            {m::kTraces, K::DropList, 60, 96, 80, 50, nullptr, nullptr, "traces"},
            {m::kPeakTrace, K::CheckBox, 14, 112, 160, 10, "&Peaks of the second trace", "第2トレースのピーク(&P)", "peak_trace"},
            {kIdOk, K::DefaultButton, 100, 130, 37, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 145, 130, 37, 14, "CANCEL", "ｷｬﾝｾﾙ", nullptr},
        }};
    return t;
}

const DialogTemplate& range_template() {
    namespace r = range_ids;
    static const DialogTemplate t = {
        "Range", "Range", "範囲", 189, 118,
        {
            {r::kFrequencyGroup, K::GroupBox, 8, 6, 174, 46, "Frequency (0 and 0: the whole range)", "周波数(0と0: 全範囲)", nullptr},
            {r::kLowLabel, K::Label, 14, 20, 30, 8, "&Low", "下限(&L)", nullptr},
            {r::kLow, K::Edit, 46, 18, 40, 12, nullptr, nullptr, "freq_low"},
            {r::kHighLabel, K::Label, 94, 20, 30, 8, "&High", "上限(&H)", nullptr},
            {r::kHigh, K::Edit, 126, 18, 40, 12, nullptr, nullptr, "freq_high"},
            {r::kHertz, K::Label, 168, 20, 12, 8, "Hz", nullptr, nullptr},
            {r::kWholeFrequency, K::Button, 46, 34, 80, 13, "&Whole range", "全範囲(&W)", nullptr},
            {r::kLevelGroup, K::GroupBox, 8, 56, 174, 40, "Decibel scale (span 0: its own)", "デシベル目盛(幅0: 標準)", nullptr},
            {r::kTopLabel, K::Label, 14, 68, 30, 8, "&Top", "上端(&T)", nullptr},
            {r::kTop, K::Edit, 46, 66, 30, 12, nullptr, nullptr, "db_top"},
            {r::kSpanLabel, K::Label, 94, 68, 30, 8, "&Span", "幅(&S)", nullptr},
            {r::kSpan, K::Edit, 126, 66, 30, 12, nullptr, nullptr, "db_span"},
            {r::kDecibels, K::Label, 158, 68, 22, 8, "dB", nullptr, nullptr},
            {r::kOwnScale, K::Button, 46, 81, 80, 13, "Scale's &own", "標準の目盛(&O)", nullptr},
            {kIdOk, K::DefaultButton, 100, 100, 37, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 145, 100, 37, 14, "CANCEL", "ｷｬﾝｾﾙ", nullptr},
        }};
    return t;
}

}  // namespace dl
