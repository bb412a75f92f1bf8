#include "engine/fftunit.h"

#include <cmath>
#include <type_traits>

#include "base/safefile.h"
#include "base/textformat.h"
#include "base/translate.h"

static_assert(sizeof(Complex) == 2 * sizeof(double) && std::is_standard_layout_v<Complex>,
              "the kernel views an array of Complex as interleaved doubles");

namespace {

// ---- Permutation --------------------------------------------------------------
//
// With B = log2(N) index bits, the offsets scratch[j] (in doubles) are twice
// the B-bit reversal of j for the m smallest j, where m is 2^floor((B-1)/2).
// An index is then split into a low field j < m, a middle field of one bit
// (B odd) or two bits (B even), and a high field k of as many bits as j:
//   index = j + rev(k) + middle,  reversed = k + rev(j) + reversed middle.
// Swapping index and reversed for every j < k and every middle value, plus
// the middle values that are not their own reversal when j = k, visits each
// pair exactly once.

void SwapValues(double* a, int x, int y, bool conjugate) {
    double xr = a[x];
    double xi = a[x + 1];
    a[x] = a[y];
    a[x + 1] = conjugate ? -a[y + 1] : a[y + 1];
    a[y] = xr;
    a[y + 1] = conjugate ? -xi : xi;
}

void ConjugateValue(double* a, int x) {
    a[x + 1] = -a[x + 1];
}

void Permute(int n, int* scratch, double* a, bool conjugate) {
    if (n <= 2) {
        // One value (or none): nothing moves, and the offset scheme below
        // would reach past it.
        if (n == 2 && conjugate) {
            ConjugateValue(a, 0);
        }
        return;
    }
    scratch[0] = 0;
    int l = n;
    int m = 1;
    while (8 * m < l) {
        l /= 2;
        for (int j = 0; j < m; ++j) {
            scratch[m + j] = scratch[j] + l;
        }
        m *= 2;
    }
    // One middle value step, in doubles.
    const int step = 2 * m;
    if (8 * m == l) {
        // Two middle bits: 00 and 11 map to themselves, 01 and 10 to each other.
        for (int k = 0; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                int x = 2 * j + scratch[k];
                int y = 2 * k + scratch[j];
                SwapValues(a, x, y, conjugate);
                SwapValues(a, x + step, y + 2 * step, conjugate);
                SwapValues(a, x + 2 * step, y + step, conjugate);
                SwapValues(a, x + 3 * step, y + 3 * step, conjugate);
            }
            int x = 2 * k + scratch[k];
            SwapValues(a, x + step, x + 2 * step, conjugate);
            if (conjugate) {
                ConjugateValue(a, x);
                ConjugateValue(a, x + 3 * step);
            }
        }
    } else {
        // One middle bit, which maps to itself.
        for (int k = 0; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                int x = 2 * j + scratch[k];
                int y = 2 * k + scratch[j];
                SwapValues(a, x, y, conjugate);
                SwapValues(a, x + step, y + step, conjugate);
            }
            if (conjugate) {
                int x = 2 * k + scratch[k];
                ConjugateValue(a, x);
                ConjugateValue(a, x + step);
            }
        }
    }
}

// ---- Butterflies ----------------------------------------------------------------
//
// One radix-4 butterfly on the values at doubles p, p + s, p + 2s, p + 3s
// (s = span in doubles): sums and differences first, twiddles afterwards.

struct TTwiddles {
    double w1r, w1i, w2r, w2i, w3r, w3i;
};

// The butterfly core: x0 = u0 + u1, x1 = u0 - u1, x2 = u2 + u3, x3 = u2 - u3,
// giving the four unmultiplied outputs x0 + x2, x1 + i x3, x0 - x2, x1 - i x3.
struct TSums {
    double y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
};

