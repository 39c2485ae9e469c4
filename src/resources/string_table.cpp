#include "resources/string_table.h"

namespace dl {

const char* LoadStringText(int id) {
    switch (id) {
        case 1: return "file destroyed";
        case 3: return "data lock failed %d %ld";
        case 4: return "header alloc failed";
        case 16: return "no memory";
        case 17: return "cant read FMT";
        case 19: return "can't read data. %d %ld";
        case 20: return "header lock failed";
        case 32: return "not enough memory";
        case 33: return "No support this format";
        case 34: return "can't open WaveOut device";
        case 35: return "header failed";
        case 48: return "memory lock failed";
        case 49: return "no data";
        case 50: return "can't open WaveIn device";
        case 51: return "failed WaveOutWrite";
        case 64: return "file name ?";
        case 65: return "data empty";
        case 66: return "reading file";
        case 67: return "AddBuffer failed";
        case 80: return "cant open file";
        case 82: return "allocating memory";
        case 83: return "Rec failed";
        case 96: return "This file is not WAVE file";
        case 98: return "Can't display level";
        case 99: return "Play Open";
        case 100: return "This file is no longer there; it has been taken off the recent files.";
        case 101: return "The picture could not be saved.";
        case 102: return "The rest of the file (%llu bytes) could not be decoded; the sound ends at %.2f sec.";
        default: return "";
    }
}

}  // namespace dl
