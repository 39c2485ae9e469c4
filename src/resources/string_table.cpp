#include "resources/string_table.h"

namespace dl {

const char* LoadStringText(StringId id) {
    using S = StringId;
    switch (id) {
        case S::FileDestroyed: return "file destroyed";
        case S::DataLockFailed: return "data lock failed %d %ld";
        case S::HeaderAllocFailed: return "header alloc failed";
        case S::NoMemory: return "no memory";
        case S::CannotReadFormat: return "cant read FMT";
        case S::CannotReadData: return "can't read data. %d %ld";
        case S::HeaderLockFailed: return "header lock failed";
        case S::NotEnoughMemory: return "not enough memory";
        case S::FormatNotPlayable: return "No support this format";
        case S::CannotOpenOutput: return "can't open WaveOut device";
        case S::HeaderFailed: return "header failed";
        case S::MemoryLockFailed: return "memory lock failed";
        case S::NoData: return "no data";
        case S::CannotOpenInput: return "can't open WaveIn device";
        case S::WriteFailed: return "failed WaveOutWrite";
        case S::NoFileName: return "file name ?";
        case S::DataEmpty: return "data empty";
        case S::ReadingFile: return "reading file";
        case S::AddBufferFailed: return "AddBuffer failed";
        case S::CannotOpenFile: return "cant open file";
        case S::AllocatingMemory: return "allocating memory";
        case S::RecordFailed: return "Rec failed";
        case S::NotWave: return "This file is not WAVE file";
        case S::LevelUnavailable: return "Can't display level";
        case S::PlayOpen: return "Play Open";
        case S::RecentFileGone: return "This file is no longer there; it has been taken off the recent files.";
        case S::PictureNotSaved: return "The picture could not be saved.";
        case S::RestUndecoded:
            return "The rest of the file (%llu bytes) could not be decoded; the sound ends at %.2f sec.";
        case S::CannotConvert: return "cannot convert";
        case S::EndsShort:
            return "The file ends after %.2f sec of the %.2f sec its header gives; the rest is missing.";
        case S::DeviceBadId: return "bad id";
        case S::DeviceAllocated: return "allocated";
        case S::DeviceNoDriver: return "no driver";
        case S::DeviceNoMemory: return "nomem";
        case S::DeviceSync: return "err_sync";
        case S::DeviceUnknownError: return "? error ?";
        case S::NoSpectrumYet: return "There is no spectrum yet: play a file or monitor the input first.";
        case S::NoPeakList: return "The last block has no peak list: peaks are listed when Option... labels them.";
        case S::NothingLogged: return "Nothing has been analysed since Start.";
        case S::FileNotWritten: return "The file could not be written.";
        case S::ReferencesFull:
            return "Four references are held already: Clear references (Ctrl+Shift+H) makes room for more.";
        case S::NotASpectrum: return "The file does not hold a spectrum:";
        case S::NoReferenceHeld: return "No reference is held.";
        case S::ReferencesNotKept: return "The references could not be kept for the next start.";
        case S::KeptReferencesUnread: return "The references kept from the last run could not be read:";
        case S::InputNotDelivered:
            return "input: %.3f s of sound missing at %.3f s: the input device delivered none (a stall or an overrun)";
        case S::InputOverflow:
            return "input: %.3f s of sound dropped at %.3f s: the analysis fell too far behind (the machine is too busy)";
        case S::InputLostLine: return "Lost:%8.2f sec %4d gaps";
    }
    return "";
}

}  // namespace dl
