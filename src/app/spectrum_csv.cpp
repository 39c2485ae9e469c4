#include "app/spectrum_csv.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "analysis/note_names.h"
#include "app/batch_rows.h"
#include "display/level_scale.h"
#include "display/readouts.h"
#include "platform/format_text.h"
#include "state/analysis.h"
#include "state/settings.h"
#include "state/source.h"

namespace dl {

namespace {

constexpr const char* kFrequencyColumn = "frequency_hz";
constexpr const char* kLevelSuffix = "_db";
constexpr const char* kPlainColumn = "level";
// What a spectrum file's line may hold.
constexpr size_t kMostLineBytes = 65536;
constexpr size_t kMostColumns = 1024;

// -inf (a silent line) as the reader takes it back, so that kept references lose no line.
std::string level_field(double db) {
    if (db == -HUGE_VAL) return "-inf";
    return std::isfinite(db) ? format_text("%.2f", db) : std::string();
}

// The fields of one CSV line; a quoted field may hold commas and doubled quotes.
std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
            else if (c == '"') quoted = false;
            else fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool read_double(const std::string& text, double& out) {
    if (text.empty()) return false;
    if (text == "-inf") return out = -HUGE_VAL, true;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return *end == 0 && errno == 0 && std::isfinite(out);
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A whole spectrum's lines from 0 Hz at equal steps: the rate and transform size it was taken at.
void infer_rate(ReferenceSpectrum& r) {
    const size_t count = r.frequencies.size();
    if (count < 2 || r.frequencies[0] != 0 || (count & (count - 1)) != 0) return;
    const double step = r.frequencies.back() / double(count - 1);
    for (size_t i = 0; i < count; ++i)
        if (std::fabs(r.frequencies[i] - double(i) * step) > 1e-3) return;
    r.n = int(2 * count);
    r.rate = std::round(step * r.n);
}

}  // namespace

std::string SpectrumCsv(const std::vector<double>& frequencies, const std::vector<NamedLevels>& columns) {
    std::string out = kFrequencyColumn;
    for (const NamedLevels& c : columns) out += "," + CsvField(c.name + kLevelSuffix);
    out += "\n";
    // Four decimals keep apart the lines of any transform; a finer grid (a reference made
    // elsewhere) is written in full, so that no two of its lines read back as one.
    auto four_decimals = [](double f) { return std::strtod(format_text("%.4f", f).c_str(), nullptr); };
    bool full = false;
    for (size_t i = 1; i < frequencies.size() && !full; ++i)
        full = four_decimals(frequencies[i]) <= four_decimals(frequencies[i - 1]);  // "-0.0000" is "0.0000"
    for (size_t i = 0; i < frequencies.size(); ++i) {
        out += full ? format_text("%.17g", frequencies[i]) : format_text("%.4f", frequencies[i]);
        for (const NamedLevels& c : columns) out += "," + (i < c.decibels.size() ? level_field(c.decibels[i]) : "");
        out += "\n";
    }
    return out;
}

bool CurrentSpectrum(const BlockAnalysis& a, std::vector<double>& frequencies, std::vector<NamedLevels>& columns) {
    const int bins = a.n / 2;
    if (!a.spectrum || !a.levels || bins <= 0 || size_t(bins) > RunAnalyser.levels.size() || SourceInfo.sample_rate == 0)
        return false;
    const double line_hz = double(SourceInfo.sample_rate) / a.n;
    frequencies.resize(size_t(bins));
    NamedLevels level{kPlainColumn, std::vector<double>(size_t(bins))};
    for (int i = 0; i < bins; ++i) {
        frequencies[size_t(i)] = i * line_hz;
        level.decibels[size_t(i)] = DepthDecibels(a.levels[i]);
    }
    columns.clear();
    columns.push_back(std::move(level));
    // The other traces the graph draws, each a column of its own.
    const char* second = Settings.traces == 1 ? "right" : Settings.traces == 2 ? "side" : "second";
    for (const auto& [name, trace] : {std::pair{second, a.second_levels}, std::pair{"max_hold", a.max_levels},
                                      std::pair{"min_hold", a.min_levels}}) {
        if (!trace) continue;
        NamedLevels c{name, std::vector<double>(size_t(bins))};
        for (int i = 0; i < bins; ++i) c.decibels[size_t(i)] = DepthDecibels(trace[i]);
        columns.push_back(std::move(c));
    }
    return true;
}

std::string ReferencesCsv(const std::vector<ReferenceSpectrum>& references) {
    std::vector<double> grid;
    for (const ReferenceSpectrum& r : references) grid.insert(grid.end(), r.frequencies.begin(), r.frequencies.end());
    std::sort(grid.begin(), grid.end());
    grid.erase(std::unique(grid.begin(), grid.end()), grid.end());
    std::vector<NamedLevels> columns;
    for (const ReferenceSpectrum& r : references) {
        NamedLevels c{r.name, std::vector<double>(grid.size(), NAN)};
        size_t j = 0;
        for (size_t i = 0; i < r.frequencies.size() && i < r.decibels.size(); ++i) {
            while (grid[j] < r.frequencies[i]) ++j;
            c.decibels[j] = r.decibels[i];
        }
        columns.push_back(std::move(c));
    }
    return SpectrumCsv(grid, columns);
}

bool ReadSpectrumCsv(const std::string& text, const std::string& plain_name, std::vector<ReferenceSpectrum>& out,
                     std::string& why) {
    std::vector<ReferenceSpectrum> read;
    std::vector<size_t> level_fields;  // the field of each reference
    size_t fields_per_row = 0, line_no = 0, start = 0;
    bool header = false;
    double last_frequency = -1;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++line_no;
        // Bounded before anything is made of the line: a spectrum's lines are short and few-columned.
        if (end - start > kMostLineBytes)
            return why = format_text("line %zu is longer than %zu bytes", line_no, kMostLineBytes), false;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (size_t(std::count(line.begin(), line.end(), ',')) >= kMostColumns)
            return why = format_text("line %zu has more than %zu fields", line_no, kMostColumns), false;
        const std::vector<std::string> fields = split_fields(line);
        if (!header) {
            header = true;
            if (fields[0] != kFrequencyColumn)
                return why = format_text("the first column is not %s", kFrequencyColumn), false;
            for (size_t i = 1; i < fields.size(); ++i) {
                if (!ends_with(fields[i], kLevelSuffix)) continue;  // columns of other kinds are not levels
                std::string name = fields[i].substr(0, fields[i].size() - 3);
                read.push_back({name == kPlainColumn || name.empty() ? plain_name : name, 0, 0, {}, {}});
                level_fields.push_back(i);
            }
            if (read.empty()) return why = "no column of levels (a name ending in _db)", false;
            fields_per_row = fields.size();
            continue;
        }
        if (fields.size() != fields_per_row)
            return why = format_text("line %zu has %zu fields, the header %zu", line_no, fields.size(), fields_per_row),
                   false;
        double f = 0;
        if (!read_double(fields[0], f) || f < 0)
            return why = format_text("line %zu: \"%s\" is not a frequency", line_no, fields[0].c_str()), false;
        if (f <= last_frequency) return why = format_text("line %zu: the frequencies do not rise", line_no), false;
        last_frequency = f;
        for (size_t k = 0; k < read.size(); ++k) {
            const std::string& v = fields[level_fields[k]];
            if (v.empty()) continue;
            double db = 0;
            if (!read_double(v, db))
                return why = format_text("line %zu: \"%s\" is not a level", line_no, v.c_str()), false;
            read[k].frequencies.push_back(f);
            read[k].decibels.push_back(db);
        }
    }
    if (!header) return why = "the file is empty", false;
    for (ReferenceSpectrum& r : read) {
        if (r.frequencies.size() < 2) return why = "the column of " + r.name + " holds fewer than two levels", false;
        infer_rate(r);
    }
    out = std::move(read);
    return true;
}

bool PeakListCsv(const BlockAnalysis& a, std::string& out) {
    if (!a.peak_list || a.labels.empty()) return false;
    out = "rank,frequency_hz,note,cents,level_db\n";
    for (size_t i = 0; i < a.labels.size(); ++i) {
        const PeakLabel& l = a.labels[i];
        const double named = at_standard_pitch(l.frequency, Settings.reference_a4);
        const bool note = note_of(named).pitch_class >= 0;
        const double level = a.levels && l.bin >= 0 && l.bin < a.n / 2 ? DepthDecibels(a.levels[l.bin]) : NAN;
        out += format_text("%zu,%.3f,%s,%s,%s\n", i + 1, l.frequency, note ? note_name(named).c_str() : "",
                           note ? format_text("%+.1f", cents_from_note(named)).c_str() : "", level_field(level).c_str());
    }
    return true;
}

std::string ReadoutsText(const BlockAnalysis& a) {
    std::string out;
    if (a.peak_shown) {
        out += "Peak\t" + FrequencyFigure(a.peak_frequency, 0) + " Hz\n";
        out += "Level\t" +
               (a.peak_level.decibel ? format_text("%d dB", a.peak_level.decibels) : format_text("%.3f", a.peak_level.amplitude)) +
               "\n";
    }
    if (a.a4_shown) out += format_text("A4\t%.1f Hz\t%+.0f cents\n", a.a4_frequency, a.a4_cents);
    if (a.f0_voiced) out += format_text("Tuner\t%s\t%+.0f cents\t%.2f Hz\n", a.f0_note.c_str(), a.f0_cents, a.f0_frequency);
    // Each channel's largest sample of the block, as the level meter shows it.
    for (int c = 0; c < a.meter_count && c < 2; ++c) {
        const MeterReading& m = a.meters[size_t(c)];
        const char* name = a.meter_count == 1 ? "Meter" : c == 0 ? "Left" : "Right";
        if (m.unit == 0) continue;
        if (m.level == 0) out += format_text("%s\tsilent\n", name);
        else out += format_text("%s\t%.1f dBFS\n", name, 20 * std::log10(double(m.level) / (16.0 * m.unit)));
    }
    std::string peaks;
    if (PeakListCsv(a, peaks)) {
        out += "Peaks\n";
        for (char& c : peaks)
            if (c == ',') c = '\t';
        out += peaks;
    }
    return out;
}

}  // namespace dl
