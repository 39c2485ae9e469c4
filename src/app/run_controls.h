#pragma once
// The window's controls as the runs go: PLAY, STOP and BEEP with their menu items, the items that
// serve only between runs, the hourglass and memory mode's status in the level panel.
#include "state/hooks.h"

namespace dl {

// What the window shows for a run's event (the RunObserver of the window and the batch runs).
void ShowRunEvent(RunEvent event);

// Whether choosing command `id` does something on this machine now: Monitor needs an input device,
// the voice range and the voice pointer a pointer the voice can steer. Every other command is taken as
// working.
bool CommandWorks(int id);
// The window's items that only serve between runs (voice range, options, Monitor, what opens a file):
// enabled when `idle`, each only where it works.
void EnableIdleCommands(bool idle);
// What takes a file to open: drops, File › Open... and the recent files (while there are any).
void OpenControls(bool on);

}  // namespace dl
