#include "src/sql/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zec::sql {
namespace {

constexpr int kNumberBytes = oracle::kNumberSize - 1;

// Decimal digits d1 d2 ... with value 0.d1d2... x 10^e10, into NUMBER bytes.
// The digits carry no leading zero; count <= 40 is kept as is, more are
// rounded by oracle::finish.
int bytes_from_decimal(bool negative, const char *digits, size_t count, long e10, std::string *out) {
  while (count > 0 && digits[count - 1] == '0') --count;
  if (count == 0) {
    *out = std::string(1, '\x80');
    return 0;
  }
  oracle::Number n;
  n.negative = negative;
  // Base-100 digits need an even power of ten: 0.d x 10^e = 0.0d x 10^(e+1).
  std::string padded;
  padded.reserve(count + 2);
  long e = e10;
  if (e % 2 != 0) {
    padded.push_back('0');
    ++e;
  }
  padded.append(digits, count);
  if (padded.size() % 2) padded.push_back('0');
  long exponent = e / 2;
  if (exponent > 200 || exponent < -200) return exponent > 0 ? oracle::kOverflow : oracle::kUnderflow;
  n.exponent = static_cast<int>(exponent);
  n.digits.reserve(padded.size() / 2);
  for (size_t k = 0; k < padded.size(); k += 2)
    n.digits.push_back(static_cast<uint8_t>((padded[k] - '0') * 10 + (padded[k + 1] - '0')));
  if (int status = oracle::finish(n)) return status;
  *out = number_bytes(n);
  return 0;
}

// The decimal digits of NUMBER bytes: value = 0.digits x 10^e10.
bool decimal_of(std::string_view bytes, bool *negative, std::string *digits, long *e10) {
  oracle::Number n;
  if (!decode_number(bytes, &n) || n.infinity) return false;
  *negative = n.negative;
  int exponent = 0;
  oracle::decimal_digits(n, digits, &exponent);
  *e10 = exponent;
  return true;
}

}  // namespace

std::string number_bytes(const oracle::Number &n) {
  uint8_t full[oracle::kNumberSize];
  oracle::encode(n, full);
  return std::string(reinterpret_cast<const char *>(full + 1), full[0]);
}

bool decode_number(std::string_view bytes, oracle::Number *out) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(kNumberBytes)) return false;
  uint8_t full[oracle::kNumberSize] = {};
  full[0] = static_cast<uint8_t>(bytes.size());
  std::memcpy(full + 1, bytes.data(), bytes.size());
  return oracle::decode(full, out) == 0;
}

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The bytes of magnitude x 10^-scale, with the sign given.
std::string number_from_scaled(uint64_t magnitude, bool negative, int scale) {
  if (magnitude == 0) return std::string(1, '\x80');
  if (scale % 2 != 0) {  // base-100 digits need an even power of ten
    if (magnitude % 10 == 0) magnitude /= 10, --scale;
    else magnitude *= 10, ++scale;
  }
  uint8_t digits[12] = {};
  int count = 0;
  while (magnitude != 0) {  // least significant first
    digits[count++] = static_cast<uint8_t>(magnitude % 100);
    magnitude /= 100;
  }
  int exponent = count - scale / 2;
  int low = 0;
  while (low < count && digits[low] == 0) ++low;  // trailing zero digits are not stored
  std::string out;
  out.reserve(static_cast<size_t>(count - low + 2));
  if (!negative) {
    out.push_back(static_cast<char>(0xC0 + exponent));
    for (int i = count - 1; i >= low; --i) out.push_back(static_cast<char>(digits[i] + 1));
  } else {
    out.push_back(static_cast<char>(0x3F - exponent));
    for (int i = count - 1; i >= low; --i) out.push_back(static_cast<char>(101 - digits[i]));
    out.push_back(static_cast<char>(102));
  }
  return out;
}

}  // namespace

std::string number_from_int64(int64_t value) {
  bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return number_from_scaled(magnitude, negative, 0);
}

