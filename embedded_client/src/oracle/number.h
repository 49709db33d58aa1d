// Oracle NUMBER: its 22-byte form and its arithmetic, exact to Oracle's 38
// to 40 digits, with Oracle's rounding and errors. Pure computation: no OCI
// entry point is involved, so the SQL side can use it for NUMBER columns.
//
// A value is 0.d1 d2 ... dn x 100^exponent in base-100 digits, at most 20 of
// them, as the stored form keeps them; results with more digits are rounded
// half away from zero. Functions return 0 or the ORA code of the failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zec::oracle {

inline constexpr int kNumberSize = 22;
inline constexpr int kMaxDigits = 20;  // base-100 mantissa digits

// ORA codes of the number library.
inline constexpr int kOverflow = 22053;
inline constexpr int kUnderflow = 22054;
inline constexpr int kInvalidNumber = 22060;
inline constexpr int kInvalidFormat = 22061;
inline constexpr int kInvalidInput = 22062;
inline constexpr int kInvalidNls = 22064;
inline constexpr int kBufferTooSmall = 22059;
inline constexpr int kDivideByZero = 1476;
inline constexpr int kOutOfRange = 1428;

struct Number {
  bool negative = false;
  int exponent = 0;             // of 100
  std::vector<uint8_t> digits;  // base 100, most significant first; none for zero
  int infinity = 0;             // +1 or -1 for Oracle's infinities

  bool is_zero() const { return digits.empty() && infinity == 0; }
};

// The stored form: byte 0 the length, then the sign/exponent byte and the
// mantissa. Decoding refuses malformed bytes with kInvalidNumber.
int decode(const uint8_t *bytes, Number *out);
void encode(const Number &n, uint8_t *bytes);

// Rounds to 20 digits and checks the range: the one way every result is
// made ready to store.
int finish(Number &n);

int add(const Number &a, const Number &b, Number *out);
int subtract(const Number &a, const Number &b, Number *out);
int multiply(const Number &a, const Number &b, Number *out);
int divide(const Number &a, const Number &b, Number *out);
int int_power(const Number &base, int32_t exponent, Number *out);
int power(const Number &base, const Number &exponent, Number *out);
int log(const Number &base, const Number &x, Number *out);
int ln(const Number &x, Number *out);
int exp(const Number &x, Number *out);
int sqrt(const Number &x, Number *out);
int sin(const Number &x, Number *out);
int cos(const Number &x, Number *out);
int tan(const Number &x, Number *out);
int arc_sin(const Number &x, Number *out);
int arc_cos(const Number &x, Number *out);
int arc_tan(const Number &x, Number *out);
int arc_tan2(const Number &y, const Number &x, Number *out);
int hyp_sin(const Number &x, Number *out);
int hyp_cos(const Number &x, Number *out);
int hyp_tan(const Number &x, Number *out);
// Decimal places right of the point; negative places work left of it.
int round(const Number &x, int32_t places, Number *out);
int trunc(const Number &x, int32_t places, Number *out);
int compare(const Number &a, const Number &b);

// A machine real in: the shortest decimal that reads back as the same value.
int from_double(double value, Number *out);
// A machine real out: rounded to 15 significant digits first, as OCI does.
int to_double(const Number &n, double *out);
long double to_long_double(const Number &n);

// Plain decimal text, as "-123.456", "0.5", "1E+125" never: always digits.
// The decimal digits of a value, without leading or trailing zeros, and
// the power of ten of the first: value = 0.digits x 10^decimal_exponent.
void decimal_digits(const Number &n, std::string *digits, int *decimal_exponent);
std::string to_plain(const Number &n);
// Parses plain decimal text with an optional exponent ("1.5E+03").
int from_plain(const std::string &text, Number *out);

// Text with a format model and NLS parameters, as TO_CHAR and TO_NUMBER.
// `parameter` receives the text that an error message names.
int to_text(const Number &n, const std::string &format, const std::string &nls,
            std::string *out, std::string *parameter);
int from_text(const std::string &text, const std::string &format, const std::string &nls,
              Number *out, std::string *parameter);

}  // namespace zec::oracle
