#pragma once
// "Hold as reference", "Clear references", and the references saved to, loaded from and kept in
// CSV files of the spectrum format.
#include <string>

namespace dl {

// The spectrum shown now becomes a reference named by the time it was taken. With four held, a
// fifth is refused with a message: a reference is there to be kept, and the oldest is most often
// the one the others are compared with.
void HoldReferenceCommand();
void ClearReferencesCommand();
// File › Save references... and Load reference... (the load adds every level column of the file).
void SaveReferencesCommand();
void LoadReferenceCommand();
// Adds the references of a spectrum file; false after a message, nothing changed.
bool LoadReferenceFile(const std::string& path);

// The references are kept beside the settings for the next start, and read back at the start.
std::string KeptReferencesPath();
void LoadKeptReferences();

}  // namespace dl