int number_to_int64(std::string_view bytes, int64_t *out, bool *fraction) {
  if (fraction) *fraction = false;
  if (bytes.empty()) return oracle::kInvalidNumber;
  auto b = reinterpret_cast<const uint8_t *>(bytes.data());
  size_t n = bytes.size();
  if (n == 1 && b[0] == 0x80) {
    *out = 0;
    return 0;
  }
  bool negative = (b[0] & 0x80) == 0;
  int exponent = negative ? 0x3F - b[0] : b[0] - 0xC0;
  size_t digits = n - 1;
  if (negative && digits > 0 && b[n - 1] == 102) --digits;
  if (exponent > 10) return oracle::kOverflow;
  uint64_t value = 0;
  for (int i = 0; i < exponent; ++i) {
    unsigned d = 0;
    if (static_cast<size_t>(i) < digits) d = negative ? 101u - b[i + 1] : b[i + 1] - 1u;
    if (value > (UINT64_MAX - d) / 100) return oracle::kOverflow;
    value = value * 100 + d;
  }
  if (fraction && static_cast<int>(digits) > (exponent > 0 ? exponent : 0)) *fraction = true;
  if (negative) {
    if (value > static_cast<uint64_t>(INT64_MAX) + 1) return oracle::kOverflow;
    *out = static_cast<int64_t>(0 - value);
  } else {
    if (value > static_cast<uint64_t>(INT64_MAX)) return oracle::kOverflow;
    *out = static_cast<int64_t>(value);
  }
  return 0;
}

int number_from_double(double value, std::string *out) {
  if (std::isnan(value)) return oracle::kInvalidNumber;
  if (std::isinf(value)) return oracle::kOverflow;
  if (value == 0) {
    *out = std::string(1, '\x80');
    return 0;
  }
  // Integers below 2^53 are exact and as short as any text; above, the
  // shortest text is not the integer the double holds.
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
    *out = number_from_int64(static_cast<int64_t>(value));
    return 0;
  }
  // The fewest decimal places that read back as the same double, while
  // the scaled value stays an exact integer: most doubles programs bind.
  double magnitude = std::fabs(value);
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  if (magnitude >= 1e-15) {
    for (int places = 1; places <= 22; ++places) {
      double scaled = std::nearbyint(magnitude * kPowersOfTen[places]);
      if (scaled >= kExactIntegers) break;
      if (scaled / kPowersOfTen[places] == magnitude) {
        *out = number_from_scaled(static_cast<uint64_t>(scaled), value < 0, places);
        return 0;
      }
    }
  }
  char text[64];
  auto r = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::scientific);
  *r.ptr = '\0';  // to_chars does not terminate; strtol below needs it
  // "-d.ddde-XX"
  const char *p = text;
  bool negative = *p == '-';
  if (negative) ++p;
  char digits[32];
  size_t count = 0;
  while (p < r.ptr && *p != 'e') {
    if (*p != '.' && count < sizeof digits) digits[count++] = *p;
    ++p;
  }
  long exponent10 = p < r.ptr ? std::strtol(p + 1, nullptr, 10) : 0;
  size_t lead = 0;
  while (lead < count && digits[lead] == '0') ++lead;
  return bytes_from_decimal(negative, digits + lead, count - lead, exponent10 + 1 - static_cast<long>(lead),
                            out);
}

double number_to_double(std::string_view bytes) {
  // Up to seven base-100 digits make an integer below 2^53, and powers of
  // ten to 1E22 are exact doubles, so one multiplication or division gives
  // the nearest double, as reading the decimal text would.
  auto b = reinterpret_cast<const uint8_t *>(bytes.data());
  size_t n = bytes.size();
  if (n == 1 && b[0] == 0x80) return 0.0;
  if (n >= 2 && n <= 9) {
    bool negative = (b[0] & 0x80) == 0;
    int exponent = negative ? 0x3F - b[0] : b[0] - 0xC0;
    size_t digits = n - 1;
    if (negative && b[n - 1] == 102) --digits;
    bool fast = digits >= 1 && digits <= 7;
    uint64_t m = 0;
    for (size_t i = 0; fast && i < digits; ++i) {
      unsigned d = negative ? 101u - b[i + 1] : b[i + 1] - 1u;
      fast = d <= 99;
      m = m * 100 + d;
    }
    int power = 2 * (exponent - static_cast<int>(digits));
    if (fast && power >= -22 && power <= 22) {
      double r = power >= 0 ? static_cast<double>(m) * kPowersOfTen[power]
                           : static_cast<double>(m) / kPowersOfTen[-power];
      return negative ? -r : r;
    }
  }
  bool negative;
  std::string digits;
  long e10;
  if (!decimal_of(bytes, &negative, &digits, &e10)) return 0.0;
  if (digits.empty()) return 0.0;
  std::string text = negative ? "-0." : "0.";
  text += digits;
  text += "e" + std::to_string(e10);
  return std::strtod(text.c_str(), nullptr);
}

bool number_is_zero(std::string_view bytes) {
  return bytes.size() == 1 && static_cast<uint8_t>(bytes[0]) == 0x80;
}

bool number_is_negative(std::string_view bytes) {
  return !bytes.empty() && (static_cast<uint8_t>(bytes[0]) & 0x80) == 0;
}

