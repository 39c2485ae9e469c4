// The many-file rows, CSV and JSON lines, written for any file name, error and fields (any bytes
// but NUL, which no name or message holds) and read back with strict readers of the formats: a CSV
// row splits into the same fields under the header's columns; a JSON line is one valid UTF-8 object
// with the header's fields in order, each the field as written (a number only where the field is
// one, a string with U+FFFD for each byte that is no character otherwise), and a name that is not
// UTF-8 keeps its bytes in file_base64.
//
// Input: a byte of form (bit 0 JSON lines, bit 1 the summary, bits 2-3 how many --spectrum
// columns), two bytes a column's frequency, then NUL-separated pieces: the file, the error, the fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_rows.h"
#include "app/json_text.h"
#include "strict_readers.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

std::vector<std::string> header_names(const dl::RowForm& form) {
    dl::RowForm csv = form;
    csv.jsonl = false;
    const std::string header = dl::ManyHeader(csv);
    size_t at = 0;
    const std::optional<std::vector<std::string>> names = strict::csv_record(header, at);
    check(names && at == header.size());
    return *names;
}

void check_csv_row(const std::string& row, const std::vector<std::string>& values) {
    size_t at = 0;
    const std::optional<std::vector<std::string>> read = strict::csv_record(row, at);
    check(read && at == row.size() && *read == values);
}

// One value of a JSON line against the field it was written from.
void check_json_value(const strict::JsonValue& v, const std::string& field, bool text_only) {
    if (field.empty()) return check(v.kind == strict::JsonValue::Null);
    if (v.kind == strict::JsonValue::String) return check(v.text == strict::replace_ill_formed(field));
    // A number is the field as it was, a plus sign aside; nothing else is written as one.
    check(!text_only && v.kind == strict::JsonValue::Number);
    const std::string plain = field[0] == '+' ? field.substr(1) : field;
    check(v.text == plain && strict::json_number(plain));
    check(field[0] != '+' || (plain[0] >= '0' && plain[0] <= '9'));  // "+-5" is no number
}

void check_json_line(const std::string& line, const std::vector<std::string>& names,
                     const std::vector<std::string>& values) {
    check(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1);
    const std::string body = line.substr(0, line.size() - 1);
    check(strict::valid_utf8(body));
    const std::optional<strict::JsonObject> object = strict::json_object(body);
    check(object.has_value());
    const std::string& file = values.front();
    // The raw bytes of a name that is not UTF-8 follow it, and only then.
    const bool raw = !strict::valid_utf8(file);
    check(raw == !dl::ValidUtf8(file));
    check(object->size() == names.size() + (raw ? 1 : 0));
    size_t m = 0;
    for (size_t i = 0; i < names.size(); ++i, ++m) {
        check((*object)[m].first == names[i]);
        const bool text_only = names[i] == "file" || names[i] == "error";
        check_json_value((*object)[m].second, values[i], text_only);
        if (i == 0 && raw) {
            ++m;
            const strict::JsonValue& b = (*object)[m].second;
            check((*object)[m].first == "file_base64" && b.kind == strict::JsonValue::String);
            check(strict::base64_decode(b.text) == file);
        }
    }
}

double frequency(const uint8_t* p) { return (p[0] | p[1] << 8) / 8.0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    dl::RowForm form;
    form.jsonl = data[0] & 1;
    form.summary = data[0] & 2;
    const size_t columns = data[0] >> 2 & 3;
    size_t at = 1;
    for (size_t c = 0; c < columns && at + 2 <= size; ++c, at += 2) form.spectrum.push_back(frequency(data + at));

    std::vector<std::string> pieces(1);
    for (; at < size; ++at) {
        if (data[at] == 0) pieces.emplace_back();
        else pieces.back() += char(data[at]);
    }
    pieces.resize(std::max<size_t>(pieces.size(), 2));
    const std::string& file = pieces[0];
    const std::string& error = pieces[1];

    const std::vector<std::string> names = header_names(form);
    check(names.size() >= 3 && names.front() == "file" && names.back() == "error");
    const size_t count = names.size() - 2;
    std::vector<std::string> fields(count);
    for (size_t i = 0; i < count && i + 2 < pieces.size(); ++i) fields[i] = pieces[i + 2];

    std::vector<std::string> values = {file};
    values.insert(values.end(), fields.begin(), fields.end());
    values.push_back(error);
    std::vector<std::string> empty_values(names.size());
    empty_values.front() = file;
    empty_values.back() = error;

    const std::string row = dl::ManyRow(form, file, fields, error);
    const std::string error_row = dl::ErrorRow(form, file, error);
    if (form.jsonl) {
        check(dl::ManyHeader(form).empty());
        check_json_line(row, names, values);
        check_json_line(error_row, names, empty_values);
    } else {
        check_csv_row(row, values);
        check_csv_row(error_row, empty_values);
    }

    // JsonString on its own, and the error column's one line of many messages.
    const std::optional<strict::JsonObject> alone = strict::json_object("{" + dl::JsonString(error) + ":null}");
    check(alone && alone->size() == 1 && (*alone)[0].first == strict::replace_ill_formed(error));
    check(dl::OneLine(error).find('\n') == std::string::npos);
    return 0;
}
