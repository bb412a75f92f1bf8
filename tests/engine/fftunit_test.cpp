// The FFT kernel: transforms against a direct DFT in long double, round
// trips, the permutation, and the documented states of the work area and
// the twiddle table.

#include "engine/fftunit.h"

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using LComplex = std::complex<long double>;
constexpr long double kPiL = 3.141592653589793238462643383279502884L;

// Guard entries after every array the kernel gets: it must never write there.
constexpr int kGuard = 16;
constexpr int kIntSentinel = 0x5a5a5a5a;
constexpr double kDoubleSentinel = -12345.678;

// The caller-owned storage of one transform size, sized exactly as the
// spectrum object sizes it, each array followed by sentinels.
struct TKernelStore {
    explicit TKernelStore(int complexCount)
        : workSize(static_cast<int>(std::sqrt(static_cast<double>(complexCount))) + 2),
          tableSize(complexCount / 2), work(workSize + kGuard, kIntSentinel),
          table(tableSize + kGuard, kDoubleSentinel) {
        work[0] = 0;
    }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; ++i) {
            if (work[workSize + i] != kIntSentinel || table[tableSize + i] != kDoubleSentinel) {
                return false;
            }
        }
        return true;
    }
    bool TableUntouched() const {
        for (double v : table) {
            if (v != kDoubleSentinel) {
                return false;
            }
        }
        return true;
    }
    int workSize;
    int tableSize;
    std::vector<int> work;
    std::vector<double> table;
};

// 2N doubles, uniform in [-1, 1), interleaved real and imaginary parts.
std::vector<double> RandomValues(int complexCount, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> a(2 * static_cast<std::size_t>(complexCount));
    for (double& v : a) {
        v = uniform(rng);
    }
    return a;
}

// X_k = sum_j x_j e^(sign 2 pi i jk/N), in long double with exact index
// reduction jk mod N.
std::vector<LComplex> DirectDft(const std::vector<double>& a, int sign) {
    const long long n = static_cast<long long>(a.size() / 2);
    std::vector<LComplex> twiddle(n);
    for (long long m = 0; m < n; ++m) {
        long double angle = 2 * kPiL * m / n;
        twiddle[m] = LComplex(cosl(angle), (sign < 0 ? -1 : 1) * sinl(angle));
    }
    std::vector<LComplex> x(n);
    for (long long k = 0; k < n; ++k) {
        LComplex sum = 0;
        for (long long j = 0; j < n; ++j) {
            sum += LComplex(a[2 * j], a[2 * j + 1]) * twiddle[(j * k) % n];
        }
        x[k] = sum;
    }
    return x;
}

// ||got - want||_2 / ||want||_2.
long double RelativeL2(const std::vector<double>& got, const std::vector<LComplex>& want) {
    long double err = 0;
    long double norm = 0;
    for (std::size_t k = 0; k < want.size(); ++k) {
        long double dr = got[2 * k] - want[k].real();
        long double di = got[2 * k + 1] - want[k].imag();
        err += dr * dr + di * di;
        norm += std::norm(want[k]);
    }
    return norm == 0 ? sqrtl(err) : sqrtl(err / norm);
}

int ReverseBits(int k, int bits) {
    int r = 0;
    for (int b = 0; b < bits; ++b) {
        r = (r << 1) | ((k >> b) & 1);
    }
    return r;
}

int Log2(int n) {
    int bits = 0;
    while ((1 << bits) < n) {
        ++bits;
    }
    return bits;
}

std::string SizeName(const testing::TestParamInfo<int>& info) {
    return "N" + std::to_string(1 << info.param);
}

} // namespace

// ---- Transform against the definition ------------------------------------------------
//
// A stable FFT has a relative L2 error of a small multiple of eps log2(N);
// this kernel measures about 0.1 eps (log2 N + 1), so eps (log2 N + 1) leaves
// a tenfold margin while a single wrong twiddle or misplaced value gives an
// error of order 1.

class KernelAgainstDirectDft : public testing::TestWithParam<int> {};

