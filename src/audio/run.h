#pragma once
// What a file playback and a record-port monitoring share: the controls, the wave buffers, the
// reading status and the one way every run ends.

namespace dl {

// The stop-side controls: STOP and its menu item (and BEEP, which is always on while running).
void PlaybackControls(bool on);
// The start-side controls: PLAY, Start, and the items that serve only between runs (EnableIdleCommands).
void StartControls(bool on);
// What takes a file to open: drops, File › Open... and the recent files (while there are any).
void OpenControls(bool on);
void FreeWaveBuffers();
// The hourglass while a run prepares a large buffer.
void SetBusyCursor(bool busy);
// Timer 1 of memory mode.
void KillMemoryTimer();
// "reading file" / "allocating memory" in the level panel while memory mode fills its buffer.
void DrawPreparingStatus(const char* japanese, int string_id);

// Every way a run ends (its last buffer back, STOP, a start that failed, a device lost, the
// source closed): the timer, the device (after returning what it still holds), the buffers, the
// conversion and the file go, the screen saver may come again and the priority is normal.
// `restore_controls` gives PLAY and the menus back; not while the window goes away or when the
// start failed before taking them.
void EndRun(bool restore_controls);

}  // namespace dl
