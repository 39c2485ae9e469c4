#include "dialogs/option_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <iterator>

#include "dialogs/dialog_look.h"
#include "display/meter_strip.h"
#include "platform/message_box.h"
#include "resources/meter_names.h"
#include "resources/dialog_templates.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

using namespace option_ids;

struct Entry {
    const char* english;
    const char* japanese;
};

constexpr Entry kTimeSlices[] = {{"3 sec  ", "３秒"},    {"1.5 sec", "１.５秒"}, {"1 sec  ", "１秒"},
                                 {"1/3 sec", "1/3秒"},   {"1/5 sec", "1/5秒"},   {"1/11sec", "1/11秒"},
                                 {"1/22sec", "1/22秒"},  {"1/43sec", "1/43秒"},  {"1/86sec", "1/86秒"},
                                 {"1/172 s", "1/172秒"}, {"1/345 s", "1/345秒"}};
constexpr const char* kSizes[] = {"  128", "  256", "  512", " 1024", " 2048", " 4096", " 8192", "16384", "32768"};
constexpr Entry kWindows[] = {{"han     ", "ハニング"}, {"hamming ", "ハミング"}, {"blackman", "ﾌﾞﾗｯｸﾏﾝ"},
                              {"triangle", "三角"},     {"squar   ", "方形"},     {"gause4.2", "ｶﾞｳｽ4.24"},
                              {"gause6.5", "ｶﾞｳｽ6.50"}, {"taper   ", "テーパー"}};
constexpr Entry kKeys[] = {
    {"C-major/A-minor", "ハ長調・イ短調"},      {"Db-major/Bb-minor", "変ニ長調・変ロ短調"},
    {"D-major/B-minor", "ニ長調・ロ短調"},      {"Eb-major/C-minor", "変ホ長調・ハ短調"},
    {"E-major/C#-minor", "ホ長調・嬰ハ短調"},   {"F-major/D-minor", "ヘ長調・ニ短調"},
    {"Gb-major/Eb-minor", "変ト長調・変ホ短調"}, {"G-major/E-minor", "ト長調・ホ短調"},
    {"Ab-major/F-minor", "変イ長調・ヘ短調"},   {"A-major/F#-minor", "イ長調・嬰ヘ短調"},
    {"Bb-major/G-minor", "変ロ長調・ト短調"},   {"B-major/G#-minor", "ロ長調・嬰ト短調"}};
constexpr Entry kWaveModes[] = {{"normal", "通常ﾓｰﾄﾞ"}, {"sync", "ｼﾝｸﾛﾓｰﾄﾞ"}, {"auto", "自己相関"}, {"all", "全域ﾓｰﾄﾞ"}};
constexpr Entry kScrolls512[] = {{"6sec", "6秒ｽｸﾛｰﾙ"}, {"3sec", "3秒ｽｸﾛｰﾙ"}, {"1.5s", "1.5秒ｽｸﾛｰﾙ"}, {"1sec", "1秒ｽｸﾛｰﾙ"}};
constexpr Entry kScrolls1024[] = {{"12sec", "12秒ｽｸﾛｰﾙ"}, {"6sec", "6秒ｽｸﾛｰﾙ"}, {"3sec", "3秒ｽｸﾛｰﾙ"}, {"1.5s", "1.5秒ｽｸﾛｰﾙ"}};
constexpr Entry kPeakLabelKinds[] = {{"by figure", "数値表示"}, {"by name  ", "音名表示"}, {"name+pitch", "音名+ﾋﾟｯﾁ"}};
constexpr Entry kPeakMethods[] = {
    {"line centre", "線の中心"}, {"complex interpolation", "複素ｽﾍﾟｸﾄﾙ内挿法"}, {"precise estimator", "高精度推定"}};

template <size_t N>
void fill(Dialog& d, int id, const Entry (&entries)[N]) {
    for (const Entry& e : entries) d.add_item(id, JapaneseUi ? e.japanese : e.english);
}

void fill(Dialog& d, int id, const std::vector<MeterName>& names) {
    for (const MeterName& n : names) d.add_item(id, JapaneseUi ? n.japanese : n.english);
}

// A list's choice, or the stored value when the list shows none.
int chosen(const Dialog& d, int id, int stored) {
    const int s = d.selection(id);
    return s < 0 ? stored : s;
}

class OptionDialog : public StandardDialog {
public:
    OptionDialog(SettingsRecord& edited, const SettingsPreview& preview) : s_(edited), preview_(preview) {}

