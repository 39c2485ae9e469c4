#pragma once
// File › Export spectrum / peak list / log and Copy: what the window shows, as data.
#include <string>

#include "platform/file_dialog.h"
#include "state/analysis.h"

namespace dl {

enum class ExportKind { Spectrum, Peaks, Log };

// Asks where, then writes the CSV; nothing to export, Cancel or a failed write change no file
// (the first and the last say why).
void ExportCommand(ExportKind kind);
SaveFileRequest ExportRequest(ExportKind kind);
// The file's content; false after saying there is nothing to export.
bool ExportText(ExportKind kind, std::string& out);

// Copy: the peak list and the read-outs on the clipboard.
void CopyReadoutsCommand();

// The window's log of analysed blocks: every block is kept as its batch row; Start begins it again.
void LogAnalysedBlock(double seconds, const BlockAnalysis& a);
void ClearAnalysisLog();

// Writes a file the user named through a temporary file and a rename; false after a message.
bool WriteUserFile(const std::string& path, const std::string& bytes);
// The folder the file dialogs start in (the one last opened from, while it is there), and a name
// made from the file shown (the live input's from the program's).
std::string DialogFolder();
std::string NameAfterShownFile(const std::string& tail);

}  // namespace dl
