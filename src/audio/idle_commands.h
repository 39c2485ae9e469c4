#pragma once

namespace dl {

// Whether choosing command `id` does something on this machine now: Monitor needs an input device,
// the voice range and the voice pointer a pointer the voice can steer. Every other command is taken as
// working.
bool CommandWorks(int id);

// The window's items that only serve between runs (voice range, options, Monitor, what opens a file):
// enabled when `idle`, each only where it works.
void EnableIdleCommands(bool idle);

}  // namespace dl
