#include "analysis/fft_fast.h"

#include <cmath>
#include <memory>
#include <new>
#include <numbers>

#include "analysis/fft_fast_kernels.h"
#include "analysis/fft_split_scalar.h"

namespace dl::fft_fast {

int fail_next_allocations = 0;

namespace {

constexpr int kMaxLog2 = 30;
constexpr std::size_t kAlign = 64;

struct AlignedFree {
    void operator()(double* p) const { ::operator delete[](p, std::align_val_t(kAlign)); }
};
using Block = std::unique_ptr<double[], AlignedFree>;

Block allocate(std::size_t count) {
    if (fail_next_allocations > 0) {
        --fail_next_allocations;
        return nullptr;
    }
    void* p = ::operator new[](count * sizeof(double), std::align_val_t(kAlign), std::nothrow);
    return Block(static_cast<double*>(p));
}

struct PlanSlot {
    Plan plan;
    Block storage;
};
PlanSlot plans[kMaxLog2 + 1];

Block scratch_block;
int scratch_capacity = 0;

// Keeps re and im of the scratch apart by a cache line beyond a power of two.
constexpr int kScratchPad = 8;

const Kernels& kernels_for(int n) {
    static const Kernels* const fast = avx2_kernels();
    return fast && n >= fast->min_n ? *fast : generic_kernels;
}

// cos and sin of 2*pi*k/m, exact to the last bit or two for every k.
CosSin unit_root(long k, long m) {
    // Reduce to the first octant so the library sees a small argument.
    k %= m;
    if (k < 0) k += m;
    const long double turn = static_cast<long double>(k) / static_cast<long double>(m);
    const long double a = 2 * std::numbers::pi_v<long double> * turn;
    return {static_cast<double>(std::cos(a)), static_cast<double>(std::sin(a))};
}

bool build_plan(int log2n, PlanSlot& slot) {
    const int n = 1 << log2n;
    std::size_t total = 2 * (static_cast<std::size_t>(n / 2) + 1);
    for (int nk = n; nk > 4; nk /= 4) total += 6 * static_cast<std::size_t>(nk / 4);
    Block storage = allocate(total);
    if (!storage) return false;
    Plan& plan = slot.plan;
    plan = Plan{};
    plan.log2n = log2n;
    plan.n = n;
    double* at = storage.get();
    int nk = n;
    for (; nk > 4; nk /= 4) {
        const int n1 = nk / 4;
        plan.pass_twiddles[plan.twiddled_passes++] = at;
        for (int m = 1; m <= 3; ++m) {
            double* wr = at + (m - 1) * 2 * n1;
            double* wi = wr + n1;
            for (int p = 0; p < n1; ++p) {
                const CosSin w = unit_root(static_cast<long>(m) * p, nk);
                wr[p] = w.c;
                wi[p] = -w.s;
            }
        }
        at += 6 * n1;
    }
    plan.last_radix = n == 1 ? 1 : nk;
    double* c = at;
    double* s = at + n / 2 + 1;
    for (int j = 0; j <= n / 2; ++j) {
        const CosSin w = unit_root(j, 2L * n);
        c[j] = w.c;
        s[j] = w.s;
    }
    if (n >= 2) {  // the quarter turn exactly
        c[n / 2] = 0;
        s[n / 2] = 1;
    }
    plan.split_cos = c;
    plan.split_sin = s;
    slot.storage = std::move(storage);
    return true;
}

struct Buf {
    double* r;
    double* i;
    bool operator==(const Buf&) const = default;
};

}  // namespace

const Plan* existing_plan(int log2n) {
    if (log2n < 0 || log2n > kMaxLog2) return nullptr;
    return plans[log2n].storage ? &plans[log2n].plan : nullptr;
}

const Plan* plan(int log2n) {
    if (log2n < 0 || log2n > kMaxLog2) return nullptr;
    PlanSlot& slot = plans[log2n];
    if (!slot.storage && !build_plan(log2n, slot)) return nullptr;
    return &slot.plan;
}

bool existing_scratch(int n, Scratch& out) {
    if (n > scratch_capacity) return false;
    out = {scratch_block.get(), scratch_block.get() + scratch_capacity + kScratchPad};
    return true;
}

bool scratch(int n, Scratch& out) {
    if (n > scratch_capacity) {
        Block grown = allocate(2 * (static_cast<std::size_t>(n) + kScratchPad));
        if (!grown) return false;
        scratch_block = std::move(grown);
        scratch_capacity = n;
    }
    return existing_scratch(n, out);
}

void complex_forward(const Plan& plan, double* re, double* im, const Scratch& work,
                     double scale) {
    const int n = plan.n;
    if (n == 1) {
        re[0] *= scale;
        im[0] *= scale;
        return;
    }
    const Kernels& k = kernels_for(n);
    const Buf user{re, im}, other{work.re, work.im};
    Buf cur = user;
    int s = 1;
    for (int pass = 0; pass < plan.twiddled_passes; ++pass, s *= 4) {
        const Buf out = cur == user ? other : user;
        if (s == 1)
            k.first(n, cur.r, cur.i, out.r, out.i, plan.pass_twiddles[pass]);
        else
            k.middle(n, s, cur.r, cur.i, out.r, out.i, plan.pass_twiddles[pass]);
        cur = out;
    }
    // The final pass needs no twiddles and may run in place.
    if (plan.last_radix == 4)
        k.last4(n, cur.r, cur.i, re, im, scale);
    else
        k.last2(n, cur.r, cur.i, re, im, scale);
}

void real_forward(const Plan& plan, double* re, double* im) {
    const int h = plan.n;
    const Kernels& k = kernels_for(h);
    const double g = 0.25 / h;
    if (plan.twiddled_passes == 0) {
        // Tiny sizes: pack, transform in the lower halves with the upper halves as work space.
        for (int j = 0; j < h; ++j) {
            const double even = re[2 * j], odd = re[2 * j + 1];
            re[j] = even;
            im[j] = odd;
        }
        complex_forward(plan, re, im, Scratch{re + h, im + h}, 1.0);
        k.split(h, re, im, re, im, plan.split_cos, plan.split_sin, g);
        return;
    }
    // The signal is read as h interleaved complex values by the first pass, which writes into im
    // laid out as [real | imaginary]; later passes alternate between re and im in that layout,
    // and the split reads the result from either in place. No other memory is needed.
    const Buf a{re, re + h}, b{im, im + h};
    k.first_interleaved(h, re, b.r, b.i, plan.pass_twiddles[0]);
    Buf cur = b;
    int s = 4;
    for (int pass = 1; pass < plan.twiddled_passes; ++pass, s *= 4) {
        const Buf out = cur == a ? b : a;
        k.middle(h, s, cur.r, cur.i, out.r, out.i, plan.pass_twiddles[pass]);
        cur = out;
    }
    if (plan.last_radix == 4)
        k.last4(h, cur.r, cur.i, cur.r, cur.i, 1.0);
    else
        k.last2(h, cur.r, cur.i, cur.r, cur.i, 1.0);
    k.split(h, cur.r, cur.i, re, im, plan.split_cos, plan.split_sin, g);
}

void split_forward(const Plan& plan, const double* xr, const double* xi, double* re, double* im,
                   double scale) {
    kernels_for(plan.n).split(plan.n, xr, xi, re, im, plan.split_cos, plan.split_sin,
                              0.25 * scale);
}

void inverse_prepare(const Plan& plan, double* re, double* im) {
    const double* c = plan.split_cos;
    const double* s = plan.split_sin;
    inverse_pairs(plan.n, re, im, [c, s](int j) { return CosSin{c[j], s[j]}; });
}

}  // namespace dl::fft_fast
