#include "dialogs/record_port_dialog.h"

#include "audio/record_port.h"
#include "dialogs/dialog_look.h"
#include "platform/wave_device.h"
#include "resources/dialog_templates.h"
#include "resources/messages.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

using namespace record_port_ids;

class RecordPortDialog : public StandardDialog {
public:
    explicit RecordPortDialog(SettingsRecord& edited) : s_(edited) {}

    void on_init(Dialog& d) override {
        StandardDialog::on_init(d);
        SettingsRecord& s = s_;
        kept_freq_ = s.freq;
        kept_channel_ = s.channel;
        kept_bits_ = s.bits;
        // What the device cannot record is set to what it can, and its buttons are gray.
        const RecordFormatOffer offer = record_format_offer(WaveInFormatMask);
        const RecordFormatChoice fitted = fitted_record_format({s.bits, s.channel, s.freq}, WaveInFormatMask);
        s.bits = fitted.bits;
        s.channel = fitted.channel;
        s.freq = fitted.freq;
        d.set_checked(kStereo, s.channel == 2);
        d.set_checked(kMono, s.channel == 1);
        for (int id : {kChannelGroup, kStereo, kMono}) d.enable(id, offer.stereo);
        d.set_checked(k16, s.bits == 16);
        d.set_checked(k8, s.bits == 8);
        for (int id : {kBitsGroup, k16, k8}) d.enable(id, offer.sixteen_bit);
        // A rate no button shows (from the command line) stays as it is, unchecked.
        d.set_checked(k44, s.freq == 44100);
        d.set_checked(k22, s.freq == 22050);
        d.set_checked(k11, s.freq == 11025);
        for (int id : {kRateGroup, k22, k11}) d.enable(id, offer.above_11k);
        d.enable(k44, offer.above_11k && offer.at_44k);
    }

    void on_command(Dialog& d, int id) override {
        SettingsRecord& s = s_;
        switch (id) {
            case k44: s.freq = 44100; break;
            case k22: s.freq = 22050; break;
            case k11: s.freq = 11025; break;
            case kStereo: s.channel = 2; break;
            case kMono: s.channel = 1; break;
            case k16: s.bits = 16; break;
            case k8: s.bits = 8; break;
            case kIdOk:
                if (RecordFormatChoice f{s.bits, s.channel, s.freq}; CheckRecordFormat(f) == kWaveOk) {
                    s.bits = f.bits, s.channel = f.channel, s.freq = f.freq;
                    d.end(1);
                } else {
                    // Corrected in place: the dialog stays.
                    ReportMessage(kMsgFormatNotRecordable);
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
    SettingsRecord& s_;
    uint32_t kept_freq_ = 0;
    int16_t kept_channel_ = 0, kept_bits_ = 0;
};

}  // namespace

int RunRecordPortDialog(SettingsRecord& edited) {
    RecordPortDialog handler(edited);
    Dialog d(record_port_template(), StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
