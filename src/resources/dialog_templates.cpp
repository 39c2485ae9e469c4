#include "resources/dialog_templates.h"

namespace dl {

namespace {
using K = ControlKind;
}  // namespace

const DialogTemplate& option_template() {
    static const DialogTemplate t = {
        "Option", "Option", "オプション設定", 189, 255,
        {
            {129, K::GroupBox, 8, 3, 174, 36, "FFT Setting", "FFT設定", nullptr},
            {145, K::Label, 13, 14, 52, 11, "&Time slice", "時間分解能(&T)", nullptr},
            {128, K::DropList, 20, 23, 42, 46, nullptr, nullptr, "deltatime"},
            {146, K::Label, 71, 14, 61, 11, "freq &Num", "周波数分解能(&N)", nullptr},
            {147, K::DropList, 78, 23, 40, 44, nullptr, nullptr, "fftparam"},
            {148, K::Label, 138, 14, 38, 11, "&Window", "窓関数(&W)", nullptr},
            {149, K::DropList, 130, 23, 48, 48, nullptr, nullptr, "mado"},
            {137, K::GroupBox, 8, 44, 174, 65, "display setting", "表示設定", nullptr},
            {138, K::CheckBox, 14, 54, 159, 10, "flicker free using memory &DC", "ﾒﾓﾘDCを使って、ちらつきを防止する(&D)",
             "UseMemDC"},
            {139, K::CheckBox, 14, 64, 159, 11, "display &Color for soundscale", "棒グラフ時、音階を色で表示する(&C)",
             "ColorScale"},
            {150, K::Label, 38, 76, 49, 10, "&Scale:", "スケール(&S):", nullptr},
            {136, K::DropList, 87, 75, 90, 48, nullptr, nullptr, "ColourScaleKey"},
            {190, K::CheckBox, 14, 85, 50, 10, "monochrome", "ﾓﾉｸﾛ", "monochrome"},
            {191, K::Label, 13, 96, 54, 10, "ch&art 1 data", "ﾁｬｰﾄ時1ﾃﾞｰﾀ(&A)", nullptr},
            {135, K::Edit, 68, 93, 10, 12, nullptr, nullptr, "chartdot"},
            {192, K::Label, 80, 95, 46, 11, "dot  &Pattern", "dot   波形(&P) ", nullptr},
            {151, K::DropList, 127, 93, 50, 48, nullptr, nullptr, "wavmode"},
            {130, K::GroupBox, 8, 111, 89, 40, "Memory Setting", "メモリ設定", nullptr},
            {124, K::CheckBox, 11, 123, 82, 11, "&On Memory", "オンメモリ解析(&O)", "OnMem"},
            {126, K::Label, 11, 137, 42, 11, "&MemSize", "ﾒﾓﾘｻｲｽﾞ(&M)", nullptr},
            {125, K::Edit, 55, 135, 23, 12, nullptr, nullptr, "MemSize"},
            {127, K::Label, 80, 138, 14, 8, "MB", nullptr, nullptr},
            {131, K::GroupBox, 102, 111, 38, 40, "peak&Hold", nullptr, nullptr},
            {132, K::Radio, 107, 121, 30, 9, "Off", nullptr, "PeakHold 0"},
            {133, K::Radio, 107, 130, 30, 9, "Decay", "減衰", "PeakHold 1"},
            {134, K::Radio, 107, 139, 30, 9, "Const", "定常", "PeakHold 2"},
            {kIdOk, K::DefaultButton, 145, 115, 37, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 145, 137, 37, 14, "CANCEL", "ｷｬﾝｾﾙ", nullptr},
            {140, K::Label, 8, 157, 48, 11, "play &Rate:", "再生速度(&R):", nullptr},
            {141, K::HScrollBar, 55, 157, 97, 8, nullptr, nullptr, "play rate"},
            {142, K::Label, 155, 157, 25, 8, "100.0%", nullptr, nullptr},
            {193, K::Label, 8, 169, 42, 8, "D&isplay", "(&I)ピークを", nullptr},
            {195, K::Edit, 50, 167, 20, 12, nullptr, nullptr, "freqnum"},
            {194, K::Label, 71, 169, 25, 8, "peaks &by", "個まで (&B)", nullptr},
            {197, K::DropList, 96, 167, 45, 40, nullptr, nullptr, "use_onmei"},
            {196, K::CheckBox, 145, 169, 60, 9, "with &level", nullptr, "withlevel"},
            // The peak-frequency method: the line, the complex-spectrum interpolation, the precise estimator.
            {199, K::Label, 8, 182, 62, 8, "&Use for peaks:", "ﾋﾟｰｸ位置推定(&U):", nullptr},
            {198, K::DropList, 70, 180, 90, 40, nullptr, nullptr, "use_complex, precise_peaks"},
            {206, K::Label, 8, 196, 62, 8, "tuning A4 r&ef.", "基準ﾋﾟｯﾁA4(&E)", nullptr},
            {207, K::Edit, 70, 194, 28, 12, nullptr, nullptr, "reference_a4"},
            {208, K::Label, 100, 196, 14, 8, "Hz", nullptr, nullptr},
            // The meter strip under the graph, how its bars move, the loudness target.
            {209, K::Label, 8, 212, 62, 8, "le&vel meter:", "ﾚﾍﾞﾙﾒｰﾀｰ(&V):", nullptr},
            {210, K::DropList, 70, 210, 110, 50, nullptr, nullptr, "level_meter"},
            {211, K::Label, 8, 226, 62, 8, "ballistics t&ype:", "ﾒｰﾀｰの動特性(&Y):", nullptr},
            {212, K::DropList, 70, 224, 90, 60, nullptr, nullptr, "meter_ballistics"},
            {213, K::Label, 8, 240, 62, 8, "loudness tar&get:", "ﾗｳﾄﾞﾈｽ目標値(&G):", nullptr},
            {214, K::Edit, 70, 238, 28, 12, nullptr, nullptr, "loudness_target"},
            {215, K::Label, 100, 240, 20, 8, "LUFS", nullptr, nullptr},
        }};
    return t;
}

const DialogTemplate& record_port_template() {
    static const DialogTemplate t = {
        "RecOpen", "monitering record port", "録音ポートをモニタする", 236, 74,
        {
            {kIdOk, K::DefaultButton, 183, 13, 40, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 183, 35, 40, 14, "CANCEL", nullptr, nullptr},
            {152, K::GroupBox, 10, 8, 60, 57, "&Freq", "周波数(&F)", nullptr},
            {153, K::Radio, 19, 22, 39, 10, "44 kHz", nullptr, "freq 44100"},
            {154, K::Radio, 19, 34, 39, 10, "22 kHz", nullptr, "freq 22050"},
            {155, K::Radio, 19, 46, 39, 10, "11 kHz", nullptr, "freq 11025"},
            {156, K::GroupBox, 80, 8, 92, 24, "&Channel", "チャンネル数(&C)", nullptr},
            {157, K::Radio, 85, 20, 35, 10, "Stereo", nullptr, "channel 2"},
            {158, K::Radio, 123, 20, 45, 10, "Monaural", nullptr, "channel 1"},
            {159, K::GroupBox, 80, 40, 92, 24, "b&its", "ビット数(&I)", nullptr},
            {160, K::Radio, 88, 51, 33, 10, "16 bit", nullptr, "bits 16"},
            {161, K::Radio, 131, 51, 31, 10, "8 bit", nullptr, "bits 8"},
        }};
    return t;
}

const DialogTemplate& about_template() {
    static const DialogTemplate t = {
        "ABOUT", "About dewlark", nullptr, 151, 69,
        {
            {kIdOk, K::DefaultButton, 112, 7, 31, 14, "OK", nullptr, nullptr},
            {200, K::Icon, 5, 6, 16, 14, nullptr, nullptr, nullptr},
            {201, K::Label, 30, 7, 81, 9, "dewlark Version " DEWLARK_VERSION, nullptr, nullptr},
            {202, K::RightLabel, 64, 27, 80, 9, "", nullptr, nullptr},
            {203, K::Label, 30, 27, 34, 9, "", nullptr, nullptr},
            {205, K::Label, 30, 40, 115, 9, "sound monitor and spectrum analyser", "音のモニタとスペクトル解析", nullptr},
            {204, K::Label, 6, 56, 139, 9, "", nullptr, nullptr},
        }};
    return t;
}

const DialogTemplate& voice_range_template() {
    static const DialogTemplate t = {
        "setting", "Voice range", "設定", 151, 69,
        {
            {129, K::GroupBox, 8, 3, 134, 36, "Voice", "声域", nullptr},
            {132, K::Radio, 16, 16, 60, 9, "Adult male", "成人男性", "sex 1"},
            {133, K::Radio, 16, 25, 60, 9, "Woman or child", "女性｜子ども", "sex 2"},
            {kIdOk, K::DefaultButton, 10, 45, 37, 14, "OK", nullptr, nullptr},
            {kIdCancel, K::Button, 50, 45, 37, 14, "CANCEL", nullptr, nullptr},
        }};
    return t;
}

}  // namespace dl
