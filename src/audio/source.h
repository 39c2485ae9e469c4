#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "audio/result.h"
#include "state/source.h"

namespace dl {

// Opens FileName: Done when the file is open at its first data byte with an accepted format and
// data; Failed after a failure, which has been reported.
Result OpenSource();
// Replaces the format record by one of size mod 65,536 bytes; Failed after a reported failure (the
// source file is closed then).
Result AllocateFormatRecord(uint32_t size);
void FreeFormatRecord();
// Derives SourceInfo from the record and redraws the format and position lines.
void PublishSourceFormat(const std::vector<uint8_t>& record);
// Fills DiskSpace for the volume holding the file; returns the free bytes.
uint32_t MeasureDiskSpace(const std::string& file_name);
// Which source Start opens: the file, the record port, or none.
void ChooseSource(SourceMode mode);
// Closes the file and the source's devices; normal priority again.
void CloseSource();
void CloseSourceFile();
void RedrawLengthLine();

// clusters * bytes_per_cluster, but exactly 2^31 whenever 2^31 / bytes_per_cluster < clusters.
uint32_t CapVolumeBytes(uint32_t bytes_per_cluster, uint64_t clusters);

}  // namespace dl
