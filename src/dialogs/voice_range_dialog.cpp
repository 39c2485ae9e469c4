#include "dialogs/voice_range_dialog.h"

#include "dialogs/dialog_look.h"
#include "resources/dialog_templates.h"
#include "state/settings.h"

namespace dl {

namespace {

using namespace voice_range_ids;

class VoiceRangeDialog : public StandardDialog {
public:
    explicit VoiceRangeDialog(SettingsRecord& edited) : s_(edited) {}

    void on_init(Dialog& d) override {
        StandardDialog::on_init(d);
        d.set_checked(kMale, s_.sex == 1);
        d.set_checked(kWomanOrChild, s_.sex == 2);
        // Nothing chosen yet: the keyboard starts on the choices (Down moves to the other, Enter takes it).
        if (s_.sex != 1 && s_.sex != 2) d.focus(kMale);
    }
    void on_command(Dialog& d, int id) override {
        if (id == kIdOk) {
            if (d.checked(kMale)) s_.sex = 1;
            else if (d.checked(kWomanOrChild)) s_.sex = 2;
            // Nothing checked: Enter takes the choice the keyboard is on (arrows move between
            // the two without checking either while neither is).
            else if (d.has_focus(kMale)) s_.sex = 1;
            else if (d.has_focus(kWomanOrChild)) s_.sex = 2;
            d.end(1);
        } else if (id == kIdCancel) {
            d.end(1);
        }
    }

private:
    SettingsRecord& s_;
};

}  // namespace

int RunVoiceRangeDialog(SettingsRecord& edited, bool for_pointer) {
    VoiceRangeDialog handler(edited);
    if (!for_pointer) {
        Dialog d(voice_range_template(), StandardDialogUnits(), handler);
        return d.run();
    }
    // A line more under the buttons: what the voice will do once a range is chosen.
    DialogTemplate asking = voice_range_template();
    asking.h += 12;
    asking.controls.push_back({kPurpose, ControlKind::Label, 8, 64, 138, 9, "Notes you sing will move the pointer.",
                               "歌う音でポインタが動きます。", nullptr});
    Dialog d(asking, StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