    void on_init(Dialog& d) override {
        if (PlatformVersion >= 863) relayout(d);
        StandardDialog::on_init(d);
        const SettingsRecord& s = s_;
        kept_rate_ = s.PlayRate;
        d.set_scroll(kRate, -240, 0, s.PlayRate);
        show_rate(d);
        d.set_checked(kHoldOff, s.PeakHold == 0);
        d.set_checked(kHoldDecay, s.PeakHold == 1);
        d.set_checked(kHoldConst, s.PeakHold == 2);
        kept_memdc_ = s.UseMemDC;
        kept_colour_ = s.ColorScale;

        fill(d, kWaveMode, kWaveModes);
        if (GraphWidth == 1024) fill(d, kWaveMode, kScrolls1024);
        else fill(d, kWaveMode, kScrolls512);
        d.select(kWaveMode, s.wavmode);
        fill(d, kKey, kKeys);
        d.select(kKey, s.ColourScaleKey);
        d.enable(kScaleLabel, s.ColorScale != 0);
        d.enable(kKey, s.ColorScale != 0);

        fill(d, kTimeSlice, kTimeSlices);
        int slice = -1;
        for (int i = 0; i <= 10; ++i)
            if (s.deltatime == (32768u >> i)) slice = i;
        d.select(kTimeSlice, slice);

        for (const char* size : kSizes) d.add_item(kFreqNum, size);
        d.select(kFreqNum, s.fftparam - 8);
        fill(d, kWindow, kWindows);
        d.select(kWindow, s.mado);

        d.set_checked(kMemDc, s.UseMemDC != 0);
        d.set_checked(kColour, s.ColorScale != 0);
        d.set_limit(kChartDot, 2);
        d.set_text(kChartDot, std::to_string(s.chartdot));
        d.set_limit(kPeaks, 3);
        d.set_text(kPeaks, std::to_string(s.freqnum));
        d.set_checked(kWithLevel, s.withlevel != 0);
        fill(d, kPeakLabels, kPeakLabelKinds);
        d.select(kPeakLabels, s.use_onmei);
        fill(d, kPeakMethod, kPeakMethods);
        d.select(kPeakMethod, s.precise_peaks ? 2 : s.use_complex ? 1 : 0);
        d.set_limit(kReference, 5);
        d.set_text(kReference, ReferenceText(s.reference_a4));
        fill(d, kLevelMeter, LevelMeterNames());
        d.select(kLevelMeter, s.level_meter);
        fill(d, kBallistics, BallisticsNames());
        d.select(kBallistics, s.meter_ballistics);
        d.set_limit(kTarget, 5);
        d.set_text(kTarget, TargetText(s.loudness_target));
        d.set_limit(kLatency, 4);
        d.set_text(kLatency, std::to_string(s.LatencyOffset));
        d.set_limit(kMemSize, 3);
        d.set_text(kMemSize, std::to_string(s.MemSize));
        d.set_checked(kOnMemory, s.OnMem != 0);
        enable_memory_size(d, s.OnMem != 0);
        d.focus(s.OnMem ? kMemSize : kOnMemory);
        d.set_checked(kMonochrome, s.monochrome != 0);
    }

    void on_command(Dialog& d, int id) override {
        SettingsRecord& s = s_;
        switch (id) {
            case kOnMemory: enable_memory_size(d, d.checked(kOnMemory)); break;
            case kMemDc:
                s.UseMemDC = d.checked(kMemDc);
                show(s);
                break;
            case kColour:
                s.ColorScale = d.checked(kColour);
                d.enable(kScaleLabel, s.ColorScale != 0);
                d.enable(kKey, s.ColorScale != 0);
                show(s);
                break;
            case kIdOk: accept(d); break;
            case kIdCancel:
                s.PlayRate = kept_rate_;
                s.UseMemDC = kept_memdc_;
                s.ColorScale = kept_colour_;
                show(s);
                d.end(0);
                break;
            default: break;
        }
    }

    void on_scroll(Dialog& d, int id, Scroll code, int position) override {
        if (id != kRate) return;
        int p = s_.PlayRate;
        switch (code) {
            case Scroll::LineLeft: p -= 1; break;
            case Scroll::LineRight: p += 1; break;
            case Scroll::PageLeft: p -= 10; break;
            case Scroll::PageRight: p += 10; break;
            case Scroll::ThumbPosition:
            case Scroll::ThumbTrack: p = position; break;
            case Scroll::Other: return;
        }
        s_.PlayRate = std::clamp(p, -240, 0);
        d.set_scroll_position(kRate, s_.PlayRate);
        show_rate(d);
        show(s_);
    }

private:
    void show(const SettingsRecord& s) const {
        if (preview_) preview_(s);
    }

