// Any references file, as File › Load reference and the references kept for the next start read it.
//
// A file refused says why and leaves the references as they were. A file read gives references
// whose frequencies rise, each with a level (a number, or -inf) at each of them; what they hold is
// bounded by the file's size. The references the window would hold (up to its most), written as it
// keeps them, read back with the same names, frequencies and levels (as far as the file's decimals
// go) and are written again the same: nothing kept is lost at the next start.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/spectrum_csv.h"
#include "state/references.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// The stem of the file's name, which a column named "level" (or nothing) takes.
const std::string kFileName = "take";

bool same_references(const std::vector<dl::ReferenceSpectrum>& a, const std::vector<dl::ReferenceSpectrum>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].frequencies != b[i].frequencies || a[i].decibels != b[i].decibels ||
            a[i].rate != b[i].rate || a[i].n != b[i].n)
            return false;
    return true;
}

// Whether `read` is `written` as far as `decimals` decimals keep it.
bool close_to(double read, double written, int decimals) {
    if (std::isinf(written)) return read == written;
    const double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(written) * 4e-16;
    return std::fabs(read - written) <= tolerance;
}

void check_read(const std::vector<dl::ReferenceSpectrum>& read, size_t text_size) {
    check(!read.empty());
    size_t levels = 0;
    for (const dl::ReferenceSpectrum& r : read) {
        check(!r.name.empty());
        check(r.frequencies.size() == r.decibels.size() && r.frequencies.size() >= 2);
        for (size_t i = 0; i < r.frequencies.size(); ++i) {
            check(std::isfinite(r.frequencies[i]) && r.frequencies[i] >= 0);
            check(i == 0 || r.frequencies[i] > r.frequencies[i - 1]);
            check(std::isfinite(r.decibels[i]) || r.decibels[i] == -HUGE_VAL);
        }
        // A rate is said only of a whole spectrum from 0 Hz, which its size matches.
        const size_t count = r.frequencies.size();
        check((r.n == 0 && r.rate == 0) ||
              (r.n == int(2 * count) && (count & (count - 1)) == 0 && r.frequencies[0] == 0));
        levels += r.frequencies.size();
    }
    // Each level takes at least a byte of the file.
    check(levels <= text_size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<dl::ReferenceSpectrum> held = {{"held", 8000, 4, {0, 2000}, {-10, -HUGE_VAL}}};
    std::vector<dl::ReferenceSpectrum> read = held;
    std::string why;
    if (!dl::ReadSpectrumCsv(text, kFileName, read, why)) {
        check(!why.empty() && same_references(read, held));
        return 0;
    }
    check_read(read, text.size());
    if (read.size() > dl::kMostReferences) return 0;  // the window refuses the file

    const std::string kept = dl::ReferencesCsv(read);
    std::vector<dl::ReferenceSpectrum> again;
    check(dl::ReadSpectrumCsv(kept, kFileName, again, why));
    check(again.size() == read.size());
    for (size_t k = 0; k < read.size(); ++k) {
        const dl::ReferenceSpectrum& a = again[k];
        const dl::ReferenceSpectrum& r = read[k];
        check(a.name == r.name && a.frequencies.size() == r.frequencies.size());
        for (size_t i = 0; i < r.frequencies.size(); ++i)
            check(close_to(a.frequencies[i], r.frequencies[i], 4) && close_to(a.decibels[i], r.decibels[i], 2));
    }
    check(dl::ReferencesCsv(again) == kept);
    return 0;
}