TEST_P(KernelAgainstDirectDft, RandomImpulseAndConstantInputsBothSigns) {
    const int bits = GetParam();
    const int n = 1 << bits;
    const long double tolerance = DBL_EPSILON * (bits + 1);

    std::vector<std::vector<double>> inputs;
    inputs.push_back(RandomValues(n, 17u + bits));
    if (n > 1) {
        std::vector<double> impulse(2 * n, 0.0);
        impulse[2] = 1.0; // x_1 = 1: X_k = e^(-+2 pi i k/N)
        inputs.push_back(impulse);
    }
    std::vector<double> constant(2 * n);
    for (int j = 0; j < n; ++j) {
        constant[2 * j] = 0.75;
        constant[2 * j + 1] = -0.25;
    }
    inputs.push_back(constant);

    for (int sign : {-1, 1}) {
        for (std::size_t which = 0; which < inputs.size(); ++which) {
            std::vector<double> a = inputs[which];
            TKernelStore store(n);
            ComplexFft(2 * n, sign, a.data(), store.work.data(), store.table.data());
            EXPECT_LE(RelativeL2(a, DirectDft(inputs[which], sign)), tolerance)
                << "sign " << sign << ", input " << which;
            EXPECT_TRUE(store.GuardsIntact());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, KernelAgainstDirectDft, testing::Range(0, 13), SizeName);

// ---- Round trips --------------------------------------------------------------------

class KernelRoundTrip : public testing::TestWithParam<int> {};

TEST_P(KernelRoundTrip, InverseOfForwardScaledGivesTheInputBack) {
    const int bits = GetParam();
    const int n = 1 << bits;
    const std::vector<double> input = RandomValues(n, 1000u + bits);
    std::vector<double> a = input;
    TKernelStore store(n);
    ComplexFft(2 * n, -1, a.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], n / 2) << "the table is built for N/2 on the first transform";
    ComplexFft(2 * n, 1, a.data(), store.work.data(), store.table.data());
    EXPECT_TRUE(store.GuardsIntact()) << "work area or table written beyond its size";

    long double err = 0;
    long double norm = 0;
    for (int j = 0; j < 2 * n; ++j) {
        long double d = a[j] / static_cast<long double>(n) - input[j];
        err += d * d;
        norm += static_cast<long double>(input[j]) * input[j];
    }
    EXPECT_LE(sqrtl(err / norm), 2 * DBL_EPSILON * (bits + 1));
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, KernelRoundTrip, testing::Range(0, 19), SizeName);

// ---- Documented states of work area and table -----------------------------------------

TEST(KernelState, OneValueIsItsOwnTransformAndBuildsNoTable) {
    for (int sign : {-1, 1}) {
        double a[2] = {0.3, -0.7};
        int work[3] = {0, kIntSentinel, kIntSentinel};
        double table[4] = {kDoubleSentinel, kDoubleSentinel, kDoubleSentinel, kDoubleSentinel};
        ComplexFft(2, sign, a, work, table);
        EXPECT_EQ(a[0], 0.3);
        EXPECT_EQ(a[1], -0.7);
        EXPECT_EQ(work[0], 0) << "the trivial build stores 0 again";
        EXPECT_EQ(work[1], 1);
        for (double t : table) {
            EXPECT_EQ(t, kDoubleSentinel);
        }
    }
}

TEST(KernelState, TwoValuesGiveSumAndDifferenceWithoutConjugation) {
    for (int sign : {-1, 1}) {
        double a[4] = {1.0, 2.0, 3.0, 4.5};
        TKernelStore store(2);
        ComplexFft(4, sign, a, store.work.data(), store.table.data());
        EXPECT_EQ(a[0], 4.0);
        EXPECT_EQ(a[1], 6.5);
        EXPECT_EQ(a[2], -2.0);
        EXPECT_EQ(a[3], -2.5);
        EXPECT_EQ(store.work[0], 1);
        EXPECT_EQ(store.work[1], 1);
        EXPECT_TRUE(store.TableUntouched());
    }
}

TEST(KernelState, FourValuesUseNoTable) {
    TKernelStore store(4);
    double first[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    ComplexFft(8, -1, first, store.work.data(), store.table.data());
    const double allOnes[8] = {1, 0, 1, 0, 1, 0, 1, 0};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(first[j], allOnes[j]) << j;
    }
    double second[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    ComplexFft(8, -1, second, store.work.data(), store.table.data());
    const double powersOfMinusI[8] = {1, 0, 0, -1, -1, 0, 0, 1};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(second[j], powersOfMinusI[j]) << j;
    }
    EXPECT_EQ(store.work[0], 2);
    EXPECT_TRUE(store.TableUntouched());
}

TEST(KernelState, EightValuesTableHoldsOneAndCosineOfAnEighthTurn) {
    TKernelStore store(8);
    std::vector<double> a = RandomValues(8, 5);
    ComplexFft(16, -1, a.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], 4);
    EXPECT_EQ(store.work[1], 1);
    const double c = std::cos(std::atan(1.0));
    EXPECT_EQ(store.table[0], 1.0);
    EXPECT_EQ(store.table[1], 0.0);
    EXPECT_EQ(store.table[2], c);
    EXPECT_EQ(store.table[3], c);
    EXPECT_TRUE(store.GuardsIntact());
}

TEST(KernelState, TableOf1024StartsWithTheTwiddlesOfShorterLengths) {
    TKernelStore store(1024);
    std::vector<double> a = RandomValues(1024, 6);
    ComplexFft(2048, -1, a.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], 512);
    const long double angles[4] = {0, kPiL / 4, kPiL / 8, 3 * kPiL / 8};
    for (int p = 0; p < 4; ++p) {
        EXPECT_NEAR(store.table[2 * p], static_cast<double>(cosl(angles[p])), 2e-16) << p;
        EXPECT_NEAR(store.table[2 * p + 1], static_cast<double>(sinl(angles[p])), 2e-16) << p;
    }
}

