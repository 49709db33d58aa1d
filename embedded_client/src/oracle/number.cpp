#include "src/oracle/number.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zec::oracle {
namespace {

constexpr int kMinExponent = -65;  // 0.01 x 100^-64 = 1E-130 is the smallest
constexpr int kMaxExponent = 63;   // 0.99.. x 100^63 < 1E+126

// Unsigned integers in base 100, least significant digit first.
using Big = std::vector<int>;

void trim(Big &b) {
  while (!b.empty() && b.back() == 0) b.pop_back();
}

int compare_big(const Big &a, const Big &b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

Big add_big(const Big &a, const Big &b) {
  Big r(std::max(a.size(), b.size()) + 1, 0);
  int carry = 0;
  for (size_t i = 0; i < r.size(); ++i) {
    int s = carry + (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
    r[i] = s % 100;
    carry = s / 100;
  }
  trim(r);
  return r;
}

// a - b with a >= b.
Big sub_big(const Big &a, const Big &b) {
  Big r(a.size(), 0);
  int borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int d = a[i] - borrow - (i < b.size() ? b[i] : 0);
    borrow = d < 0;
    r[i] = d + (borrow ? 100 : 0);
  }
  trim(r);
  return r;
}

Big mul_big(const Big &a, const Big &b) {
  if (a.empty() || b.empty()) return {};
  std::vector<long> acc(a.size() + b.size() + 1, 0);
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j < b.size(); ++j) acc[i + j] += static_cast<long>(a[i]) * b[j];
  Big r(acc.size(), 0);
  long carry = 0;
  for (size_t i = 0; i < acc.size(); ++i) {
    long s = acc[i] + carry;
    r[i] = static_cast<int>(s % 100);
    carry = s / 100;
  }
  trim(r);
  return r;
}

Big mul_small(const Big &a, int m) {
  Big r(a.size() + 1, 0);
  int carry = 0;
  for (size_t i = 0; i < r.size(); ++i) {
    int s = (i < a.size() ? a[i] : 0) * m + carry;
    r[i] = s % 100;
    carry = s / 100;
  }
  trim(r);
  return r;
}

// floor(a / b) for b > 0, by long division one base-100 digit at a time.
Big div_big(const Big &a, const Big &b) {
  Big quotient(a.size(), 0);
  Big remainder;
  for (size_t i = a.size(); i-- > 0;) {
    remainder.insert(remainder.begin(), a[i]);
    trim(remainder);
    int low = 0;
    int high = 99;
    while (low < high) {  // the largest q with b * q <= remainder
      int mid = (low + high + 1) / 2;
      if (compare_big(mul_small(b, mid), remainder) <= 0) low = mid;
      else high = mid - 1;
    }
    quotient[i] = low;
    if (low != 0) remainder = sub_big(remainder, mul_small(b, low));
  }
  trim(quotient);
  return quotient;
}

// value = (sign) mantissa x 100^scale
struct Scaled {
  bool negative = false;
  Big mantissa;
  int scale = 0;
};

Scaled scaled_of(const Number &n) {
  Scaled s;
  s.negative = n.negative;
  for (size_t i = n.digits.size(); i-- > 0;) s.mantissa.push_back(n.digits[i]);
  s.scale = n.exponent - static_cast<int>(n.digits.size());
  return s;
}

Number number_of(const Scaled &s) {
  Number n;
  if (s.mantissa.empty()) return n;
  n.negative = s.negative;
  for (size_t i = s.mantissa.size(); i-- > 0;) n.digits.push_back(static_cast<uint8_t>(s.mantissa[i]));
  n.exponent = s.scale + static_cast<int>(s.mantissa.size());
  return n;
}

// Brings two values to one scale.
void align(Scaled &a, Scaled &b) {
  int scale = std::min(a.scale, b.scale);
  a.mantissa.insert(a.mantissa.begin(), static_cast<size_t>(a.scale - scale), 0);
  b.mantissa.insert(b.mantissa.begin(), static_cast<size_t>(b.scale - scale), 0);
  a.scale = b.scale = scale;
  trim(a.mantissa);
  trim(b.mantissa);
}

Scaled add_scaled(Scaled a, Scaled b) {
  if (a.mantissa.empty()) return b;
  if (b.mantissa.empty()) return a;
  align(a, b);
  Scaled r;
  r.scale = a.scale;
  if (a.negative == b.negative) {
    r.negative = a.negative;
    r.mantissa = add_big(a.mantissa, b.mantissa);
  } else if (compare_big(a.mantissa, b.mantissa) >= 0) {
    r.negative = a.negative;
    r.mantissa = sub_big(a.mantissa, b.mantissa);
  } else {
    r.negative = b.negative;
    r.mantissa = sub_big(b.mantissa, a.mantissa);
  }
  if (r.mantissa.empty()) r.negative = false;
  return r;
}

Number one() {
  Number n;
  n.exponent = 1;
  n.digits = {1};
  return n;
}

bool is_integral(const Number &n) {
  return n.is_zero() || static_cast<int>(n.digits.size()) <= n.exponent;
}

// Through the machine's extended real, for the functions that Oracle too
// computes to about that precision: its 18 reliable digits are kept.
int from_real_result(long double value, Number *out) {
  if (std::isnan(value)) return kOutOfRange;
  if (std::isinf(value)) return kOverflow;
  if (value == 0) {
    *out = Number{};
    return 0;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.17Le", value);
  return from_plain(text, out);
}

bool has_error(int status) { return status != 0; }

}  // namespace

// The decimal digits of a value and the power of ten of the first one:
// value = 0.D x 10^decimal_exponent.
void decimal_digits(const Number &n, std::string *digits, int *decimal_exponent) {
  digits->clear();
  for (uint8_t d : n.digits) {
    digits->push_back(static_cast<char>('0' + d / 10));
    digits->push_back(static_cast<char>('0' + d % 10));
  }
  *decimal_exponent = 2 * n.exponent;
  size_t lead = digits->find_first_not_of('0');
  if (lead == std::string::npos) {
    digits->clear();
    return;
  }
  digits->erase(0, lead);
  *decimal_exponent -= static_cast<int>(lead);
  while (!digits->empty() && digits->back() == '0') digits->pop_back();
}

int decode(const uint8_t *bytes, Number *out) {
  Number n;
  int length = bytes[0];
  if (length < 1 || length > kNumberSize - 1) return kInvalidNumber;
  const uint8_t *b = bytes + 1;
  if (length == 1 && b[0] == 0x80) {
    *out = n;
    return 0;
  }
  if (length == 1 && b[0] == 0x00) {
    n.infinity = -1;
    *out = n;
    return 0;
  }
  if (length == 2 && b[0] == 0xFF && b[1] == 101) {
    n.infinity = 1;
    *out = n;
    return 0;
  }
  int mantissa = length - 1;
  if (b[0] & 0x80) {
    n.exponent = b[0] - 0xC0;
    for (int i = 1; i <= mantissa; ++i) {
      if (b[i] < 1 || b[i] > 100) return kInvalidNumber;
      n.digits.push_back(static_cast<uint8_t>(b[i] - 1));
    }
  } else {
    n.negative = true;
    n.exponent = 0x3F - b[0];
    if (mantissa > 0 && mantissa < kMaxDigits + 1 && b[mantissa] == 102) --mantissa;
    for (int i = 1; i <= mantissa; ++i) {
      if (b[i] < 1 || b[i] > 101) return kInvalidNumber;
      n.digits.push_back(static_cast<uint8_t>(101 - b[i]));
    }
  }
  if (n.digits.empty() || n.digits.size() > kMaxDigits || n.digits[0] == 0) return kInvalidNumber;
  while (!n.digits.empty() && n.digits.back() == 0) n.digits.pop_back();
  *out = n;
  return 0;
}

void encode(const Number &n, uint8_t *bytes) {
  std::memset(bytes, 0, kNumberSize);
  if (n.infinity > 0) {
    bytes[0] = 2;
    bytes[1] = 0xFF;
    bytes[2] = 101;
    return;
  }
  if (n.infinity < 0) {
    bytes[0] = 1;
    bytes[1] = 0x00;
    return;
  }
  if (n.digits.empty()) {
    bytes[0] = 1;
    bytes[1] = 0x80;
    return;
  }
  size_t count = std::min<size_t>(n.digits.size(), kMaxDigits);
  uint8_t *b = bytes + 1;
  if (!n.negative) {
    b[0] = static_cast<uint8_t>(0xC0 + n.exponent);
    for (size_t i = 0; i < count; ++i) b[i + 1] = static_cast<uint8_t>(n.digits[i] + 1);
    bytes[0] = static_cast<uint8_t>(count + 1);
  } else {
    b[0] = static_cast<uint8_t>(0x3F - n.exponent);
    for (size_t i = 0; i < count; ++i) b[i + 1] = static_cast<uint8_t>(101 - n.digits[i]);
    bytes[0] = static_cast<uint8_t>(count + 1);
    if (count < kMaxDigits) {  // the terminator keeps shorter negatives sorting after longer ones
      b[count + 1] = 102;
      bytes[0] = static_cast<uint8_t>(count + 2);
    }
  }
}

int finish(Number &n) {
  if (n.infinity != 0) return 0;
  size_t lead = 0;
  while (lead < n.digits.size() && n.digits[lead] == 0) ++lead;
  n.digits.erase(n.digits.begin(), n.digits.begin() + static_cast<long>(lead));
  n.exponent -= static_cast<int>(lead);
  if (n.digits.size() > kMaxDigits) {
    // Half away from zero: the 21st digit decides.
    bool up = n.digits[kMaxDigits] >= 50;
    n.digits.resize(kMaxDigits);
    if (up) {
      size_t i = kMaxDigits;
      while (i-- > 0) {
        if (++n.digits[i] < 100) break;
        n.digits[i] = 0;
        if (i == 0) {
          n.digits.insert(n.digits.begin(), 1);
          n.exponent += 1;
          n.digits.resize(kMaxDigits);
        }
      }
    }
  }
  while (!n.digits.empty() && n.digits.back() == 0) n.digits.pop_back();
  if (n.digits.empty()) {
    n = Number{};
    return 0;
  }
  if (n.exponent > kMaxExponent) return kOverflow;
  if (n.exponent < kMinExponent + 1) return kUnderflow;
  return 0;
}

int compare(const Number &a, const Number &b) {
  Scaled difference = add_scaled(scaled_of(a), [&] {
    Scaled s = scaled_of(b);
    s.negative = !s.negative;
    return s;
  }());
  if (difference.mantissa.empty()) return 0;
  return difference.negative ? -1 : 1;
}

int add(const Number &a, const Number &b, Number *out) {
  if (a.infinity || b.infinity) return kOverflow;
  Number r = number_of(add_scaled(scaled_of(a), scaled_of(b)));
  int status = finish(r);
  if (!has_error(status)) *out = r;
  return status;
}

int subtract(const Number &a, const Number &b, Number *out) {
  Number negated = b;
  if (!negated.is_zero()) negated.negative = !negated.negative;
  return add(a, negated, out);
}

int multiply(const Number &a, const Number &b, Number *out) {
  if (a.infinity || b.infinity) return kOverflow;
  Scaled x = scaled_of(a);
  Scaled y = scaled_of(b);
  Scaled r;
  r.mantissa = mul_big(x.mantissa, y.mantissa);
  r.scale = x.scale + y.scale;
  r.negative = !r.mantissa.empty() && (x.negative != y.negative);
  Number n = number_of(r);
  int status = finish(n);
  if (!has_error(status)) *out = n;
  return status;
}

int divide(const Number &a, const Number &b, Number *out) {
  if (a.infinity || b.infinity) return kOverflow;
  if (b.is_zero()) return kDivideByZero;
  if (a.is_zero()) {
    *out = Number{};
    return 0;
  }
  Scaled x = scaled_of(a);
  Scaled y = scaled_of(b);
  // Enough quotient digits for the 21st to decide the rounding.
  int extra = static_cast<int>(y.mantissa.size()) - static_cast<int>(x.mantissa.size()) + kMaxDigits + 2;
  if (extra < 0) extra = 0;
  x.mantissa.insert(x.mantissa.begin(), static_cast<size_t>(extra), 0);
  Scaled r;
  r.mantissa = div_big(x.mantissa, y.mantissa);
  r.scale = x.scale - extra - y.scale;
  r.negative = x.negative != y.negative;
  Number n = number_of(r);
  int status = finish(n);
  if (!has_error(status)) *out = n;
  return status;
}

int int_power(const Number &base, int32_t exponent, Number *out) {
  if (base.infinity) return kOverflow;
  if (exponent == 0) {
    *out = one();
    return 0;
  }
  if (base.is_zero()) {
    if (exponent < 0) return kDivideByZero;
    *out = Number{};
    return 0;
  }
  uint32_t remaining = exponent < 0 ? 0u - static_cast<uint32_t>(exponent) : static_cast<uint32_t>(exponent);
  Number result = one();
  Number square = base;
  while (remaining != 0) {
    if (remaining & 1u) {
      int status = multiply(result, square, &result);
      if (status != 0) return exponent < 0 && status == kOverflow ? kUnderflow : status;
    }
    remaining >>= 1;
    if (remaining != 0) {
      int status = multiply(square, square, &square);
      if (status != 0) return exponent < 0 && status == kOverflow ? kUnderflow : status;
    }
  }
  if (exponent < 0) return divide(one(), result, out);
  *out = result;
  return 0;
}

int power(const Number &base, const Number &exponent, Number *out) {
  if (base.infinity || exponent.infinity) return kOverflow;
  if (is_integral(exponent) && exponent.exponent <= 5) {
    long double e = to_long_double(exponent);
    if (std::fabs(e) <= 1000000000.0L) return int_power(base, static_cast<int32_t>(e), out);
  }
  if (base.is_zero()) {
    if (exponent.negative) return kDivideByZero;
    *out = Number{};
    return 0;
  }
  if (base.negative) return kOutOfRange;  // a negative base needs an integral exponent
  return from_real_result(std::pow(to_long_double(base), to_long_double(exponent)), out);
}

int ln(const Number &x, Number *out) {
  if (x.is_zero() || x.negative) return kOutOfRange;
  if (x.infinity) return kOverflow;
  return from_real_result(std::log(to_long_double(x)), out);
}

int log(const Number &base, const Number &x, Number *out) {
  if (x.is_zero() || x.negative || base.is_zero() || base.negative) return kOutOfRange;
  if (x.infinity || base.infinity) return kOverflow;
  long double denominator = std::log(to_long_double(base));
  if (denominator == 0) return kDivideByZero;
  return from_real_result(std::log(to_long_double(x)) / denominator, out);
}

int exp(const Number &x, Number *out) {
  if (x.infinity) return kOverflow;
  long double value = std::exp(to_long_double(x));
  if (value >= 1e126L) return kOverflow;
  if (value != 0 && value < 1e-130L) return kUnderflow;
  return from_real_result(value, out);
}

int sqrt(const Number &x, Number *out) {
  if (x.negative) return kOutOfRange;
  if (x.infinity) return kOverflow;
  return from_real_result(std::sqrt(to_long_double(x)), out);
}

#define ZEC_REAL_FUNCTION(name, expression)        \
  int name(const Number &x, Number *out) {         \
    if (x.infinity) return kOverflow;              \
    long double v = to_long_double(x);             \
    return from_real_result(expression, out);      \
  }
ZEC_REAL_FUNCTION(sin, std::sin(v))
ZEC_REAL_FUNCTION(cos, std::cos(v))
ZEC_REAL_FUNCTION(tan, std::tan(v))
ZEC_REAL_FUNCTION(arc_tan, std::atan(v))
ZEC_REAL_FUNCTION(hyp_sin, std::sinh(v))
ZEC_REAL_FUNCTION(hyp_cos, std::cosh(v))
ZEC_REAL_FUNCTION(hyp_tan, std::tanh(v))
#undef ZEC_REAL_FUNCTION

int arc_sin(const Number &x, Number *out) {
  long double v = to_long_double(x);
  if (x.infinity || v < -1 || v > 1) return kOutOfRange;
  return from_real_result(std::asin(v), out);
}

int arc_cos(const Number &x, Number *out) {
  long double v = to_long_double(x);
  if (x.infinity || v < -1 || v > 1) return kOutOfRange;
  return from_real_result(std::acos(v), out);
}

int arc_tan2(const Number &y, const Number &x, Number *out) {
  if (x.is_zero()) return kDivideByZero;  // OCI's contract: the second argument may not be 0
  if (x.infinity || y.infinity) return kOverflow;
  return from_real_result(std::atan2(to_long_double(y), to_long_double(x)), out);
}

int trunc(const Number &x, int32_t places, Number *out) {
  if (x.infinity) return kOverflow;
  std::string digits;
  int e10;
  decimal_digits(x, &digits, &e10);
  // Keep the digits left of position `places` after the point (in 64 bits:
  // places may be anything an int32 holds).
  int64_t keep = int64_t{e10} + places;
  if (keep <= 0 || digits.empty()) {
    *out = Number{};
    return 0;
  }
  if (keep < static_cast<int64_t>(digits.size())) digits.resize(static_cast<size_t>(keep));
  return from_plain((x.negative ? "-0." : "0.") + digits + "E" + std::to_string(e10), out);
}

int round(const Number &x, int32_t places, Number *out) {
  if (x.infinity) return kOverflow;
  std::string digits;
  int e10;
  decimal_digits(x, &digits, &e10);
  int64_t keep = int64_t{e10} + places;
  if (digits.empty() || keep < 0) {
    *out = Number{};
    return 0;
  }
  if (keep >= static_cast<int64_t>(digits.size())) {
    *out = x;
    return 0;
  }
  bool up = digits[static_cast<size_t>(keep)] >= '5';  // half away from zero
  digits.resize(static_cast<size_t>(keep));
  if (up) {
    // Add one in the last kept place, carrying as far as it goes.
    int64_t i = keep - 1;
    while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++digits[static_cast<size_t>(i)];
    } else {
      digits.insert(digits.begin(), '1');
      ++e10;
    }
  }
  if (digits.empty()) {
    *out = Number{};
    return 0;
  }
  return from_plain((x.negative ? "-0." : "0.") + digits + "E" + std::to_string(e10), out);
}

