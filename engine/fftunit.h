#pragma once
// The FFT kernel (an in-place radix-4 complex FFT with a lazily built,
// bit-reversed twiddle table), the spectrum object TComplexFFT and the FFT
// size rule NextPowerOfTwo.

#include <string>
#include <vector>

// A complex value; an array of Complex has the interleaved layout the kernel
// takes (2N doubles, real part first).
struct Complex {
    double re = 0.0;
    double im = 0.0;
};

// ---- Kernel ----------------------------------------------------------------
// n is the number of doubles, 2N, with N a power of two. The caller owns the
// three arrays: a (2N doubles), workArea (at least 2 + sqrt(N) ints, entry 0
// set to 0 before the first transform) and trigTable (at least N/2 doubles).

// In-place DFT of the N complex values in a, unscaled, output in natural
// order: X_k = sum_j x_j e^(-2 pi i jk/N) for sign < 0, +2 pi i for sign >= 0.
// Builds the table when n > 4 * workArea[0].
void ComplexFft(int n, int sign, double* a, int* workArea, double* trigTable);

// Builds the table for nw = N/2: workArea[0] = nw, workArea[1] = 1; pair p
// holds (cos, sin) of 2 pi r(p)/N, r bit-reversing log2(N/4) bits.
void MakeTrigTable(int nw, int* workArea, double* trigTable);

// Permutes the n/2 complex values of a into bit-reversed order; scratch is
// workArea + 2. The conjugating variant also negates every imaginary part.
void BitReverse(int n, int* scratch, double* a);
void BitReverseConjugate(int n, int* scratch, double* a);

// The butterfly stages after the permutation. NegativeStages stores the
// outputs of its last stage conjugated.
void PositiveStages(int n, double* a, const double* trigTable);
void NegativeStages(int n, double* a, const double* trigTable);

// One radix-4 stage of span 1 over all blocks, and one of span l/2 complex
// values (l counted in doubles).
void FirstStage(int n, double* a, const double* trigTable);
void MiddleStage(int n, int l, double* a, const double* trigTable);

// The smallest power of two not less than n, from 1 (also for n <= 1) up to
// 262144 = 2^18, which larger n also get.
int NextPowerOfTwo(int n);

// ---- Spectrum ---------------------------------------------------------------
class TComplexFFT {
public:
    // n: number of complex values, a power of two (1 ... 262144 in use).
    // Window weights 1.0; data zero until set.
    explicit TComplexFFT(int n);

    // Symmetric Hanning / Hamming weights with divisor N - 1; a one-point
    // object gets the weight 1.0.
    void SetHanningWindow();
    void SetHammingWindow();

    // data[index] = value; 0 <= index < N, not checked.
    void SetValue(int index, const Complex& value);

    // data[i] *= window[i], both parts.
    void ApplyWindow();

    // Forward transform in place, scaled by 1/N.
    void Execute();

    // One-sided power of bin i (|X_i|^2, times 4 for i >= 1); 0 <= i < N.
    double Power(int i) const;

    // The largest power among bins 1 ... N/2 - 1 and, in *index, its bin (the
    // first of equal maxima). -1.0 with *index untouched when N <= 2.
    double PeakBin(int* index) const;

    // Writes the spectrum file: a header line and one "%.4f,%.10f" row per
    // bin i = 0 ... R-1, R = trunc(N * dataFraction) / 2 but never beyond bin
    // N/2 (a negative fraction gives no rows, an infinite one all N/2 + 1),
    // CR LF line ends, through a temporary file and a rename. Returns false,
    // writing nothing, when fftPeriod is not finite and positive (or so small
    // that its reciprocal overflows), when dataFraction is NaN, or on any
    // write failure (an existing file then stays intact).
    // The reason of a failure goes to `error` when given.
    bool SaveCsv(const std::string& fileName, double fftPeriod, double dataFraction,
                 std::string* error = nullptr) const;

    // The exact text SaveCsv writes (empty when the arguments are refused).
    std::string CsvText(double fftPeriod, double dataFraction) const;

    int count;                     // N
    std::vector<int> workArea;     // trunc(sqrt(N)) + 2 entries; [0] = 0 at first
    std::vector<double> trigTable; // N/2 doubles
    std::vector<Complex> data;     // input values, then the scaled transform
    std::vector<double> window;    // weights
};
