// Any list of files, as --files-from reads it, one name a line or (--null) each ended by a NUL.
// Input: a byte whose lowest bit chooses NUL-separated names, then the list's bytes.
//
// A line list is read whole exactly when it holds no NUL; otherwise it is refused naming the line
// of the first NUL. Names are never empty and never hold their separator (nor, in a line list, a
// NUL); joined again with it they give the list back without its empty entries and, in a line
// list, without the one carriage return each line may end in.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_list.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// The list as its names should join: entries between separators, a line's last CR dropped, the
// empty ones left out.
std::string joined_entries(std::string_view bytes, char separator) {
    std::string out, entry;
    auto end_entry = [&] {
        if (separator == '\n' && !entry.empty() && entry.back() == '\r') entry.pop_back();
        if (entry.empty()) return;
        if (!out.empty()) out += separator;
        out += entry;
        entry.clear();
    };
    for (char c : bytes) {
        if (c == separator) end_entry();
        else entry += c;
    }
    end_entry();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool nul_separated = data[0] & 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const char separator = nul_separated ? '\0' : '\n';

    // Names already there stay; the list's come after them.
    std::vector<std::string> names = {"kept"};
    std::string why;
    const bool read = dl::SplitFileList(bytes, nul_separated, names, why);
    check(!names.empty() && names[0] == "kept");

    const size_t first_nul = bytes.find('\0');
    if (!nul_separated && first_nul != std::string_view::npos) {
        check(!read);
        const size_t line = 1 + size_t(std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(first_nul), '\n'));
        check(why.rfind("line " + std::to_string(line) + " holds a NUL byte", 0) == 0);
        return 0;
    }
    check(read && why.empty());

    std::string joined;
    for (size_t i = 1; i < names.size(); ++i) {
        const std::string& n = names[i];
        check(!n.empty() && n.find(separator) == std::string::npos && n.find('\0') == std::string::npos);
        if (i > 1) joined += separator;
        joined += n;
    }
    check(joined == joined_entries(bytes, separator));
    return 0;
}
