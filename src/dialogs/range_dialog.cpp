#include "dialogs/range_dialog.h"

#include <cerrno>
#include <cstdlib>

#include "dialogs/dialog_look.h"
#include "platform/format_text.h"
#include "platform/message_box.h"
#include "resources/dialog_templates.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace dl {

namespace {

using namespace range_ids;

// A whole number with nothing else around it but blanks.
bool ReadWhole(const std::string& text, int& v) {
    const char* p = text.c_str();
    while (*p == ' ') ++p;
    if (!*p) return false;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(p, &end, 10);
    while (*end == ' ') ++end;
    if (*end || errno != 0 || n < -1000000 || n > 1000000) return false;
    v = int(n);
    return true;
}

class RangeDialog : public StandardDialog {
public:
    explicit RangeDialog(SettingsRecord& edited) : s_(edited) {}

    void on_init(Dialog& d) override {
        StandardDialog::on_init(d);
        const SettingsRecord& s = s_;
        d.set_text(kLow, std::to_string(s.freq_low));
        d.set_text(kHigh, std::to_string(s.freq_high));
        d.set_text(kTop, std::to_string(s.db_top));
        d.set_text(kSpan, std::to_string(s.db_span));
        for (int id : {kLow, kHigh}) d.set_limit(id, 6);
        for (int id : {kTop, kSpan}) d.set_limit(id, 4);
    }

    void on_command(Dialog& d, int id) override {
        if (id == kIdCancel) d.end(0);
        if (id == kIdOk) accept(d);
        if (id == kWholeFrequency) {
            d.set_text(kLow, "0");
            d.set_text(kHigh, "0");
        }
        if (id == kOwnScale) d.set_text(kSpan, "0");
    }

private:
    // A range that does not hold is said and the dialog stays open with nothing changed.
    void accept(Dialog& d) {
        int low = 0, high = 0, top = 0, span = 0;
        const std::string why = CheckTypedRange(d.text(kLow), d.text(kHigh), d.text(kTop), d.text(kSpan),
                                                SourceInfo.sample_rate / 2.0, low, high, top, span);
        if (!why.empty()) {
            message_box({why, "", true, MbIcon::Exclamation});
            return;
        }
        s_.freq_low = low;
        s_.freq_high = high;
        s_.db_top = top;
        s_.db_span = span;
        d.end(1);
    }

    SettingsRecord& s_;
};

}  // namespace

std::string CheckTypedRange(const std::string& low, const std::string& high, const std::string& top,
                            const std::string& span, double nyquist, int& low_hz, int& high_hz, int& top_db,
                            int& span_db) {
    const bool j = JapaneseUi;
    int l = 0, h = 0, t = 0, w = 0;
    // Without a source the limit is the highest rate's.
    const double limit = nyquist > 0 ? nyquist : kMaxRangeHz;
    if (!ReadWhole(low, l) || !ReadWhole(high, h) || l < 0 || h < 0)
        return j ? "周波数は 0 以上の整数 (Hz) です。" : "The frequencies are whole numbers of Hz, 0 or more.";
    if (l > limit || h > limit)
        return format_text(j ? "周波数は 0〜%.0f Hz (音源のナイキスト周波数) です。"
                             : "The frequencies are 0 to %.0f Hz (the source's Nyquist frequency).",
                           limit);
    if ((l > 0 || h > 0) && l >= (h > 0 ? h : limit))
        return j ? "下限は上限より低くしてください (上限 0 はナイキスト周波数)。"
                 : "The low frequency must be below the high one (a high of 0 is the Nyquist frequency).";
    if (!ReadWhole(top, t) || t < kMinDbTop || t > kMaxDbTop)
        return format_text(j ? "上端は %d〜%d dBFS です。" : "The top is %d to %d dBFS.", kMinDbTop, kMaxDbTop);
    if (!ReadWhole(span, w) || (w != 0 && (w < kMinDbSpan || w > kMaxDbSpan)))
        return format_text(j ? "幅は 0 (標準の目盛) か %d〜%d dB です。"
                             : "The span is 0 (the scale's own) or %d to %d dB.",
                           kMinDbSpan, kMaxDbSpan);
    low_hz = l;
    high_hz = h;
    top_db = t;
    span_db = w;
    return "";
}

int RunRangeDialog(SettingsRecord& edited) {
    RangeDialog handler(edited);
    Dialog d(range_template(), StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