std::string number_to_text(std::string_view bytes) {
  bool negative;
  std::string digits;
  long e10;
  if (!decimal_of(bytes, &negative, &digits, &e10)) return "~";
  if (digits.empty()) return "0";
  std::string text;
  if (e10 <= 0) {
    text = "." + std::string(static_cast<size_t>(-e10), '0') + digits;
  } else if (e10 >= static_cast<long>(digits.size())) {
    text = digits + std::string(static_cast<size_t>(e10) - digits.size(), '0');
  } else {
    text = digits.substr(0, static_cast<size_t>(e10)) + "." + digits.substr(static_cast<size_t>(e10));
  }
  if (text.size() + (negative ? 1 : 0) > 64) {
    // TM: scientific once the plain form passes 64 characters.
    text = digits.substr(0, 1) + "." + (digits.size() > 1 ? digits.substr(1) : std::string("0"));
    long exponent = e10 - 1;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "E%c%02ld", exponent < 0 ? '-' : '+', std::labs(exponent));
    text += suffix;
  }
  return negative ? "-" + text : text;
}

int number_from_text(std::string_view text, std::string *out) {
  size_t i = 0;
  size_t end = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (i < end && blank(text[i])) ++i;
  while (end > i && blank(text[end - 1])) --end;
  if (i == end) return 1722;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::string digits;
  long point = -1;
  bool any = false;
  for (; i < end; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      if (!(digits.empty() && c == '0')) digits.push_back(c);
      else if (point >= 0) digits.push_back(c);  // zeros after the point count for position
      any = true;
    } else if (c == '.' && point < 0) {
      point = static_cast<long>(digits.size());
    } else {
      break;
    }
  }
  if (!any) return 1722;
  long exponent10 = 0;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    if (i >= end || text[i] < '0' || text[i] > '9') return 1722;
    while (i < end && text[i] >= '0' && text[i] <= '9') {
      if (exponent10 < 100000) exponent10 = exponent10 * 10 + (text[i] - '0');
      ++i;
    }
    if (exp_negative) exponent10 = -exponent10;
  }
  if (i != end) return 1722;
  if (point < 0) point = static_cast<long>(digits.size());
  size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    *out = std::string(1, '\x80');
    return 0;
  }
  long e10 = point + exponent10 - static_cast<long>(lead);
  int status = bytes_from_decimal(negative, digits.data() + lead, digits.size() - lead, e10, out);
  return status == oracle::kOverflow ? 1426 : status == oracle::kUnderflow ? 0 : status;
}

namespace {

// Whether canonical NUMBER bytes need no rounding and no check for the
// column, read off their shape alone: how many base-100 digits, and where
// the point falls. False when only the full check can tell.
bool number_fits_as_is(const Type &column, std::string_view bytes) {
  auto b = reinterpret_cast<const uint8_t *>(bytes.data());
  size_t n = bytes.size();
  if (n < 2 || n > 22) return false;
  bool negative = (b[0] & 0x80) == 0;
  int exponent = negative ? 0x3F - b[0] : b[0] - 0xC0;
  int count = static_cast<int>(n - 1) - (negative && b[n - 1] == 102 ? 1 : 0);
  if (column.is_float) {
    int bits = column.precision > 0 ? column.precision : 126;
    return 2 * count <= static_cast<int>(std::ceil(bits * 0.30103));
  }
  if (column.precision <= 0 || column.scale < 0 || column.scale == -127) return false;
  int first = negative ? 101 - b[1] : b[1] - 1;
  int fraction = 2 * std::max(0, count - exponent);  // at most
  int whole = exponent > 0 ? 2 * exponent - (first < 10 ? 1 : 0) : 0;
  return fraction <= column.scale && whole <= column.precision - column.scale;
}

}  // namespace

int number_fit(const Type &column, std::string *bytes) {
  if (column.base != Base::Number) return 0;
  if (number_fits_as_is(column, *bytes)) return 0;
  oracle::Number n;
  if (!decode_number(*bytes, &n)) return 1722;
  if (n.is_zero()) return 0;
  if (column.is_float) {
    // FLOAT(b) keeps ceil(b * log10 2) significant digits.
    int bits = column.precision > 0 ? column.precision : 126;
    int digits = static_cast<int>(std::ceil(bits * 0.30103));
    std::string all;
    bool negative;
    long e10;
    decimal_of(*bytes, &negative, &all, &e10);
    if (static_cast<int>(all.size()) <= digits) return 0;
    oracle::Number rounded;
    if (int status = oracle::round(n, static_cast<int32_t>(digits - e10), &rounded)) return status;
    *bytes = number_bytes(rounded);
    return 0;
  }
  if (column.scale != -127) {
    oracle::Number rounded;
    if (int status = oracle::round(n, column.scale, &rounded)) return status == oracle::kOverflow ? 1426 : status;
    n = rounded;
    *bytes = number_bytes(n);
    if (n.is_zero()) return 0;
  }
  if (column.precision > 0) {
    // Digits left of the point may be at most p - s.
    std::string all;
    bool negative;
    long e10;
    decimal_of(*bytes, &negative, &all, &e10);
    long allowed = column.precision - (column.scale == -127 ? 0 : column.scale);
    if (e10 > allowed) return 1438;
  }
  return 0;
}

