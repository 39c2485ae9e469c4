#include "audio/idle_commands.h"

#include "audio/run.h"

#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/pointer.h"
#include "resources/command_ids.h"
#include "state/shell.h"

namespace dl {

bool CommandWorks(int id) {
    switch (id) {
        case kCmdMonitor: return wave_in_device_count() > 0;
        // The voice range serves the voice pointer alone.
        case kCmdVoiceRange:
        case kCmdVoicePointer: return pointer_events_possible();
        default: return true;
    }
}

void EnableIdleCommands(bool idle) {
    if (!TheMainWindow) return;
    MainWindow& w = *TheMainWindow;
    for (int id : {kCmdVoiceRange, kCmdOption, kCmdMonitor}) w.enable_menu(id, idle && CommandWorks(id));
    // A file opened (dropped, from File › Open... or the recent list) is there to be played.
    OpenControls(idle && wave_out_device_count() > 0);
}

}  // namespace dl
