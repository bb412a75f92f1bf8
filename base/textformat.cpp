#include "base/textformat.h"

#include <charconv>
#include <cmath>
#include <system_error>

std::string FormatFixed(double value, int decimals) {
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    // std::to_chars with a precision is specified as printf in the C locale,
    // so it is exact and never sees the process locale.
    char buffer[400];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return "nan";
    }
    return std::string(buffer, result.ptr);
}

std::string FormatInt(long long value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FormatLambda(double lambda) {
    std::string number = FormatFixed(lambda, 3);
    if (number.size() > 1 && number[0] == '-' &&
        number.find_first_not_of("0.", 1) == std::string::npos) {
        number.erase(0, 1);
    }
    return "λ = " + number;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<double> ParseDecimal(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Check the shape ourselves; from_chars would also take "inf" and "nan".
    std::size_t start = pos;
    std::size_t digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            ++exponent;
        }
        if (exponent >= text.size() || !IsDigit(text[exponent])) {
            return std::nullopt;
        }
        pos = exponent;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    double value = 0.0;
    auto result =
        std::from_chars(text.data() + start, text.data() + pos, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Tiny magnitudes underflow to zero, huge ones overflow to infinity,
        // as strtod does; from_chars leaves the value unset in both cases.
        std::string_view mantissaAndExponent = text.substr(start, pos - start);
        std::size_t e = mantissaAndExponent.find_first_of("eE");
        bool negativeExponent = e != std::string_view::npos && e + 1 < mantissaAndExponent.size() &&
                                mantissaAndExponent[e + 1] == '-';
        value = negativeExponent ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc() || result.ptr != text.data() + pos) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<long long> ParseInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size() || !IsDigit(text[pos])) {
        return std::nullopt;
    }
    unsigned long long magnitude = 0;
    auto result = std::from_chars(text.data() + pos, text.data() + text.size(), magnitude);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    constexpr unsigned long long limit = 9223372036854775807ULL;
    if (negative) {
        if (magnitude > limit + 1) {
            return std::nullopt;
        }
        return magnitude == limit + 1 ? (-static_cast<long long>(limit) - 1)
                                      : -static_cast<long long>(magnitude);
    }
    if (magnitude > limit) {
        return std::nullopt;
    }
    return static_cast<long long>(magnitude);
}