TSums Sums(const double* a, int p, int s) {
    double x0r = a[p] + a[p + s];
    double x0i = a[p + 1] + a[p + s + 1];
    double x1r = a[p] - a[p + s];
    double x1i = a[p + 1] - a[p + s + 1];
    double x2r = a[p + 2 * s] + a[p + 3 * s];
    double x2i = a[p + 2 * s + 1] + a[p + 3 * s + 1];
    double x3r = a[p + 2 * s] - a[p + 3 * s];
    double x3i = a[p + 2 * s + 1] - a[p + 3 * s + 1];
    return {x0r + x2r, x0i + x2i, x1r - x3i, x1i + x3r, x0r - x2r, x0i - x2i, x1r + x3i, x1i - x3r};
}

// Block 0: all twiddles are 1. `conjugate` stores the outputs conjugated
// (the last stage of the negative-exponent transform).
void ButterflyPlain(double* a, int p, int s, bool conjugate) {
    TSums y = Sums(a, p, s);
    double sign = conjugate ? -1.0 : 1.0;
    a[p] = y.y0r;
    a[p + 1] = sign * y.y0i;
    a[p + s] = y.y1r;
    a[p + s + 1] = sign * y.y1i;
    a[p + 2 * s] = y.y2r;
    a[p + 2 * s + 1] = sign * y.y2i;
    a[p + 3 * s] = y.y3r;
    a[p + 3 * s + 1] = sign * y.y3i;
}

// Block 1: w1 = c (1 + i), w2 = i, w3 = c (-1 + i) with c = cos(pi/4), so
// only real scalings by c are needed.
void ButterflyEighth(double* a, int p, int s, double c) {
    TSums y = Sums(a, p, s);
    a[p] = y.y0r;
    a[p + 1] = y.y0i;
    a[p + s] = c * (y.y1r - y.y1i);
    a[p + s + 1] = c * (y.y1r + y.y1i);
    a[p + 2 * s] = -y.y2i;
    a[p + 2 * s + 1] = y.y2r;
    a[p + 3 * s] = -(c * (y.y3r + y.y3i));
    a[p + 3 * s + 1] = c * (y.y3r - y.y3i);
}

void ButterflyTwiddled(double* a, int p, int s, const TTwiddles& w) {
    TSums y = Sums(a, p, s);
    a[p] = y.y0r;
    a[p + 1] = y.y0i;
    a[p + s] = w.w1r * y.y1r - w.w1i * y.y1i;
    a[p + s + 1] = w.w1r * y.y1i + w.w1i * y.y1r;
    a[p + 2 * s] = w.w2r * y.y2r - w.w2i * y.y2i;
    a[p + 2 * s + 1] = w.w2r * y.y2i + w.w2i * y.y2r;
    a[p + 3 * s] = w.w3r * y.y3r - w.w3i * y.y3i;
    a[p + 3 * s + 1] = w.w3r * y.y3i + w.w3i * y.y3r;
}

// Twiddles of block b from w1 = T[b] and w2 = w1^2 (read from the table by
// the caller); w3 = w1^3 follows from the two without another table entry.
TTwiddles BlockTwiddles(double w1r, double w1i, double w2r, double w2i) {
    return {w1r, w1i, w2r, w2i, w1r - 2 * w2i * w1i, 2 * w2i * w1r - w1i};
}

// One radix-4 stage of span s doubles (s/2 complex values) over all blocks of
// 4s doubles. Block b's w1 is table pair b; its square is pair b/2 for even
// b and i times pair (b-1)/2 for odd b, so an even block and the odd block
// after it share one read of pair b/2.
void RadixFourStage(int n, int s, double* a, const double* t) {
    const int blockSize = 4 * s;
    for (int p = 0; p < s; p += 2) {
        ButterflyPlain(a, p, s, false);
    }
    if (blockSize >= n) {
        return;
    }
    const double c = t[2];
    for (int p = blockSize; p < blockSize + s; p += 2) {
        ButterflyEighth(a, p, s, c);
    }
    for (int b = 2; b * blockSize < n; b += 2) {
        const double hr = t[b];
        const double hi = t[b + 1];
        const TTwiddles even = BlockTwiddles(t[2 * b], t[2 * b + 1], hr, hi);
        const TTwiddles odd = BlockTwiddles(t[2 * b + 2], t[2 * b + 3], -hi, hr);
        const int evenStart = b * blockSize;
        const int oddStart = evenStart + blockSize;
        for (int p = 0; p < s; p += 2) {
            ButterflyTwiddled(a, evenStart + p, s, even);
        }
        for (int p = 0; p < s; p += 2) {
            ButterflyTwiddled(a, oddStart + p, s, odd);
        }
    }
}

