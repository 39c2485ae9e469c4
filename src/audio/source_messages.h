#pragma once
#include <string>

namespace dl {

// The failures of opening a source, each with its Japanese text and English string id.
enum class SourceMessage {
    NoFileName,         // A
    CannotOpen,         // B
    NotRiff,            // C
    RiffNoData,         // D
    RiffNotMpeg,        // E
    WaveBroken,         // F
    CannotReadFormat,   // G
    QueryBadDevice,     // H
    QueryAllocated,     // I
    QueryNoMemory,      // J
    QueryBadFormat,     // K
    QueryOther,         // L
    WaveNoData,         // M
    DataEmpty,          // N
    FormatAllocFailed,  // O
    FormatLockFailed,   // P
};

// The text in the interface language.
const char* SourceMessageText(SourceMessage m);
// The text a box shows: the file's name on a line of its own above the message, when there is one.
std::string SourceMessageBoxText(SourceMessage m, const std::string& file_name);
// Shows it in a box owned by the main window with the default caption and the exclamation icon; the
// box names FileName while there is a main window (the batch commands print the message alone).
void ReportSourceMessage(SourceMessage m);
// The message of a non-zero answer of the format query.
SourceMessage QueryMessage(int result);

}  // namespace dl
