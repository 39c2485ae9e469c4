#include "analysis/fft_fast.h"

#include <bit>
#include <cmath>
#include <memory>
#include <new>
#include <numbers>

#include "analysis/fft_fast_kernels.h"
#include "analysis/fft_split_scalar.h"

namespace dl::fft_fast {

int fail_next_allocations = 0;
bool use_portable_kernels = false;
bool use_radix8 = true;

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

std::vector<long long> shortages;

// Keeps re and im of the scratch apart by a cache line beyond a power of two.
constexpr int kScratchPad = 8;

const Kernels* const fast_kernels = avx2_kernels();

const Kernels& kernels_for(int n) {
    return fast_kernels && n >= fast_kernels->min_n && !use_portable_kernels ? *fast_kernels
                                                                             : generic_kernels;
}

// cos and sin of 2*pi*k/m, the angle formed in extended precision so every entry is correctly
// rounded or nearly so (better than any recurrence).
CosSin unit_root(long k, long m) {
    k %= m;
    if (k < 0) k += m;
    const long double turn = static_cast<long double>(k) / static_cast<long double>(m);
    const long double a = 2 * std::numbers::pi_v<long double> * turn;
    return {static_cast<double>(std::cos(a)), static_cast<double>(std::sin(a))};
}

// The twiddles of a pass of `radix` over sub-length nk: for m = 1..radix-1, nk/radix values of
// cos, then of -sin, of m*2*pi*p/nk. Returns the end of what it wrote.
double* fill_twiddles(double* at, int nk, int radix) {
    const int n1 = nk / radix;
    for (int m = 1; m < radix; ++m) {
        double* wr = at + (m - 1) * 2 * n1;
        double* wi = wr + n1;
        for (int p = 0; p < n1; ++p) {
            const CosSin w = unit_root(static_cast<long>(m) * p, nk);
            wr[p] = w.c;
            wi[p] = -w.s;
        }
    }
    return at + 2 * (radix - 1) * n1;
}

bool build_plan(int log2n, PlanSlot& slot) {
    const int n = 1 << log2n;
    std::size_t total = 2 * (static_cast<std::size_t>(n) + 1);
    for (int nk = n; nk >= 4; nk /= 4) total += 6 * static_cast<std::size_t>(nk / 4);
    if (n >= 4) total += 6 * static_cast<std::size_t>(n / 4);
    for (int nk = 16; nk <= n / 4; nk *= 2) total += 14 * static_cast<std::size_t>(nk / 8);
    Block storage = allocate(total);
    if (!storage) return false;
    Plan& plan = slot.plan;
    plan = Plan{};
    plan.log2n = log2n;
    plan.n = n;
    double* at = storage.get();
    int nk = n;
    for (; nk >= 4; nk /= 4) {
        plan.level_twiddles[plan.levels++] = at;
        at = fill_twiddles(at, nk, 4);
    }
    plan.radix2_tail = nk == 2;
    if (n >= 4) {
        const int n1 = n / 4;
        const double* natural = plan.level_twiddles[0];
        double* shuffled = at;
        for (int a = 0; a < 6; ++a) {
            for (int p = 0; p < n1; ++p) {
                const int g = p & ~3, l = p & 3;
                const int from = n1 >= 4 ? g + (l == 1 ? 2 : l == 2 ? 1 : l) : p;
                shuffled[a * n1 + p] = natural[a * n1 + from];
            }
        }
        plan.first_shuffled = shuffled;
        at += 6 * n1;
    }
    for (int lg = 4; (1 << lg) <= n / 4; ++lg) {
        plan.radix8_twiddles[lg] = at;
        at = fill_twiddles(at, 1 << lg, 8);
    }
    double* c = at;
    double* s = at + n + 1;
    for (int j = 0; j <= n; ++j) {
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

// Beyond this size the sixteen streams of the radix-8 final pass, a power of two apart, fight
// over the same cache sets; a radix-4 and a radix-2 pass do better there.
constexpr int kMaxLast8 = 2048;

enum class Kind { First4, Middle4, Middle8, Last4, Last8, Last2 };

struct Stage {
    Kind kind;
    int level;  // radix-4 kinds: the level whose twiddles they use
    int s;
};

// Radix-4 passes only: one per level, the last two levels of an odd size fused where the kernels
// can.
int schedule_radix4(const Plan& plan, const Kernels& k, Stage out[16]) {
    const int n = plan.n;
    int count = 0, s = 1;
    bool tail = plan.radix2_tail;
    for (int level = 0; level < plan.levels; ++level, s *= 4) {
        const int nk = n / s;
        if (nk == 4) {
            out[count++] = {Kind::Last4, level, s};
        } else if (nk == 8 && tail && k.last8 && n <= kMaxLast8) {
            out[count++] = {Kind::Last8, level, s};
            tail = false;
        } else {
            out[count++] = {s == 1 ? Kind::First4 : Kind::Middle4, level, s};
        }
    }
    if (tail) out[count++] = {Kind::Last2, plan.levels, n / 2};
    return count;
}

// The first radix-4 level, `fours` more radix-4 levels, radix-8 passes, and a final pass of
// radix 2, 4 or 8 (whichever the remaining size is). 0 when that does not fit the size.
int schedule_radix8(const Plan& plan, const Kernels& k, int fours, Stage out[16]) {
    const int n = plan.n;
    const int eights = (plan.log2n - 2 - 2 * fours - 1) / 3;
    if (eights < 1) return 0;
    const int last = plan.log2n - 2 - 2 * fours - 3 * eights;  // 1, 2 or 3 bits
    // The fused last level of sub-length 8 needs that level's twiddles (odd sizes only).
    if (last == 3 && !(k.last8 && n <= kMaxLast8 && plan.radix2_tail)) return 0;
    int count = 0, s = 1;
    for (int level = 0; level <= fours; ++level, s *= 4)
        out[count++] = {level == 0 ? Kind::First4 : Kind::Middle4, level, s};
    for (int i = 0; i < eights; ++i, s *= 8) out[count++] = {Kind::Middle8, 0, s};
    if (last == 1) out[count++] = {Kind::Last2, 0, s};
    if (last == 2) out[count++] = {Kind::Last4, 0, s};
    if (last == 3) out[count++] = {Kind::Last8, plan.levels - 1, s};
    return count;
}

// The first radix-4 level, two radix-8 passes, then the radix-4 levels from the fifth on (the
// sub-length is then n/256, a radix-4 level's). 0 when the size is too small.
int schedule_radix8_front(const Plan& plan, const Kernels& k, Stage out[16]) {
    if (plan.log2n < 11) return 0;
    Stage all4[16];
    const int c4 = schedule_radix4(plan, k, all4);
    int count = 0;
    out[count++] = all4[0];
    out[count++] = {Kind::Middle8, 0, 4};
    out[count++] = {Kind::Middle8, 0, 32};
    for (int i = 4; i < c4; ++i) out[count++] = all4[i];
    return count;
}

bool fits(const Kernels& k, int n, const Stage* stages, int count) {
    for (int i = 0; i < count; ++i)
        if (stages[i].kind == Kind::Middle8 && !k.middle8_fits(n, stages[i].s)) return false;
    return true;
}

// The passes over memory for one transform: radix-8 ones where the kernels have them for the
// size and stride and they make fewer passes. The last pass can always run in place.
int schedule(const Plan& plan, const Kernels& k, Stage out[16]) {
    int count = schedule_radix4(plan, k, out);
    if (!k.middle8 || !use_radix8) return count;
    for (int candidate = 0; candidate < 3; ++candidate) {
        Stage trial[16];
        const int c = candidate < 2 ? schedule_radix8(plan, k, candidate, trial) : schedule_radix8_front(plan, k, trial);
        if (c > 0 && c < count && fits(k, plan.n, trial, c)) {
            count = c;
            for (int i = 0; i < c; ++i) out[i] = trial[i];
        }
    }
    return count;
}

struct Buf {
    double* r;
    double* i;
    bool operator==(const Buf&) const = default;
};

}  // namespace

void note_shortage(long long bytes) { shortages.push_back(bytes); }

std::vector<long long> take_shortages() {
    std::vector<long long> taken;
    taken.swap(shortages);
    return taken;
}

void release_all() {
    for (PlanSlot& slot : plans) slot = PlanSlot{};
    scratch_block.reset();
    scratch_capacity = 0;
}

const Plan* plan(int log2n) {
    if (log2n < 0 || log2n > kMaxLog2) return nullptr;
    PlanSlot& slot = plans[log2n];
    if (!slot.storage && !build_plan(log2n, slot)) return nullptr;
    return &slot.plan;
}

bool scratch(int n, Scratch& out) {
    if (n > scratch_capacity) {
        Block grown = allocate(2 * (static_cast<std::size_t>(n) + kScratchPad));
        if (!grown) return false;
        scratch_block = std::move(grown);
        scratch_capacity = n;
    }
    out = {scratch_block.get(), scratch_block.get() + scratch_capacity + kScratchPad};
    return true;
}

namespace {

// One stage from (xr, xi) to (yr, yi); `interleaved` reads the input as complex pairs at xr.
void run(const Stage& st, const Kernels& k, const Plan& plan, const double* xr, const double* xi,
         double* yr, double* yi, bool interleaved) {
    const int n = plan.n;
    const double* tw = plan.level_twiddles[st.level];
    switch (st.kind) {
    case Kind::First4:
        if (interleaved)
            k.first_interleaved(n, xr, yr, yi, k.shuffled_first ? plan.first_shuffled : tw);
        else
            k.first(n, xr, xi, yr, yi, tw);
        break;
    case Kind::Middle4: k.middle(n, st.s, xr, xi, yr, yi, tw); break;
    case Kind::Middle8: {
        const int sub_length_log2 = plan.log2n - std::countr_zero(unsigned(st.s));
        k.middle8(n, st.s, xr, xi, yr, yi, plan.radix8_twiddles[sub_length_log2]);
        break;
    }
    case Kind::Last4: k.last4(n, xr, xi, yr, yi, 1.0); break;
    case Kind::Last8: k.last8(n, xr, xi, yr, yi, tw); break;
    case Kind::Last2: k.last2(n, xr, xi, yr, yi, 1.0); break;
    }
}

}  // namespace

void complex_forward(const Plan& plan, double* re, double* im, const Scratch& work,
                     double scale) {
    const int n = plan.n;
    const Kernels& k = kernels_for(n);
    Stage stages[16];
    const int count = schedule(plan, k, stages);
    const Buf user{re, im}, other{work.re, work.im};
    Buf cur = user;
    for (int i = 0; i < count; ++i) {
        const Buf out = i == count - 1 ? user : cur == user ? other : user;
        run(stages[i], k, plan, cur.r, cur.i, out.r, out.i, false);
        cur = out;
    }
    if (scale != 1.0) {
        for (int i = 0; i < n; ++i) {
            re[i] *= scale;
            im[i] *= scale;
        }
    }
}

void real_forward(const Plan& plan, double* re, double* im, bool mirror) {
    const int h = plan.n;
    const Kernels& k = kernels_for(h);
    const double g = 0.25 / h;
    Stage stages[16];
    const int count = schedule(plan, k, stages);
    if (count < 2) {
        // Tiny sizes: pack, transform in the lower halves with the upper halves as work space.
        for (int j = 0; j < h; ++j) {
            const double even = re[2 * j], odd = re[2 * j + 1];
            re[j] = even;
            im[j] = odd;
        }
        complex_forward(plan, re, im, Scratch{re + h, im + h}, 1.0);
        k.split(h, re, im, re, im, plan.split_cos, plan.split_sin, g, mirror);
        return;
    }
    // The first stage reads the signal as h interleaved complex values into the scratch; later
    // stages alternate between it and the lower halves of re and im, the last one in place, and
    // the split reads the result from either. Real and imaginary parts in the halves of one
    // array would lie a power of two apart and share cache sets; the scratch's and (as callers
    // allocate them) re's and im's do not.
    Scratch work{};
    const bool apart = scratch(h, work);
    // Without the scratch: im laid out as [real | imaginary], then re in that layout.
    const Buf a = apart ? Buf{re, im} : Buf{re, re + h};
    const Buf b = apart ? Buf{work.re, work.im} : Buf{im, im + h};
    run(stages[0], k, plan, re, nullptr, b.r, b.i, true);
    Buf cur = b;
    for (int i = 1; i < count; ++i) {
        const Buf out = i == count - 1 ? cur : cur == a ? b : a;
        run(stages[i], k, plan, cur.r, cur.i, out.r, out.i, false);
        cur = out;
    }
    k.split(h, cur.r, cur.i, re, im, plan.split_cos, plan.split_sin, g, mirror);
}

int passes(const Plan& plan) {
    Stage stages[16];
    return schedule(plan, kernels_for(plan.n), stages);
}

void inverse_prepare(const Plan& plan, double* re, double* im) {
    const double* c = plan.split_cos;
    const double* s = plan.split_sin;
    inverse_pairs(plan.n, re, im, [c, s](int j) { return CosSin{c[j], s[j]}; });
}

}  // namespace dl::fft_fast