void Stages(int n, double* a, const double* t, bool conjugateLast) {
    // s is the span in doubles, twice the span in complex values.
    int s = 2;
    if (n > 8) {
        FirstStage(n, a, t);
        s = 8;
        while (4 * s < n) {
            MiddleStage(n, s, a, t);
            s *= 4;
        }
    }
    if (4 * s == n) {
        for (int p = 0; p < s; p += 2) {
            ButterflyPlain(a, p, s, conjugateLast);
        }
    } else {
        const double sign = conjugateLast ? -1.0 : 1.0;
        for (int p = 0; p < s; p += 2) {
            double xr = a[p] - a[p + s];
            double xi = a[p + 1] - a[p + s + 1];
            a[p] = a[p] + a[p + s];
            a[p + 1] = sign * (a[p + 1] + a[p + s + 1]);
            a[p + s] = xr;
            a[p + s + 1] = sign * xi;
        }
    }
}

} // namespace

void ComplexFft(int n, int sign, double* a, int* workArea, double* trigTable) {
    if (n > 4 * workArea[0]) {
        MakeTrigTable(n / 4, workArea, trigTable);
    }
    if (n > 4) {
        if (sign >= 0) {
            BitReverse(n, workArea + 2, a);
            PositiveStages(n, a, trigTable);
        } else {
            BitReverseConjugate(n, workArea + 2, a);
            NegativeStages(n, a, trigTable);
        }
    } else if (n == 4) {
        // Two values: X0 = x0 + x1, X1 = x0 - x1 whatever the sign.
        PositiveStages(n, a, trigTable);
    }
}

void MakeTrigTable(int nw, int* workArea, double* trigTable) {
    workArea[0] = nw;
    workArea[1] = 1;
    if (nw <= 2) {
        return;
    }
    double* t = trigTable;
    const int h = nw / 2;
    const double delta = std::atan(1.0) / h;
    t[0] = 1;
    t[1] = 0;
    t[h] = std::cos(delta * h);
    t[h + 1] = t[h];
    if (h > 2) {
        // Each sine and cosine serves two pairs: the angle 2 pi p/N below pi/4
        // and its complement pi/2 - 2 pi p/N above it.
        for (int j = 2; j < h; j += 2) {
            double x = std::cos(delta * j);
            double y = std::sin(delta * j);
            t[j] = x;
            t[j + 1] = y;
            t[nw - j] = y;
            t[nw - j + 1] = x;
        }
        BitReverse(nw, workArea + 2, t);
    }
}

void BitReverse(int n, int* scratch, double* a) {
    Permute(n, scratch, a, false);
}

void BitReverseConjugate(int n, int* scratch, double* a) {
    Permute(n, scratch, a, true);
}

void PositiveStages(int n, double* a, const double* trigTable) {
    Stages(n, a, trigTable, false);
}

void NegativeStages(int n, double* a, const double* trigTable) {
    Stages(n, a, trigTable, true);
}

void FirstStage(int n, double* a, const double* trigTable) {
    RadixFourStage(n, 2, a, trigTable);
}

void MiddleStage(int n, int l, double* a, const double* trigTable) {
    RadixFourStage(n, l, a, trigTable);
}

int NextPowerOfTwo(int n) {
    int power = 1;
    for (int k = 0; k < 18; ++k) {
        if (power >= n) {
            return power;
        }
        power *= 2;
    }
    return power;
}

// ---- Spectrum ---------------------------------------------------------------------

