#include "dialogs/measure_dialog.h"

#include <string>

#include "dialogs/dialog_look.h"
#include "platform/message_box.h"
#include "resources/dialog_templates.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

using namespace measure_ids;

class MeasureDialog : public StandardDialog {
public:
    explicit MeasureDialog(SettingsRecord& edited) : s_(edited) {}

    void on_init(Dialog& d) override {
        StandardDialog::on_init(d);
        const SettingsRecord& s = s_;
        const bool j = JapaneseUi;
        for (const char* t : {j ? "なし" : "off", j ? "指数" : "exponential", j ? "直近のブロック" : "last blocks",
                              j ? "無限" : "infinite"})
            d.add_item(kAveraging, t);
        d.select(kAveraging, s.averaging);
        for (const char* t : {j ? "Z(なし)" : "Z (none)", "A", "C"}) d.add_item(kWeighting, t);
        d.select(kWeighting, s.weighting);
        for (const char* t : {j ? "和" : "mix", j ? "左と右" : "left and right", j ? "ミッドとサイド" : "mid and side",
                              j ? "差" : "difference"})
            d.add_item(kTraces, t);
        d.select(kTraces, s.traces);
        d.set_text(kResponse, std::to_string(s.average_ms));
        d.set_text(kBlocks, std::to_string(s.average_blocks));
        d.set_text(kHoldTime, std::to_string(s.hold_ms));
        for (int id : {kResponse, kBlocks, kHoldTime}) d.set_limit(id, 5);
        d.set_checked(kMaxHold, s.max_hold != 0);
        d.set_checked(kMinHold, s.min_hold != 0);
        d.set_checked(kMeterWeighting, s.meter_weighting != 0);
        d.set_checked(kPeakTrace, s.peak_trace != 0);
    }

    void on_command(Dialog& d, int id) override {
        if (id == kIdCancel) d.end(0);
        if (id == kIdOk) accept(d);
    }

private:
    // Typed numbers go through the settings' own reading and ranges; what had to be corrected is said
    // and the dialog stays open with nothing changed.
    void accept(Dialog& d) {
        SettingsRecord s = s_;
        std::vector<std::string> corrections;
        set_setting_from_text(s, "average_ms", d.text(kResponse), &corrections);
        set_setting_from_text(s, "average_blocks", d.text(kBlocks), &corrections);
        set_setting_from_text(s, "hold_ms", d.text(kHoldTime), &corrections);
        if (!corrections.empty()) {
            message_box({JapaneseUi ? "時定数は 25〜10000 ms、ブロック数は 2〜256、保持時間は 0〜10000 ms です。"
                                    : "The response is 25 to 10000 ms, the blocks 2 to 256, the hold time 0 to 10000 ms.",
                         "", true, MbIcon::Exclamation});
            return;
        }
        if (d.selection(kAveraging) >= 0) s.averaging = d.selection(kAveraging);
        if (d.selection(kWeighting) >= 0) s.weighting = d.selection(kWeighting);
        if (d.selection(kTraces) >= 0) s.traces = d.selection(kTraces);
        s.max_hold = d.checked(kMaxHold);
        s.min_hold = d.checked(kMinHold);
        s.meter_weighting = d.checked(kMeterWeighting);
        s.peak_trace = d.checked(kPeakTrace);
        s_ = s;
        d.end(1);
    }

    SettingsRecord& s_;
};

}  // namespace

int RunMeasureDialog(SettingsRecord& edited) {
    MeasureDialog handler(edited);
    Dialog d(measure_template(), StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
