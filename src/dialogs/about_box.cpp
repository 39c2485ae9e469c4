#include "dialogs/about_box.h"

#include "dialogs/dialog_look.h"
#include "platform/audio_system.h"
#include "platform/format_text.h"
#include "platform/system.h"
#include "resources/dialog_templates.h"
#include "state/shell.h"

namespace dl {

namespace {

using namespace about_ids;

class AboutBox : public StandardDialog {
public:
    void on_init(Dialog& d) override {
        StandardDialog::on_init(d);
        d.set_icon(kIcon, data_dir() + "/dewlark.png");
        // One version number, the build's, as --version prints it.
        d.set_text(kName, "dewlark Version " DEWLARK_VERSION);
        d.set_text(kBuild, JapaneseUi ? "ビルド " DEWLARK_BUILD_DATE : "built " DEWLARK_BUILD_DATE);
        // The word size of this build (a 64-bit program says so).
        const int bits = int(sizeof(void*) * 8);
        d.set_text(kWordSize, JapaneseUi ? format_text("%d bit 版", bits) : format_text("%d bits", bits));
        d.set_text(kDevices, DeviceCountLine(wave_in_device_count(), wave_out_device_count()));
    }
    void on_command(Dialog& d, int id) override {
        if (id == kIdOk || id == kIdCancel) d.end(1);
    }
};

}  // namespace

std::string DeviceCountLine(int record_devices, int play_devices) {
    return JapaneseUi ? format_text("録音ﾃﾞﾊﾞｲｽ=%2d個  再生ﾃﾞﾊﾞｲｽ=%2d個", record_devices, play_devices)
                      : format_text("record device=%2d  play device=%2d", record_devices, play_devices);
}

int RunAboutBox() {
    AboutBox handler;
    Dialog d(about_template(), StandardDialogUnits(), handler);
    return d.run();
}

}  // namespace dl
