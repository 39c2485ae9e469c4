#include "app/batch_rows.h"

#include <cstdlib>
#include <sstream>

#include "app/batch_run.h"
#include "app/batch_summary.h"
#include "app/json_text.h"
#include "platform/format_text.h"

namespace dl {

namespace {

std::vector<std::string> split_names(const std::string& header) {
    std::vector<std::string> names;
    std::stringstream s(header);
    std::string name;
    while (std::getline(s, name, ',')) names.push_back(name);
    return names;
}

std::vector<std::string> column_names(const RowForm& form) {
    std::vector<std::string> names = {"file"};
    for (const std::string& n : split_names(form.summary ? SummaryHeader() : CsvHeader(form.spectrum))) names.push_back(n);
    names.push_back("error");
    return names;
}

bool text_column(const std::string& name) {
    return name == "file" || name == "file_base64" || name == "error" || name == "labels" || name == "f0_note" ||
           name == "format" || name == "notes";
}

// A field of a number column as a JSON number: the sign of "+3.5" is dropped; what is not a plain
// decimal number as JSON writes one ("1.", ".5" and "007" are not) stays a string, so that the
// line is always valid JSON.
std::string json_number(const std::string& text) {
    const bool plus = !text.empty() && text[0] == '+';
    const std::string t = plus ? text.substr(1) : text;
    size_t i = !plus && !t.empty() && t[0] == '-' ? 1 : 0;
    auto digits = [&] {
        const size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        return i - from;
    };
    const size_t whole_from = i, whole = digits();
    if (whole == 0 || (whole > 1 && t[whole_from] == '0')) return {};
    if (i < t.size() && t[i] == '.' && (++i, digits() == 0)) return {};
    return i == t.size() ? t : std::string();
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string JsonLine(const std::vector<std::string>& names, const std::vector<std::string>& values) {
    std::string line = "{";
    for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
        if (i) line += ',';
        line += JsonString(names[i]) + ':';
        const std::string& v = values[i];
        if (v.empty()) line += "null";
        else if (text_column(names[i])) line += JsonString(v);
        else if (const std::string n = json_number(v); !n.empty()) line += n;
        else line += JsonString(v);
    }
    return line + "}";
}

std::string ManyHeader(const RowForm& form) {
    if (form.jsonl) return {};
    std::string line;
    for (const std::string& n : column_names(form)) line += (line.empty() ? "" : ",") + n;
    return line + "\n";
}

std::string ManyRow(const RowForm& form, const std::string& file, const std::vector<std::string>& fields,
                    const std::string& error) {
    std::vector<std::string> values = {file};
    values.insert(values.end(), fields.begin(), fields.end());
    values.push_back(error);
    if (form.jsonl) {
        std::vector<std::string> names = column_names(form);
        // A name that is not UTF-8 cannot be written as it is: its bytes go beside it.
        if (!ValidUtf8(file)) {
            names.insert(names.begin() + 1, "file_base64");
            values.insert(values.begin() + 1, Base64(file));
        }
        return JsonLine(names, values) + "\n";
    }
    std::string line = CsvField(file);
    // The single-file row's fields need no quotes; one that would is quoted, not split.
    for (const std::string& f : fields) line += "," + CsvField(f);
    return line + "," + CsvField(error) + "\n";
}

std::string ErrorRow(const RowForm& form, const std::string& file, const std::string& error) {
    const size_t count = column_names(form).size() - 2;
    return ManyRow(form, file, std::vector<std::string>(count), error);
}

std::string OneLine(const std::string& messages) {
    std::string line;
    std::stringstream s(messages);
    std::string part;
    while (std::getline(s, part)) {
        while (!part.empty() && (part.back() == '\r' || part.back() == ' ')) part.pop_back();
        if (part.empty()) continue;
        if (!line.empty()) line += "; ";
        line += part;
    }
    return line;
}

}  // namespace dl
