// The framed messages between a many-file run and its workers, both ways.
// Input: a byte choosing how many fields a message has (1 to 4), one the longest field allowed,
// one the sizes of the pieces the bytes arrive in, then the bytes.
//
// Any fields (any bytes) framed by AppendField are taken back the same, whatever follows them, and
// in whatever pieces they arrive; a field longer than allowed is Malformed. Any bytes at all give
// the same messages and the same end (Malformed, or Incomplete with the same bytes left) read whole
// or a piece at a time; what is taken is exactly the fields framed; Malformed and Incomplete take
// nothing, and the end is Malformed exactly when no bytes to come could make a message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/worker_messages.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

using Fields = std::vector<std::string>;
const Fields kUntouched = {"untouched"};

// TakeFields, checking that only a whole message moves anything. The buffer is compared by size
// and hash rather than copied: it is taken from once a byte.
dl::FieldsRead take(std::string& buffer, size_t count, size_t longest, Fields& fields) {
    const size_t size_before = buffer.size();
    const size_t hash_before = std::hash<std::string>{}(buffer);
    if (fields != kUntouched) fields = kUntouched;
    const dl::FieldsRead r = dl::TakeFields(buffer, count, longest, fields);
    if (r != dl::FieldsRead::Complete) {
        check(buffer.size() == size_before && std::hash<std::string>{}(buffer) == hash_before && fields == kUntouched);
        return r;
    }
    check(fields.size() == count && buffer.size() < size_before);
    for (const std::string& f : fields) check(f.size() <= longest);
    return r;
}

// Whether `text` is exactly `fields` framed: for each, its length in digits (leading zeros
// allowed), a colon, its bytes and a comma.
bool frames(std::string_view text, const Fields& fields) {
    size_t at = 0;
    for (const std::string& f : fields) {
        size_t length = 0, digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && length <= text.size(); ++at, ++digits)
            length = length * 10 + size_t(text[at] - '0');
        if (digits == 0 || length != f.size() || at >= text.size() || text[at++] != ':') return false;
        if (text.substr(at, length) != f) return false;
        at += length;
        if (at >= text.size() || text[at++] != ',') return false;
    }
    return at == text.size();
}

// How bytes that hold no whole message stand: Malformed when no bytes after them could make one
// (a length that is no digits, more than 19 of them or more than `longest`, no colon after it, no
// comma after the field), Incomplete while they could.
dl::FieldsRead what_is_left(std::string_view text, size_t count, size_t longest) {
    size_t at = 0;
    for (size_t f = 0; f < count; ++f) {
        size_t length = 0, digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            if (++digits > 19) return dl::FieldsRead::Malformed;
            length = length * 10 + size_t(text[at] - '0');
            if (length > longest) return dl::FieldsRead::Malformed;
        }
        if (at == text.size()) return dl::FieldsRead::Incomplete;
        if (digits == 0 || text[at++] != ':') return dl::FieldsRead::Malformed;
        if (text.size() - at <= length) return dl::FieldsRead::Incomplete;
        at += length;
        if (text[at++] != ',') return dl::FieldsRead::Malformed;
    }
    return dl::FieldsRead::Complete;
}

struct Reading {
    std::vector<Fields> messages;
    dl::FieldsRead end = dl::FieldsRead::Incomplete;
    std::string left;
};

// The messages in `bytes`, given in pieces of the sizes `piece` chooses, taken as the runner and
// the workers take them: every whole message as soon as it is there, until one is Malformed.
Reading read_in_pieces(std::string_view bytes, size_t count, size_t longest, uint8_t piece) {
    Reading r;
    size_t at = 0, step = piece ? piece : bytes.size() + 1;
    for (;;) {
        Fields fields;
        while ((r.end = take(r.left, count, longest, fields)) == dl::FieldsRead::Complete) r.messages.push_back(fields);
        check(std::string_view(r.left) == bytes.substr(at - r.left.size(), r.left.size()));  // what is left is the end
        if (r.end == dl::FieldsRead::Malformed || at >= bytes.size()) return r;
        const size_t n = std::min(step, bytes.size() - at);
        r.left.append(bytes.substr(at, n));
        at += n;
        step = 1 + (step * 7 + 3) % (size_t(piece) + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t count = 1 + (data[0] & 3);
    const size_t longest = data[1] < 200 ? data[1] : SIZE_MAX;
    const uint8_t piece = data[2];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 3), size - 3);

    // The bytes as fields of one message, framed and read back.
    Fields sent;
    std::string framed;
    size_t widest = 0;
    for (size_t k = 0; k < count; ++k) {
        sent.emplace_back(bytes.substr(k * bytes.size() / count, (k + 1) * bytes.size() / count - k * bytes.size() / count));
        dl::AppendField(framed, sent.back());
        widest = std::max(widest, sent.back().size());
    }
    Fields got;
    std::string buffer = framed + std::string(bytes);
    check(take(buffer, count, widest, got) == dl::FieldsRead::Complete && got == sent && buffer == bytes);
    if (widest > 0) {
        buffer = framed;
        check(take(buffer, count, widest - 1, got) == dl::FieldsRead::Malformed);
    }
    const Reading framed_read = read_in_pieces(framed, count, widest, piece);
    check(framed_read.messages == std::vector<Fields>{sent} && framed_read.left.empty());

    // The bytes as they come: whole, and in pieces.
    Reading whole;
    whole.left = std::string(bytes);
    Fields fields;
    size_t taken = 0;  // bytes taken so far
    while ((whole.end = take(whole.left, count, longest, fields)) == dl::FieldsRead::Complete) {
        // What was taken is those fields framed, nothing more or less.
        const size_t now = bytes.size() - whole.left.size();
        check(frames(bytes.substr(taken, now - taken), fields));
        taken = now;
        // Framed again, the fields read back the same.
        std::string again;
        for (const std::string& f : fields) dl::AppendField(again, f);
        Fields back;
        check(take(again, count, longest, back) == dl::FieldsRead::Complete && back == fields && again.empty());
        whole.messages.push_back(fields);
        check(std::string_view(whole.left) == bytes.substr(bytes.size() - whole.left.size()));
    }
    check(whole.end == what_is_left(whole.left, count, longest));
    const Reading pieces = read_in_pieces(bytes, count, longest, piece);
    check(pieces.messages == whole.messages && pieces.end == whole.end);
    if (whole.end == dl::FieldsRead::Incomplete) check(pieces.left == whole.left);
    return 0;
}