// Pair p holds (cos, sin) of 2 pi r(p)/N, with r reversing log2(N/4) bits.
// Before the permutation, pair q below N/8 was written from the angle 2 pi
// q/N and pair q above N/8 from its complement, which fixes every bit.
class KernelTable : public testing::TestWithParam<int> {};

TEST_P(KernelTable, PairsAreBitReversedTwiddlesWithTheirDocumentedRounding) {
    const int n = 1 << GetParam();
    TKernelStore store(n);
    MakeTrigTable(n / 2, store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], n / 2);
    EXPECT_EQ(store.work[1], 1);
    const int pairs = n / 4;
    const int bits = Log2(pairs);
    const double delta = std::atan(1.0) / (n / 4);
    for (int p = 0; p < pairs; ++p) {
        const int q = ReverseBits(p, bits);
        const long double angle = 2 * kPiL * q / n;
        EXPECT_NEAR(store.table[2 * p], static_cast<double>(cosl(angle)), 2.5e-16) << p;
        EXPECT_NEAR(store.table[2 * p + 1], static_cast<double>(sinl(angle)), 2.5e-16) << p;

        double re;
        double im;
        if (2 * q * 4 < n) {
            re = std::cos(delta * (2 * q));
            im = std::sin(delta * (2 * q));
        } else if (8 * q == n) {
            re = std::cos(delta * (n / 4));
            im = re;
        } else {
            const int j = n / 2 - 2 * q;
            re = std::sin(delta * j);
            im = std::cos(delta * j);
        }
        EXPECT_EQ(store.table[2 * p], re) << p;
        EXPECT_EQ(store.table[2 * p + 1], im) << p;
    }
    EXPECT_TRUE(store.GuardsIntact());
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, KernelTable, testing::Range(3, 15), SizeName);

TEST(KernelState, SecondTransformOfTheSameLengthReusesTheTable) {
    const int n = 64;
    TKernelStore store(n);
    const std::vector<double> input = RandomValues(n, 7);
    std::vector<double> first = input;
    ComplexFft(2 * n, -1, first.data(), store.work.data(), store.table.data());
    std::vector<double> second = input;
    ComplexFft(2 * n, -1, second.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], n / 2);
    EXPECT_EQ(first, second) << "same input, same table: the same bits";

    // A spoilt entry stays spoilt: the table is read, not rebuilt.
    store.table[2] = 0.5;
    std::vector<double> third = input;
    ComplexFft(2 * n, -1, third.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.table[2], 0.5);
    EXPECT_NE(third, first);
}

TEST(KernelState, LongerLengthRebuildsAndShorterLengthReusesTheLongerTable) {
    TKernelStore store(1024);
    std::vector<double> small = RandomValues(64, 8);
    ComplexFft(2 * 64, -1, small.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], 32);

    std::vector<double> large = RandomValues(1024, 9);
    ComplexFft(2 * 1024, -1, large.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], 512);

    const std::vector<double> input = RandomValues(256, 10);
    std::vector<double> a = input;
    ComplexFft(2 * 256, -1, a.data(), store.work.data(), store.table.data());
    EXPECT_EQ(store.work[0], 512) << "a shorter transform keeps the longer table";
    EXPECT_LE(RelativeL2(a, DirectDft(input, -1)), DBL_EPSILON * 9);
}

// ---- Permutation ------------------------------------------------------------------------

TEST(BitReverseConjugate, EightValues) {
    double a[16];
    for (int j = 0; j < 8; ++j) {
        a[2 * j] = j;
        a[2 * j + 1] = 10 + j;
    }
    int scratch[4] = {};
    BitReverseConjugate(16, scratch, a);
    const int order[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(a[2 * j], order[j]) << j;
        EXPECT_EQ(a[2 * j + 1], -(10 + order[j])) << j;
    }
}

class Permutation : public testing::TestWithParam<int> {};

TEST_P(Permutation, MovesEveryValueToItsBitReversedIndexWithinTheScratch) {
    const int n = 1 << GetParam();
    const int scratchSize = static_cast<int>(std::sqrt(static_cast<double>(n)));
    for (bool conjugate : {false, true}) {
        std::vector<double> a(2 * n);
        for (int j = 0; j < n; ++j) {
            a[2 * j] = j;
            a[2 * j + 1] = n + j;
        }
        std::vector<int> scratch(scratchSize + kGuard, kIntSentinel);
        if (conjugate) {
            BitReverseConjugate(2 * n, scratch.data(), a.data());
        } else {
            BitReverse(2 * n, scratch.data(), a.data());
        }
        const int bits = GetParam();
        int wrong = 0;
        for (int j = 0; j < n; ++j) {
            const int from = ReverseBits(j, bits);
            if (a[2 * j] != from || a[2 * j + 1] != (conjugate ? -1 : 1) * (n + from)) {
                ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << (conjugate ? "conjugating" : "plain");
        for (int i = 0; i < kGuard; ++i) {
            EXPECT_EQ(scratch[scratchSize + i], kIntSentinel) << "scratch overrun";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, Permutation, testing::Range(0, 17), SizeName);
