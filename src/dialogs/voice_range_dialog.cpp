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
    }
    void on_command(Dialog& d, int id) override {
        if (id == kIdOk) {
            if (d.checked(kMale)) s_.sex = 1;
            else if (d.checked(kWomanOrChild)) s_.sex = 2;
            d.end(1);
        } else if (id == kIdCancel) {
            d.end(1);
        }
    }

private:
    SettingsRecord& s_;
};

}  // namespace

int RunVoiceRangeDialog(SettingsRecord& edited) {
    VoiceRangeDialog handler(edited);
    Dialog d(voice_range_template(), StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
