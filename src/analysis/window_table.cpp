#include "analysis/window_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dl {

namespace {

double gauss(double width, int i, int m) {
    const double x = width * (m - i) / m;
    return std::exp(-0.25 * x * x);
}

}  // namespace

void make_window(WindowTableRecord& table, int type, int M) {
    const int m = std::min(M, kWindowTableSize);
    if (type == kRectangularWindow) return;
    fill_window(type, m, table.window.data());
}

void fill_window(int type, int m, double* w) {
    constexpr double pi = std::numbers::pi;
    for (int i = 0; i < m; ++i) {
        const double a = i * pi / m, a2 = i * 2 * pi / m;
        switch (type) {
        case 0: w[i] = 0.5 - 0.5 * std::cos(a); break;
        case 1: w[i] = 0.54 - 0.46 * std::cos(a); break;
        case 2: w[i] = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(a2); break;
        case 3: w[i] = static_cast<double>(i) / m; break;
        case 5: w[i] = gauss(4.24, i, m); break;
        case 6: w[i] = gauss(6.5, i, m); break;
        case 7: w[i] = i < m / 2 ? 0.5 - 0.5 * std::cos(a2) : 1.0; break;
        default: w[i] = 1.0; break;  // an unknown stored type weights nothing
        }
    }
}

bool ensure_window(WindowTableRecord& table, int type, int half_length) {
    if (type == kRectangularWindow) return false;
    if (half_length == table.cached_length && type == table.cached_type) return false;
    make_window(table, type, half_length);
    table.cached_length = half_length;
    table.cached_type = type;
    return true;
}

}  // namespace dl