TComplexFFT::TComplexFFT(int n)
    : count(n), workArea(static_cast<std::size_t>(std::sqrt(static_cast<double>(n))) + 2, 0),
      trigTable(static_cast<std::size_t>(n / 2), 0.0), data(static_cast<std::size_t>(n)),
      window(static_cast<std::size_t>(n), 1.0) {}

void TComplexFFT::SetHanningWindow() {
    if (count == 1) {
        // A symmetric window of one point has no ends to taper; the divisor
        // N - 1 would be zero.
        window[0] = 1.0;
        return;
    }
    const double step = 6.283185307179586 / (count - 1);
    for (int i = 0; i < count; ++i) {
        window[i] = 0.5 - 0.5 * std::cos(i * step);
    }
}

void TComplexFFT::SetHammingWindow() {
    if (count == 1) {
        window[0] = 1.0;
        return;
    }
    const double step = 6.283185307179586 / (count - 1);
    for (int i = 0; i < count; ++i) {
        window[i] = 0.54 - 0.46 * std::cos(i * step);
    }
}

void TComplexFFT::SetValue(int index, const Complex& value) {
    data[index] = value;
}

void TComplexFFT::ApplyWindow() {
    for (int i = 0; i < count; ++i) {
        data[i].re = window[i] * data[i].re;
        data[i].im = window[i] * data[i].im;
    }
}

void TComplexFFT::Execute() {
    double* a = reinterpret_cast<double*>(data.data());
    ComplexFft(2 * count, -1, a, workArea.data(), trigTable.data());
    const double s = 1.0 / count;
    for (int j = 0; j < 2 * count; ++j) {
        a[j] *= s;
    }
}

double TComplexFFT::Power(int i) const {
    const double p = data[i].re * data[i].re + data[i].im * data[i].im;
    // Bins above 0 stand for their mirrored twin as well: twice the amplitude,
    // four times the power.
    return i < 1 ? p : 4 * p;
}

double TComplexFFT::PeakBin(int* index) const {
    double best = -1.0;
    for (int i = 1; i < count / 2; ++i) {
        double p = Power(i);
        if (p > best) {
            best = p;
            *index = i;
        }
    }
    return best;
}

std::string TComplexFFT::CsvText(double fftPeriod, double dataFraction) const {
    // The frequency step is 1 / (fftPeriod N); a period that is not a finite
    // positive number, or so small that its reciprocal overflows, gives no
    // frequencies to print.
    if (!std::isfinite(fftPeriod) || !(fftPeriod > 0.0) || !std::isfinite(1.0 / fftPeriod) ||
        std::isnan(dataFraction)) {
        return std::string();
    }
    const double step = (1.0 / fftPeriod) / count;

    // trunc(N dataFraction) / 2 rows, but none past bin N/2: the bins above it
    // mirror those below, at frequencies beyond the resampled grid's Nyquist
    // limit. The product is compared in floating point before it is
    // truncated, so any fraction gives a defined row count.
    const int maxRows = count / 2 + 1;
    const double product = count * dataFraction;
    int rows = 0;
    if (product >= 2.0 * maxRows) {
        rows = maxRows;
    } else if (product > 0.0) {
        rows = static_cast<int>(product) / 2;
    }

    std::string text = "\"Frequency(Hz)\",\"Power(square of amplitude)\"\r\n";
    text.reserve(text.size() + static_cast<std::size_t>(rows) * 32);
    for (int i = 0; i < rows; ++i) {
        text += FormatFixed(i * step, 4);
        text += ',';
        text += FormatFixed(Power(i), 10);
        text += "\r\n";
    }
    return text;
}

bool TComplexFFT::SaveCsv(const std::string& fileName, double fftPeriod, double dataFraction,
                          std::string* error) const {
    std::string text = CsvText(fftPeriod, dataFraction);
    if (text.empty()) {
        if (error) {
            *error = Tr("the spectrum cannot be written with these settings");
        }
        return false;
    }
    return WriteFileAtomically(fileName, text, error);
}
