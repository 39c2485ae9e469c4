#include "analysis/reference_fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace dl::reference {

namespace {
constexpr double pi = std::numbers::pi;
}

void build_sine_table(std::vector<double>& t, int n) {
    const int half = n / 2, quarter = n / 4, eighth = n / 8;
    t.assign(n + quarter, 0.0);
    double s = std::sin(pi / n);
    double dc = 2 * s * s;
    double ds = std::sqrt(dc * (2 - dc));
    s = 2 * dc;
    t[quarter] = 1;
    double cs = 1;
    t[0] = 0;
    double sn = 0;
    for (int i = 1; i < eighth; ++i) {
        cs = cs - dc;
        dc = dc + s * cs;
        sn = sn + ds;
        ds = ds - s * sn;
        t[i] = sn;
        t[quarter - i] = cs;
    }
    if (eighth != 0) t[eighth] = std::sqrt(0.5);
    for (int i = 0; i < quarter; ++i) t[half - i] = t[i];
    for (int i = 0; i < half + quarter; ++i) t[i + half] = -t[i];
}

void build_bitrev_table(std::vector<int32_t>& b, int n) {
    b.assign(n, 0);
    const int half = n / 2;
    int i = 0, j = 0;
    for (;;) {
        b[i] = j;
        i = i + 1;
        if (i == n) break;
        int k = half;
        while (k <= j) {
            j = j - k;
            k = k / 2;
        }
        j = j + k;
    }
}

int fft(int n, double* re, double* im, Tables& tables) {
    bool inverse = false;
    if (n < 0) {
        n = -n;
        inverse = true;
    }
    if (n != tables.last_size) {
        tables.last_size = n;
        build_sine_table(tables.sine, n);
        build_bitrev_table(tables.bitrev, n);
    }
    const double* T = tables.sine.data();
    const int32_t* B = tables.bitrev.data();
    const int quarter = n / 4;
    for (int i = 0; i < n; ++i) {
        const int j = B[i];
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (int k = 1; k < n; k *= 2) {
        int h = 0;
        const int k2 = 2 * k, d = n / k2;
        for (int j = 0; j < k; ++j) {
            const double cs = T[h + quarter];
            const double sn = inverse ? -T[h] : T[h];
            for (int i = j; i < n; i += k2) {
                const int ik = i + k;
                const double dx = sn * im[ik] + cs * re[ik];
                const double dy = cs * im[ik] - sn * re[ik];
                re[ik] = re[i] - dx;
                re[i] = re[i] + dx;
                im[ik] = im[i] - dy;
                im[i] = im[i] + dy;
            }
            h = h + d;
        }
    }
    if (!inverse) {
        for (int i = 0; i < n; ++i) {
            re[i] /= n;
            im[i] /= n;
        }
    }
    return 0;
}

void fft_direct(double* re, double* im, int p, int sign) {
    int n = 1;
    for (int i = 0; i < p; ++i) n *= 2;
    int j = 0;
    for (int i = 0; i <= n - 2; ++i) {
        if (j >= i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int k = n / 2;
        while (j >= k) {
            j = j - k;
            k = k / 2;
        }
        j = j + k;
    }
    double theta = pi;
    for (int le = 1; le <= n / 2; le *= 2) {
        const double cs = std::cos(theta);
        const double sn = sign < 0 ? -std::sin(theta) : std::sin(theta);
        double wr = 1, wi = 0;
        for (int jj = 0; jj < le; ++jj) {
            for (int i = jj; i < n; i += 2 * le) {
                const int ip = i + le;
                const double tr = re[ip] * wr - im[ip] * wi;
                const double ti = im[ip] * wr + re[ip] * wi;
                re[ip] = re[i] - tr;
                im[ip] = im[i] - ti;
                re[i] = re[i] + tr;
                im[i] = im[i] + ti;
            }
            const double nwr = cs * wr - sn * wi;
            const double nwi = sn * wr + cs * wi;
            wr = nwr;
            wi = nwi;
        }
        theta = theta / 2;
    }
    if (sign < 0) {
        for (int i = 0; i < n; ++i) {
            re[i] /= n;
            im[i] /= n;
        }
    }
}

void fft2(double* re, double* im, int p, int direction, Tables& tables) {
    int big_n = 1;
    for (int i = 0; i < p; ++i) big_n *= 2;
    const int h = big_n / 2;
    std::vector<double> R(h), S(h);
    const double step = 2 * pi / big_n;
    if (direction == -1) {
        for (int j = 0; j < h; ++j) {
            re[j] = re[2 * j];
            im[j] = re[2 * j + 1];
        }
        fft(h, re, im, tables);
        re[h] = re[0];
        im[h] = im[0];
        double theta = 0;
        for (int j = 0; j < h; ++j) {
            const double a = re[j], b = im[j], e = re[h - j], f = im[h - j];
            R[j] = ((b + f) * std::cos(theta) + (a + e) - (a - e) * std::sin(theta)) * 0.5;
            S[j] = ((b - f) - (b + f) * std::sin(theta) - (a - e) * std::cos(theta)) * 0.5;
            theta += step;
        }
        for (int j = 0; j < h; ++j) {
            re[j] = R[j] * 0.5;
            im[j] = S[j] * 0.5;
        }
        re[h] = 0;
        im[h] = 0;
        for (int j = 1; j < h; ++j) {
            re[big_n - j] = R[j] * 0.5;
            im[big_n - j] = -S[j] * 0.5;
        }
        return;
    }
    for (int j = 0; j < h; ++j) {
        R[j] = 2 * re[j];
        S[j] = 2 * im[j];
    }
    double theta = 0;
    for (int j = 1; j < h / 2; ++j) {
        theta += step;
        const double cs = std::cos(theta), sn = std::sin(theta), q = sn * sn + cs * cs;
        const double a = R[j], b = S[j], e = R[h - j], f = S[h - j];
        double m = ((a - e) * sn + (b + f) * cs) / q;
        re[j] = (a + e - m) * 0.5;
        re[h - j] = (m + a + e) * 0.5;
        m = ((a - e) * cs - (b + f) * sn) / q;
        im[j] = (b - f + m) * 0.5;
        im[h - j] = (m + f - b) * 0.5;
    }
    re[0] = R[0];
    im[0] = S[0];
    im[h / 2] = S[h / 2];
    re[h / 2] = R[h / 2];
    fft(-h, re, im, tables);
    for (int j = h - 1; j >= 0; --j) {
        re[2 * j + 1] = im[j];
        re[2 * j] = re[j];
    }
    for (int j = 0; j < big_n; ++j) im[j] = 0;
}

void dft(int n, const double* re, const double* im, double* out_re, double* out_im, bool inverse) {
    const long double sign = inverse ? 1.0L : -1.0L;
    std::vector<long double> c(n), s(n);
    for (int m = 0; m < n; ++m) {
        const long double a = 2 * std::numbers::pi_v<long double> * m / n;
        c[m] = std::cos(a);
        s[m] = sign * std::sin(a);
    }
    for (int k = 0; k < n; ++k) {
        long double sr = 0, si = 0;
        for (int j = 0; j < n; ++j) {
            const int m = static_cast<int>(static_cast<long long>(j) * k % n);
            sr += re[j] * c[m] - im[j] * s[m];
            si += re[j] * s[m] + im[j] * c[m];
        }
        out_re[k] = static_cast<double>(inverse ? sr : sr / n);
        out_im[k] = static_cast<double>(inverse ? si : si / n);
    }
}

}  // namespace dl::reference