    void show_rate(Dialog& d) const {
        char buf[16];
        d.set_text(kRateLabel, PlayRateLabel(s_.PlayRate, buf));
    }

    static void enable_memory_size(Dialog& d, bool on) {
        for (int id : {kMemSize, kMemSizeLabel, kMb}) d.enable(id, on);
    }

    void accept(Dialog& d) {
        SettingsRecord& s = s_;
        // The reference is checked first: a wrong one keeps the dialog open, nothing changed.
        const int reference = ReferenceFromText(d.text(kReference));
        if (reference == 0) {
            message_box({JapaneseUi ? "基準ピッチ A4 は 400.0 から 480.0 Hz の間で入力してください。"
                                    : "The tuning reference A4 must be between 400.0 and 480.0 Hz.",
                         "", true, MbIcon::Exclamation});
            d.focus(kReference);
            return;
        }
        const int target = LoudnessTargetFromText(d.text(kTarget));
        if (target == 0) {
            message_box({JapaneseUi ? "ラウドネスの目標値は -60.0 から -5.0 LUFS の間で入力してください。"
                                    : "The loudness target must be between -60.0 and -5.0 LUFS.",
                         "", true, MbIcon::Exclamation});
            d.focus(kTarget);
            return;
        }
        s.reference_a4 = reference;
        s.loudness_target = target;
        s.level_meter = chosen(d, kLevelMeter, s.level_meter);
        s.meter_ballistics = chosen(d, kBallistics, s.meter_ballistics);
        s.PeakHold = d.checked(kHoldDecay) ? 1 : d.checked(kHoldConst) ? 2 : 0;
        s.monochrome = d.checked(kMonochrome);
        s.wavmode = chosen(d, kWaveMode, s.wavmode);
        s.ColourScaleKey = chosen(d, kKey, s.ColourScaleKey);
        s.mado = chosen(d, kWindow, s.mado);
        s.fftparam = d.selection(kFreqNum) < 0 ? s.fftparam : d.selection(kFreqNum) + 8;
        if (const int slice = d.selection(kTimeSlice); slice >= 0 && slice <= 10) s.deltatime = 32768u >> slice;
        s.use_onmei = chosen(d, kPeakLabels, s.use_onmei);
        // Typed numbers are read as the settings file is, and kept within its ranges.
        set_setting_from_text(s, "chartdot", d.text(kChartDot).substr(0, 3));
        if (s.chartdot == 0) s.chartdot = 1;
        set_setting_from_text(s, "freqnum", d.text(kPeaks));
        set_setting_from_text(s, "LatencyOffset", d.text(kLatency));
        s.withlevel = d.checked(kWithLevel);
        // Choosing the precise estimator keeps use_complex as it was, for a return to it.
        switch (d.selection(kPeakMethod)) {
            case 0: s.use_complex = 0, s.precise_peaks = 0; break;
            case 1: s.use_complex = 1, s.precise_peaks = 0; break;
            case 2: s.precise_peaks = 1; break;
            default: break;
        }
        s.OnMem = d.checked(kOnMemory);
        set_setting_from_text(s, "MemSize", d.text(kMemSize));
        clamp_memory_size(s);
        d.end(1);
    }

