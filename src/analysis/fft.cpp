#include "analysis/fft.h"

#include <bit>
#include <cstdio>
#include <cmath>
#include <new>
#include <numbers>

#include "analysis/analysis_stop.h"
#include "analysis/fft_fast.h"
#include "analysis/fft_split_scalar.h"

namespace dl {

int pow2(int k) {
    uint32_t r = 1;
    for (int i = 0; i < k; ++i) r *= 2;
    return static_cast<int>(r);
}

int ceil_log2(int n) {
    if (n <= 1) return 0;
    int64_t v = 2 * static_cast<int64_t>(n) - 1;
    int bits = 0;
    for (; v > 0; v >>= 1) ++bits;
    return bits - 1;
}

std::vector<std::string> TakeFftShortageTexts(bool japanese) {
    std::vector<std::string> texts;
    for (const long long bytes : fft_fast::take_shortages()) {
        char text[64];
        std::snprintf(text, sizeof text, japanese ? "記憶領域不足 %lld" : "nomem %lld", bytes);
        texts.emplace_back(text);
    }
    return texts;
}

namespace {

bool is_power_of_two(int n) { return n > 0 && (n & (n - 1)) == 0; }

int log2_exact(int n) { return std::countr_zero(static_cast<unsigned>(n)); }

// The size reported is that of the sine table the transform's tables start with.
void report_no_memory(int n) { fft_fast::note_shortage((static_cast<long long>(n) + n / 4) * 8); }

// The engine's plan for n points (and its work buffer): false, after reporting, when memory
// runs out.
bool prepare(int n, const fft_fast::Plan*& plan, fft_fast::Scratch* work) {
    plan = fft_fast::plan(log2_exact(n));
    if (plan && (!work || fft_fast::scratch(n, *work))) return true;
    report_no_memory(n);
    return false;
}

// fft_direct without any memory of its own: the radix-2 loops with the twiddle advanced by
// complex multiplication. Used only when the engine cannot get its tables.
void direct_plain(double* re, double* im, int n, int sign) {
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (j >= i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int k = n / 2;
        while (j >= k) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    double theta = std::numbers::pi;
    for (int le = 1; le <= n / 2; le *= 2, theta /= 2) {
        const double cs = std::cos(theta), sn = sign < 0 ? -std::sin(theta) : std::sin(theta);
        double wr = 1, wi = 0;
        for (int jj = 0; jj < le; ++jj) {
            for (int i = jj; i < n; i += 2 * le) {
                const int ip = i + le;
                const double tr = re[ip] * wr - im[ip] * wi, ti = im[ip] * wr + re[ip] * wi;
                re[ip] = re[i] - tr;
                im[ip] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
            const double w = cs * wr - sn * wi;
            wi = sn * wr + cs * wi;
            wr = w;
        }
    }
    if (sign < 0) {
        for (int i = 0; i < n; ++i) {
            re[i] /= n;
            im[i] /= n;
        }
    }
}

fft_fast::CosSin split_twiddle(int j, int big_n) {
    const double a = 2 * std::numbers::pi * j / big_n;
    return {std::cos(a), std::sin(a)};
}

}  // namespace

int fft(int n, double* re, double* im) {
    const bool inverse = n < 0;
    if (inverse) n = -n;
    if (!is_power_of_two(n)) return 1;
    const fft_fast::Plan* plan = nullptr;
    fft_fast::Scratch work{};
    if (!prepare(n, plan, &work)) return 1;
    if (inverse)
        fft_fast::complex_forward(*plan, im, re, {work.im, work.re}, 1.0);
    else
        fft_fast::complex_forward(*plan, re, im, work, 1.0 / n);
    return 0;
}

void fft_direct(double* re, double* im, int p, int sign) {
    const int n = pow2(p);
    const fft_fast::Plan* plan = fft_fast::plan(p < 0 ? 0 : p);
    fft_fast::Scratch work{};
    if (!plan || !fft_fast::scratch(n, work)) {
        direct_plain(re, im, n, sign);
        return;
    }
    if (sign < 0)
        fft_fast::complex_forward(*plan, re, im, work, 1.0 / n);
    else
        fft_fast::complex_forward(*plan, im, re, {work.im, work.re}, 1.0);
}

namespace {

// fft2's forward direction, the upper halves written only when `mirror`.
void real_forward(double* re, double* im, int p, bool mirror) {
    if (p <= 0) {  // one sample is its own spectrum
        im[0] = 0;
        return;
    }
    const int big_n = pow2(p), h = big_n / 2;
    const fft_fast::Plan* plan = nullptr;
    // The engine takes the scratch when it can and otherwise runs inside re and im alone.
    if (prepare(h, plan, nullptr)) {
        fft_fast::real_forward(*plan, re, im, mirror);
        return;
    }
    for (int j = 0; j < h; ++j) {
        const double even = re[2 * j], odd = re[2 * j + 1];
        re[j] = even;
        im[j] = odd;
    }
    fft_direct(re, im, p - 1, -1);
    const auto twiddle = [big_n](int j) { return split_twiddle(j, big_n); };
    fft_fast::split_pairs(h, re, im, re, im, twiddle, 0.25, mirror);
}

}  // namespace

void fft2_lower(double* re, double* im, int p) { real_forward(re, im, p, false); }

void fft2(double* re, double* im, int p, int direction) {
    if (direction == -1) {
        real_forward(re, im, p, true);
        return;
    }
    if (p <= 0) {  // one sample is its own spectrum
        im[0] = 0;
        return;
    }
    const int big_n = pow2(p), h = big_n / 2;
    const auto twiddle = [big_n](int j) { return split_twiddle(j, big_n); };
    const fft_fast::Plan* plan = nullptr;
    fft_fast::Scratch work{};
    if (!fft_fast::scratch(h, work)) {
        throw AnalysisStop("fft2", "fft2", true, 1);
    }
    if (prepare(h, plan, nullptr)) {
        fft_fast::inverse_prepare(*plan, re, im);
        fft_fast::complex_forward(*plan, im, re, {work.im, work.re}, 1.0);
    } else {
        fft_fast::inverse_pairs(h, re, im, twiddle);
        fft_direct(re, im, p - 1, 1);
    }
    for (int j = h - 1; j >= 0; --j) {
        re[2 * j + 1] = im[j];
        re[2 * j] = re[j];
    }
    for (int j = 0; j < big_n; ++j) im[j] = 0;
}

}  // namespace dl
