#include "dialogs/record_port_dialog.h"

#include "audio/record_port.h"
#include "dialogs/dialog_look.h"
#include "platform/message_box.h"
#include "platform/wave_device.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

using namespace record_port_ids;

// The input device's formats (WAVE_FORMAT_* bits).
constexpr uint32_t kAnyStereo = 0xAAA, kAny16Bit = 0xCCC, kAny22Or44k = 0xFF0, kAny44k = 0xF00;

class RecordPortDialog : public StandardDialog {
public:
    void on_init(Dialog& d) override {
        StandardDialog::on_init(d);
        SettingsRecord& s = Settings;
        kept_freq_ = s.freq;
        kept_channel_ = s.channel;
        kept_bits_ = s.bits;
        const uint32_t mask = WaveInFormatMask;

        if (mask & kAnyStereo) {
            d.set_checked(kStereo, s.channel == 2);
            d.set_checked(kMono, s.channel == 1);
        } else {
            s.channel = 1;
            d.set_checked(kMono, true);
            for (int id : {kChannelGroup, kStereo, kMono}) d.enable(id, false);
        }
        if (mask & kAny16Bit) {
            d.set_checked(k16, s.bits == 16);
            d.set_checked(k8, s.bits == 8);
        } else {
            s.bits = 8;
            d.set_checked(k8, true);
            for (int id : {kBitsGroup, k16, k8}) d.enable(id, false);
        }
        if (!(mask & kAny22Or44k)) {
            s.freq = 11025;
            d.set_checked(k11, true);
            for (int id : {kRateGroup, k44, k22, k11}) d.enable(id, false);
        } else {
            if (!(mask & kAny44k)) {
                if (s.freq == 44100) s.freq = 22050;
                d.enable(k44, false);
            }
            // A rate no button shows (from the command line) stays as it is, unchecked.
            d.set_checked(k44, s.freq == 44100);
            d.set_checked(k22, s.freq == 22050);
            d.set_checked(k11, s.freq == 11025);
        }
    }

    void on_command(Dialog& d, int id) override {
        SettingsRecord& s = Settings;
        switch (id) {
            case k44: s.freq = 44100; break;
            case k22: s.freq = 22050; break;
            case k11: s.freq = 11025; break;
            case kStereo: s.channel = 2; break;
            case kMono: s.channel = 1; break;
            case k16: s.bits = 16; break;
            case k8: s.bits = 8; break;
            case kIdOk:
                if (CheckRecordFormat() == kWaveOk) {
                    d.end(1);
                } else {
                    // Corrected in place: the dialog stays.
                    message_box({JapaneseUi ? "サウンドドライバは、この形式を録音できません。" : LoadStringText(33), "", true,
                                 MbIcon::Exclamation});
                }
                break;
            case kIdCancel:
                s.freq = kept_freq_;
                s.channel = kept_channel_;
                s.bits = kept_bits_;
                d.end(0);
                break;
            default: break;
        }
    }

private:
    uint32_t kept_freq_ = 0;
    int16_t kept_channel_ = 0, kept_bits_ = 0;
};

}  // namespace

int RunRecordPortDialog() {
    RecordPortDialog handler;
    Dialog d(record_port_template(), StandardDialogUnits(), handler);
    const int result = d.run();
    // What the user has just chosen (and the device accepts) is what is saved from now on.
    if (result == 1) ChosenRecordFormat.reset();
    return result;
}

}  // namespace dl
