#pragma once
// The many-file form of --analyse's output: each row led by its file and ended by an error
// column, as CSV or as one JSON object a line, so that the output of many runs can be joined.
#include <string>
#include <vector>

namespace dl {

struct RowForm {
    bool jsonl = false;
    bool summary = false;
    std::vector<double> spectrum;  // --spectrum's columns, after the block rows' own
};

// The CSV header line (with its end); empty for JSON lines, which name every field.
std::string ManyHeader(const RowForm& form);
// One line (with its end): `fields` are the ones the single-file rows (or the summary) hold.
std::string ManyRow(const RowForm& form, const std::string& file, const std::vector<std::string>& fields,
                    const std::string& error);
// The line of a file that failed before (or after) its rows: its fields empty, its error given.
std::string ErrorRow(const RowForm& form, const std::string& file, const std::string& error);

// A CSV field, quoted when it holds a comma, a quote or a line's end.
std::string CsvField(const std::string& text);
// One JSON line of named fields; the names in `text_columns` are strings, the others numbers
// (an empty field is null).
std::string JsonLine(const std::vector<std::string>& names, const std::vector<std::string>& values);

// Several lines of messages as one line, for the error column.
std::string OneLine(const std::string& messages);

}  // namespace dl