    // From platform version 3.95 on the lists are widened by a scroll bar's width v (their
    // neighbours move along) and the play-rate bar is a scroll bar's height; the rows under it move
    // down by what it grew. Pixels of the dialog's client area.
    static void relayout(Dialog& d) {
        const int X = CellWidth, Y = CellHeight;
        const int v = std::max(d.scroll_bar_extent(), 2 * X + 1);
        // The template's bar is 8 units high; the rows below it make room for the rest.
        const int down = v + 2 - 8 * Y / 4;
        d.resize_dialog(168 * X / 4 + 3 * v, 255 * Y / 4 + down);
        d.resize(kFftGroup, 148 * X / 4 + 3 * v, 36 * Y / 4);
        d.resize(kDisplayGroup, v > 2 * X + 2 ? 165 * X / 4 + v : 174 * X / 4, 65 * Y / 4);
        d.resize(kKey, 83 * X / 4 + v, 0);
        d.resize(kTimeSlice, 35 * X / 4 + v, 0);
        d.move(kFreqNum, 69 * X / 4 + v, 23 * Y / 4);
        d.resize(kFreqNum, 33 * X / 4 + v, 0);
        d.move(kWindow, 112 * X / 4 + 2 * v, 23 * Y / 4);
        d.resize(kWindow, 41 * X / 4 + v, 0);
        d.move(kFreqNumLabel, 62 * X / 4 + v, 14 * Y / 4);
        d.move(kWindowLabel, 120 * X / 4 + 2 * v, 14 * Y / 4);
        d.resize(kWaveMode, 43 * X / 4 + v, 0);
        d.resize(kRate, 76 * X / 4 + 3 * v, v + 2);
        d.move(kRateLabel, 134 * X / 4 + 3 * v, 157 * Y / 4);
        d.move(kPeaksLabel, 8 * X / 4, 169 * Y / 4 + down);
        d.move(kPeaks, 49 * X / 4, 167 * Y / 4 + down);
        d.move(kPeakLabelsLabel, 69 * X / 4, 169 * Y / 4 + down);
        d.move(kPeakLabels, 94 * X / 4, 167 * Y / 4 + down);
        d.resize(kPeakLabels, 38 * X / 4 + v, 0);
        d.move(kWithLevel, 137 * X / 4 + v, 169 * Y / 4 + down);
        d.move(kPeakMethodLabel, 8 * X / 4, 182 * Y / 4 + down);
        d.move(kPeakMethod, 70 * X / 4, 180 * Y / 4 + down);
        d.resize(kPeakMethod, 90 * X / 4 + v, 0);
        d.move(kReferenceLabel, 8 * X / 4, 196 * Y / 4 + down);
        d.move(kReference, 70 * X / 4, 194 * Y / 4 + down);
        d.move(kReferenceUnit, 100 * X / 4, 196 * Y / 4 + down);
        d.move(kLevelMeterLabel, 8 * X / 4, 212 * Y / 4 + down);
        d.move(kLevelMeter, 70 * X / 4, 210 * Y / 4 + down);
        d.resize(kLevelMeter, 110 * X / 4 + v, 0);
        d.move(kBallisticsLabel, 8 * X / 4, 226 * Y / 4 + down);
        d.move(kBallistics, 70 * X / 4, 224 * Y / 4 + down);
        d.resize(kBallistics, 90 * X / 4 + v, 0);
        d.move(kTargetLabel, 8 * X / 4, 240 * Y / 4 + down);
        d.move(kTarget, 70 * X / 4, 238 * Y / 4 + down);
        d.move(kTargetUnit, 100 * X / 4, 240 * Y / 4 + down);
        d.move(kLatencyLabel, 118 * X / 4 + v, 196 * Y / 4 + down);
        d.move(kLatency, 154 * X / 4 + v, 194 * Y / 4 + down);
    }

    SettingsRecord& s_;
    const SettingsPreview& preview_;
    int kept_rate_ = 0, kept_memdc_ = 0, kept_colour_ = 0;
};

}  // namespace

std::string ReferenceText(int tenths) { return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10); }

namespace {

// Digits with a point or a comma, read by hand (the user's locale does not decide), after an
// optional minus sign; false for anything else.
bool read_decimal(const std::string& text, bool sign_allowed, double& value) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return false;
    const bool negative = sign_allowed && text[i] == '-';
    if (negative) ++i;
    double v = 0, scale = 0;
    int digits = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            if (scale == 0) v = v * 10 + (c - '0');
            else v += (c - '0') * (scale /= 10);
        } else if ((c == '.' || c == ',') && scale == 0) {
            scale = 1;
        } else {
            break;
        }
    }
    if (text.find_first_not_of(' ', i) != std::string::npos || digits == 0 || digits > 8) return false;
    value = negative ? -v : v;
    return true;
}

}  // namespace

int ReferenceFromText(const std::string& text) {
    double hz = 0;
    if (!read_decimal(text, false, hz) || !(hz >= 400.0 && hz <= 480.0)) return 0;
    return int(std::lround(hz * 10));
}

int LoudnessTargetFromText(const std::string& text) {
    double lufs = 0;
    if (!read_decimal(text, true, lufs) || !(lufs >= -60.0 && lufs <= -5.0)) return 0;
    return int(std::lround(lufs * 10));
}

const char* PlayRateLabel(int position, char (&buffer)[16]) {
    std::snprintf(buffer, sizeof buffer, "%.1f%%", std::pow(2.0, position / 120.0) * 100);
    return buffer;
}

int RunOptionDialog(SettingsRecord& edited, const SettingsPreview& preview) {
    OptionDialog handler(edited, preview);
    Dialog d(option_template(), StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
