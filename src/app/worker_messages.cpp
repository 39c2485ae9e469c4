#include "app/worker_messages.h"

namespace dl {

namespace {

// More digits than any length a field may have.
constexpr size_t kMostLengthDigits = 19;

}  // namespace

void AppendField(std::string& to, std::string_view field) {
    to += std::to_string(field.size());
    to += ':';
    to.append(field);
    to += ',';
}

FieldsRead TakeFields(std::string& buffer, size_t count, size_t longest, std::vector<std::string>& fields) {
    std::vector<std::string> taken;
    size_t at = 0;
    for (size_t f = 0; f < count; ++f) {
        size_t length = 0, digits = 0;
        for (;; ++at, ++digits) {
            if (at >= buffer.size()) return FieldsRead::Incomplete;
            const char c = buffer[at];
            if (c == ':') break;
            if (c < '0' || c > '9' || digits >= kMostLengthDigits) return FieldsRead::Malformed;
            length = length * 10 + size_t(c - '0');
            if (length > longest) return FieldsRead::Malformed;
        }
        if (digits == 0) return FieldsRead::Malformed;
        ++at;  // the colon
        if (buffer.size() - at < length + 1) return FieldsRead::Incomplete;
        if (buffer[at + length] != ',') return FieldsRead::Malformed;
        taken.emplace_back(buffer, at, length);
        at += length + 1;
    }
    buffer.erase(0, at);
    fields = std::move(taken);
    return FieldsRead::Complete;
}

}  // namespace dl