int from_double(double value, Number *out) {
  if (std::isnan(value)) return kInvalidNumber;
  if (std::isinf(value)) return kOverflow;
  if (value == 0) {
    *out = Number{};
    return 0;
  }
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);  // shortest that reads back
  return from_plain(std::string(text, result.ptr), out);
}

int to_double(const Number &n, double *out) {
  if (n.infinity) return kOverflow;
  std::string digits;
  int e10;
  decimal_digits(n, &digits, &e10);
  if (digits.empty()) {
    *out = 0.0;
    return 0;
  }
  // Fifteen significant digits, half away from zero, as OCI delivers them.
  Number rounded;
  int status = round(n, 15 - e10, &rounded);
  if (status != 0) return status;
  std::string text = rounded.negative ? "-0." : "0.";
  decimal_digits(rounded, &digits, &e10);
  text += digits + "e" + std::to_string(e10);
  *out = std::strtod(text.c_str(), nullptr);
  return 0;
}

long double to_long_double(const Number &n) {
  if (n.infinity) return n.infinity > 0 ? HUGE_VALL : -HUGE_VALL;
  long double value = 0;
  for (uint8_t d : n.digits) value = value * 100 + d;
  value *= std::pow(100.0L, n.exponent - static_cast<int>(n.digits.size()));
  return n.negative ? -value : value;
}

