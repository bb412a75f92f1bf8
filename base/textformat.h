#pragma once
// Locale-independent number texts. Files and labels always use "." as the
// decimal point, whatever locale the GUI toolkit installed for the C library.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// printf("%.*f", decimals, value) in the C locale: fixed notation, rounded to
// nearest (ties to even on exact ties, as glibc does), "-" for negatives.
// Infinities and NaN give "inf", "-inf" and "nan" ("-nan" for a negative NaN).
std::string FormatFixed(double value, int decimals);

// printf("%d", value).
std::string FormatInt(long long value);

// The text of "λ = %.3f" with value, except that a result that would read
// as a negative zero ("-0.000") is written without its sign.
std::string FormatLambda(double lambda);

// A decimal number as the sample file and the command line write it: optional
// leading blanks, an optional sign, digits with an optional "." and fraction,
// and an optional exponent (E or e). Nothing may follow. "inf", "nan", hex
// floats and empty texts are refused. Overflow gives +-infinity, as strtod.
std::optional<double> ParseDecimal(std::string_view text);

// A decimal integer: optional leading blanks, an optional sign, digits, and
// nothing after them. Values outside the 64-bit range are refused.
std::optional<long long> ParseInteger(std::string_view text);
