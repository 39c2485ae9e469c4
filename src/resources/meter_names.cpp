#include "resources/meter_names.h"

namespace dl {

const std::vector<MeterName>& LevelMeterNames() {
    static const std::vector<MeterName> names = {
        {"Peak meter only", "ピークメーターのみ"},
        {"dB scale meter", "dB目盛りのメーター"},
        {"dB scale meter and loudness", "dB目盛りのメーターとラウドネス"},
    };
    return names;
}

const std::vector<MeterName>& BallisticsNames() {
    static const std::vector<MeterName> names = {
        {"Sample peak", "サンプルピーク"},
        {"RMS (300 ms)", "RMS (300 ms)"},
        {"PPM type I (DIN)", "PPM タイプI (DIN)"},
        {"PPM type IIb (EBU)", "PPM タイプIIb (EBU)"},
        {"VU", "VU"},
    };
    return names;
}

}  // namespace dl
