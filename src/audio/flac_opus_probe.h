#pragma once
#include <cstddef>
#include <cstdint>

#include "audio/stream_probe.h"

namespace dl {

// Probes of the lossless and the modern lossy stream; results as the other stream probes give
// them (kProbeRecognised, kProbeFailed after a message, kProbeNotThisKind). A stream that says it
// is one of these but whose headers are broken is refused as a broken file.

// A native FLAC stream ("fLaC" at the start of the file, or right after an ID3v2 tag). The sound
// is the frames after the metadata blocks (a cover picture is no sound).
ProbeResult ProbeFlacStream();
// FLAC in Ogg, from its first page at `offset`.
ProbeResult ProbeOggFlacStream(uint64_t offset);
// Opus in Ogg, from its first page at `offset`; decoded at 48 kHz.
ProbeResult ProbeOpusStream(uint64_t offset);

// The check that ends a FLAC frame's header: CRC-8 over the n bytes before it.
uint8_t FlacHeaderCrc8(const uint8_t* p, size_t n);

}  // namespace dl
