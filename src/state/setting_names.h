#pragma once
// Readable names for the settings a batch run most often sets (view=spectrogram, window=hann),
// beside the settings file's own keys and values.
#include <string>
#include <vector>

namespace dl {

struct ReadableSetting {
    const char* name;     // "window"
    const char* key;      // the settings file's key it sets, "mado"
    const char* values;   // what it takes, for the help page: "hann hamming ..."
};
const std::vector<ReadableSetting>& readable_settings();

enum class ReadableResult { NotReadable, Translated, BadValue };

// Translates a readable name and value into the settings file's key and value text. With
// BadValue, `why` says which values the name takes.
ReadableResult translate_readable_setting(const std::string& name, const std::string& value, std::string& key,
                                          std::string& stored, std::string& why);

}  // namespace dl
