#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dl {

// Opens FileName: 1 when the file is open at its first data byte with an accepted format and data;
// 0 after a failure, which has been reported.
int OpenSource();
// Replaces the format record by one of size mod 65,536 bytes; returns size, or 0 after a reported
// failure (the source file is closed then).
uint32_t AllocateFormatRecord(uint32_t size);
void FreeFormatRecord();
// Derives SourceInfo from the record and redraws the format and position lines.
void PublishSourceFormat(const std::vector<uint8_t>& record);
// Fills DiskSpace for the volume holding the file; returns the free bytes.
uint32_t MeasureDiskSpace(const std::string& file_name);
// Closes the file and the source's devices; normal priority again.
void CloseSource();
void CloseSourceFile();
void RedrawLengthLine();

// clusters * bytes_per_cluster, but exactly 2^31 whenever 2^31 / bytes_per_cluster < clusters.
uint32_t CapVolumeBytes(uint32_t bytes_per_cluster, uint64_t clusters);

}  // namespace dl
