#pragma once
// Opening a file the way the window does, with the message boxes collected.
#include <string>
#include <vector>

#include "audio/source.h"
#include "state/shell.h"
#include "state/source.h"
#include "support/test_support.h"

namespace reader_support {

inline std::string data(const std::string& name) { return std::string(DEWLARK_TEST_DATA) + "/" + name; }

struct Opened {
    int result = 0;  // 1 opened, 0 refused
    std::vector<std::string> texts;
};

inline Opened open_path(const std::string& path) {
    dl_test::MessageBoxCapture boxes;
    dl::FileName = path;
    dl::SourceState.mode = dl::SourceMode::File;
    Opened o;
    o.result = dl::OpenSource() == dl::Result::Done ? 1 : 0;
    o.texts = boxes.texts();
    return o;
}

inline Opened open_bytes(const std::string& bytes) { return open_path(dl_test::write_file("sound.bin", bytes)); }

inline void reset_source() {
    dl::CloseSource();
    dl::FreeFormatRecord();
    dl::SourceInfo = dl::SourceInfoRecord{};
    dl::JapaneseUi = false;
    dl::PlatformVersion = dl::kThisPlatformVersion;
}

}  // namespace reader_support