// ---- DATE ----------------------------------------------------------------------

int64_t date_seconds(const oracle::Date &d) {
  return static_cast<int64_t>(oracle::julian_day(d)) * kSecondsPerDay + d.hour * 3600 + d.minute * 60 +
         d.second;
}

int64_t timestamp_micros(const oracle::Date &d) {
  return date_seconds(d) * kMicrosPerSecond + d.fraction / 1000;
}

oracle::Date timestamp_of(int64_t micros) {
  int64_t seconds = micros / kMicrosPerSecond, rest = micros % kMicrosPerSecond;
  if (rest < 0) {
    rest += kMicrosPerSecond;
    --seconds;
  }
  oracle::Date d = date_of(seconds);
  d.fraction = static_cast<long>(rest) * 1000;
  return d;
}

oracle::Date date_of(int64_t seconds) {
  oracle::Date d;
  int64_t day = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --day;
  }
  oracle::from_julian_day(static_cast<long>(day), &d);
  d.hour = static_cast<int>(rest / 3600);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.second = static_cast<int>(rest % 60);
  return d;
}

int64_t date_from_ocidate(const OCIDate &o, int *error) {
  oracle::Date d{o.OCIDateYYYY, o.OCIDateMM, o.OCIDateDD, o.OCIDateTime.OCITimeHH,
                 o.OCIDateTime.OCITimeMI, o.OCIDateTime.OCITimeSS};
  *error = oracle::check(d);
  return *error ? 0 : date_seconds(d);
}

OCIDate ocidate_of(int64_t seconds) {
  oracle::Date d = date_of(seconds);
  OCIDate o{};
  o.OCIDateYYYY = static_cast<sb2>(d.year);
  o.OCIDateMM = static_cast<ub1>(d.month);
  o.OCIDateDD = static_cast<ub1>(d.day);
  o.OCIDateTime.OCITimeHH = static_cast<ub1>(d.hour);
  o.OCIDateTime.OCITimeMI = static_cast<ub1>(d.minute);
  o.OCIDateTime.OCITimeSS = static_cast<ub1>(d.second);
  return o;
}

void date_to_bytes7(int64_t seconds, uint8_t out[7]) {
  oracle::Date d = date_of(seconds);
  int year = d.year;
  int century = year >= 0 ? year / 100 : -((-year) / 100);
  int in_century = year >= 0 ? year % 100 : -((-year) % 100);
  out[0] = static_cast<uint8_t>(century + 100);
  out[1] = static_cast<uint8_t>(in_century + 100);
  out[2] = static_cast<uint8_t>(d.month);
  out[3] = static_cast<uint8_t>(d.day);
  out[4] = static_cast<uint8_t>(d.hour + 1);
  out[5] = static_cast<uint8_t>(d.minute + 1);
  out[6] = static_cast<uint8_t>(d.second + 1);
}

int64_t date_from_bytes7(const uint8_t in[7], int *error) {
  oracle::Date d;
  d.year = (in[0] - 100) * 100 + (in[1] - 100);
  d.month = in[2];
  d.day = in[3];
  d.hour = in[4] - 1;
  d.minute = in[5] - 1;
  d.second = in[6] - 1;
  *error = oracle::check(d);
  return *error ? 0 : date_seconds(d);
}

// ---- Hex -----------------------------------------------------------------------------

std::string raw_to_hex(std::string_view raw) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(raw.size() * 2);
  for (unsigned char c : raw) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

int raw_from_hex(std::string_view hex, std::string *out) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out->clear();
  size_t i = 0;
  if (hex.size() % 2) {  // an odd count reads as a leading 0
    int v = value(hex[0]);
    if (v < 0) return 1465;
    out->push_back(static_cast<char>(v));
    i = 1;
  }
  for (; i < hex.size(); i += 2) {
    int high = value(hex[i]);
    int low = value(hex[i + 1]);
    if (high < 0 || low < 0) return 1465;
    out->push_back(static_cast<char>(high * 16 + low));
  }
  return 0;
}

// ---- UTF-8 ---------------------------------------------------------------------------

size_t utf8_length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

size_t utf8_offset(std::string_view s, size_t index) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (n == index) return i;
      ++n;
    }
  }
  return s.size();
}

}  // namespace zec::sql
