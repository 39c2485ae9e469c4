#pragma once
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/main_window.h"

namespace dl {

// File › Open...: a file dialog for the sound files dewlark reads, starting in the folder it was
// last left in; the chosen file opens as a dropped one does. Refused while drops are (a run goes on,
// no output device).
void OpenFileCommand();
// The dialog's request: caption, starting folder and file types in the interface language.
OpenFileRequest OpenFileDialogRequest();

// File › Recent files: the list as the submenu shows it ("&1 /path/name.wav", ...) and a choice of
// it, which opens the file as a drop does, or, when the file is gone, takes it off the list and says so.
std::vector<SubmenuEntry> RecentFilesMenu();
void OpenRecentFile(int index);
// The submenu's text of entry `index` (0-based): its number as the mnemonic, then the path, cut in
// the middle when long.
std::string RecentMenuText(int index, const std::string& path);

// Adds the file just opened to the recent files and brings the menu up to date.
void NoteOpenedFile(const std::string& path);
// At start: files that no longer exist leave the list.
void ForgetMissingFilesAtStart();

}  // namespace dl