std::string to_plain(const Number &n) {
  if (n.infinity) return n.infinity > 0 ? "~" : "-~";
  std::string digits;
  int e10;
  decimal_digits(n, &digits, &e10);
  if (digits.empty()) return "0";
  std::string text;
  if (e10 <= 0) {
    text = "0." + std::string(static_cast<size_t>(-e10), '0') + digits;
  } else if (e10 >= static_cast<int>(digits.size())) {
    text = digits + std::string(static_cast<size_t>(e10) - digits.size(), '0');
  } else {
    text = digits.substr(0, static_cast<size_t>(e10)) + "." + digits.substr(static_cast<size_t>(e10));
  }
  return n.negative ? "-" + text : text;
}

int from_plain(const std::string &text, Number *out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;
  long point = -1;
  bool any = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits.push_back(c);
      any = true;
    } else if (c == '.' && point < 0) {
      point = static_cast<long>(digits.size());
    } else {
      break;
    }
  }
  if (!any) return kInvalidInput;
  long exponent10 = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    char *end = nullptr;
    exponent10 = std::strtol(text.c_str() + i + 1, &end, 10);
    if (end == text.c_str() + i + 1) return kInvalidInput;
    i = static_cast<size_t>(end - text.c_str());
  }
  if (i != text.size()) return kInvalidInput;
  if (point < 0) point = static_cast<long>(digits.size());
  // value = 0.digits x 10^(point + exponent10), in 64 bits: the exponent
  // text may say anything a long holds.
  int64_t e10 = int64_t{point} + exponent10;
  size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    *out = Number{};
    return 0;
  }
  digits.erase(0, lead);
  e10 -= static_cast<int64_t>(lead);
  if (e10 > 300 || e10 < -300) return e10 > 0 ? kOverflow : kUnderflow;
  // Base-100 digits need an even power of ten.
  if (e10 % 2 != 0) {
    digits.insert(digits.begin(), '0');
    ++e10;
  }
  if (digits.size() % 2 != 0) digits.push_back('0');
  Number n;
  n.negative = negative;
  n.exponent = static_cast<int>(e10 / 2);
  for (size_t k = 0; k < digits.size(); k += 2)
    n.digits.push_back(static_cast<uint8_t>((digits[k] - '0') * 10 + (digits[k + 1] - '0')));
  int status = finish(n);
  if (status == 0) *out = n;
  return status;
}

}  // namespace zec::oracle
