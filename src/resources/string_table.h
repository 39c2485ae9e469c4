#pragma once

namespace dl {

// The English texts of the string table, by name (the numbers are the table's own).
enum class StringId : int {
    FileDestroyed = 1,
    DataLockFailed = 3,
    HeaderAllocFailed = 4,
    NoMemory = 16,
    CannotReadFormat = 17,
    CannotReadData = 19,
    HeaderLockFailed = 20,
    NotEnoughMemory = 32,
    FormatNotPlayable = 33,
    CannotOpenOutput = 34,
    HeaderFailed = 35,
    MemoryLockFailed = 48,
    NoData = 49,
    CannotOpenInput = 50,
    WriteFailed = 51,
    NoFileName = 64,
    DataEmpty = 65,
    ReadingFile = 66,
    AddBufferFailed = 67,
    CannotOpenFile = 80,
    AllocatingMemory = 82,
    RecordFailed = 83,
    NotWave = 96,
    LevelUnavailable = 98,
    PlayOpen = 99,
    RecentFileGone = 100,
    PictureNotSaved = 101,
    RestUndecoded = 102,
    CannotConvert = 103,
    EndsShort = 104,
    DeviceBadId = 110,
    DeviceAllocated = 111,
    DeviceNoDriver = 112,
    DeviceNoMemory = 113,
    DeviceSync = 114,
    DeviceUnknownError = 115,
    NoSpectrumYet = 150,
    NoPeakList = 151,
    NothingLogged = 152,
    FileNotWritten = 153,
    ReferencesFull = 154,
    NotASpectrum = 155,
    NoReferenceHeld = 156,
    ReferencesNotKept = 157,
    KeptReferencesUnread = 158,
    InputNotDelivered = 170,
    InputOverflow = 171,
    InputLostLine = 172,
};

// The English text of an identifier; "" for one the table does not hold.
const char* LoadStringText(StringId id);

}  // namespace dl
