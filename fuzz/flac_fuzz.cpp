// FLAC files, native or in Ogg: the reader's probes and the decoder behind the converter.
#include "stream_file_fuzz.h"

// The font libraries keep caches they fill lazily as new text is drawn; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libfreetype.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    stream_fuzz::initialise("flac-fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stream_fuzz::run(data, size, dl::is_flac_tag);
    return 0;
}
