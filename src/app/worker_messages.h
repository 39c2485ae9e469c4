#pragma once
// The exchange between a many-file run and its worker processes: each message is a fixed number of
// fields, each field framed by its length, so that no byte of a file name (a NUL, a line's end) can
// put the two sides out of step.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dl {

// A request: the file to analyse. An answer: the exit status, the body (the lines for the output)
// and the messages (what the analysis said on standard error).
inline constexpr size_t kRequestFields = 1;
inline constexpr size_t kAnswerFields = 3;

// Appends one field as "LENGTH:BYTES,".
void AppendField(std::string& to, std::string_view field);

enum class FieldsRead { Complete, Incomplete, Malformed };
// Takes `count` fields off the front of `buffer` when it holds them all; a field longer than
// `longest` bytes, or framing that does not check out, is Malformed (and nothing is taken).
FieldsRead TakeFields(std::string& buffer, size_t count, size_t longest, std::vector<std::string>& fields);

}  // namespace dl
