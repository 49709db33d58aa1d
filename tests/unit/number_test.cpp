// Oracle NUMBER in the embedded client: the stored bytes, arithmetic to 38
// digits and more, reals in and out, and format models both ways.
#include <gtest/gtest.h>

#include <cstdint>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "src/oracle/number.h"

namespace zec::oracle {
namespace {

Number parse(const std::string &text) {
  Number n;
  EXPECT_EQ(from_plain(text, &n), 0) << text;
  return n;
}

// The stored bytes after the length byte, as "C1 02".
std::string hex_of(const Number &n) {
  uint8_t bytes[kNumberSize];
  encode(n, bytes);
  std::string out;
  for (int i = 1; i <= bytes[0]; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, i == 1 ? "%02X" : " %02X", bytes[i]);
    out += b;
  }
  return out;
}

std::string repeat(const char *byte, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += std::string(" ") + byte;
  return out;
}

TEST(NumberBytes, ValuesAreStoredAsOracleStoresThem) {
  struct Vector {
    std::string value;
    std::string bytes;
  };
  const Vector vectors[] = {
      {"0", "80"}, {"1", "C1 02"}, {"-1", "3E 64 66"}, {"5", "C1 06"}, {"10", "C1 0B"},
      {"99", "C1 64"}, {"100", "C2 02"}, {"101", "C2 02 02"}, {"-101", "3D 64 64 66"},
      {"0.01", "C0 02"}, {"0.1", "C0 0B"}, {"0.5", "C0 33"}, {"-0.5", "3F 33 66"},
      {"-0.01", "3F 64 66"}, {"1.5", "C1 02 33"}, {"2.25", "C1 03 1A"}, {"3.75", "C1 04 4C"},
      {"123.456", "C2 02 18 2E 3D"}, {"-123.456", "3D 64 4E 38 29 66"}, {"1234.5", "C2 0D 23 33"},
      {"12345678", "C4 0D 23 39 4F"}, {"-12345678", "3B 59 43 2D 17 66"}, {"1000000", "C4 02"},
      {"0.000001", "BE 02"}, {"2147483647", "C5 16 30 31 25 30"},
      {"-2147483648", "3A 50 36 35 41 35 66"},
      {"3.14159265358979323846264338327950288419716939937510",
       "C1 04 0F 10 5D 42 24 5A 50 21 27 2F 1B 2C 27 21 50 33 1D 55 15"},
      {"-3.14159265358979323846264338327950288419716939937510",
       "3E 62 57 56 09 24 42 0C 16 45 3F 37 4B 3A 3F 45 16 33 49 11 51"},
      {"12345678901234567890123456789012345678",
       "D3 0D 23 39 4F 5B 0D 23 39 4F 5B 0D 23 39 4F 5B 0D 23 39 4F"},
      {"-12345678901234567890123456789012345678",
       "2C 59 43 2D 17 0B 59 43 2D 17 0B 59 43 2D 17 0B 59 43 2D 17 66"},
      {"1.2345678901234567890123456789012345678",
       "C1 02 18 2E 44 5A 02 18 2E 44 5A 02 18 2E 44 5A 02 18 2E 44 51"},
      {"123456789012345678901234567890123456789",
       "D4 02 18 2E 44 5A 02 18 2E 44 5A 02 18 2E 44 5A 02 18 2E 44 5A"},
      {"-123456789012345678901234567890123456789",
       "2B 64 4E 38 22 0C 64 4E 38 22 0C 64 4E 38 22 0C 64 4E 38 22 0C"},
      {"0.12345678901234567890123456789012345678901",
       "C0 0D 23 39 4F 5B 0D 23 39 4F 5B 0D 23 39 4F 5B 0D 23 39 4F 5B"},
      {"1E+38", "D4 02"}, {"1E+125", "FF 0B"}, {"-1E+125", "00 5B 66"},
      {"9.999999999999999999999999999999999999999E+125", "FF" + repeat("64", 20)},
      {"-9.999999999999999999999999999999999999999E+125", "00" + repeat("02", 20)},
      {"1E-129", "80 0B"}, {"1E-130", "80 02"}, {"-1E-130", "7F 64 66"},
      {"0.30000000000000004", "C0 1F 01 01 01 01 01 01 01 29"},
  };
  for (const Vector &v : vectors) {
    Number n = parse(v.value);
    EXPECT_EQ(hex_of(n), v.bytes) << v.value;
    // And back: the bytes decode to the same value.
    uint8_t bytes[kNumberSize];
    encode(n, bytes);
    Number back;
    ASSERT_EQ(decode(bytes, &back), 0) << v.value;
    EXPECT_EQ(compare(back, n), 0) << v.value;
  }
}

TEST(NumberBytes, DivisionRoundsToTheLastStoredDigit) {
  Number third;
  Number two_thirds;
  Number ten_thirds;
  Number minus_third;
  ASSERT_EQ(divide(parse("1"), parse("3"), &third), 0);
  ASSERT_EQ(divide(parse("2"), parse("3"), &two_thirds), 0);
  ASSERT_EQ(divide(parse("10"), parse("3"), &ten_thirds), 0);
  ASSERT_EQ(divide(parse("-1"), parse("3"), &minus_third), 0);
  EXPECT_EQ(hex_of(third), "C0" + repeat("22", 20));
  EXPECT_EQ(hex_of(minus_third), "3F" + repeat("44", 20));
  EXPECT_EQ(hex_of(two_thirds), "C0" + repeat("43", 19) + " 44");
  EXPECT_EQ(hex_of(ten_thirds), "C1 04" + repeat("22", 19));
  EXPECT_EQ(to_plain(two_thirds), "0.6666666666666666666666666666666666666667");
}

TEST(NumberBytes, InfinitiesAndMalformedBytes) {
  const uint8_t plus[kNumberSize] = {2, 0xFF, 101};
  const uint8_t minus[kNumberSize] = {1, 0x00};
  Number n;
  ASSERT_EQ(decode(plus, &n), 0);
  EXPECT_EQ(n.infinity, 1);
  EXPECT_EQ(to_plain(n), "~");
  ASSERT_EQ(decode(minus, &n), 0);
  EXPECT_EQ(n.infinity, -1);
  EXPECT_EQ(hex_of(n), "00");
  const uint8_t empty[kNumberSize] = {0};
  const uint8_t long_one[kNumberSize] = {22};
  const uint8_t bad_digit[kNumberSize] = {2, 0xC1, 0xFF};
  EXPECT_EQ(decode(empty, &n), kInvalidNumber);
  EXPECT_EQ(decode(long_one, &n), kInvalidNumber);
  EXPECT_EQ(decode(bad_digit, &n), kInvalidNumber);
}

TEST(NumberArithmetic, IdentitiesHoldAtThirtyEightDigits) {
  std::mt19937 random(42);
  auto digits = [&](int count) {
    std::string s;
    s += static_cast<char>('1' + random() % 9);
    for (int i = 1; i < count; ++i) s += static_cast<char>('0' + random() % 10);
    return s;
  };
  for (int trial = 0; trial < 200; ++trial) {
    // Two 38-digit values, scaled apart: sums and products that stay
    // within the stored digits are exact.
    Number a = parse(digits(19) + "." + digits(19));
    Number b = parse(std::string(random() % 2 ? "-" : "") + digits(10) + "." + digits(9));
    Number sum, back, product, quotient;
    ASSERT_EQ(add(a, b, &sum), 0);
    ASSERT_EQ(subtract(sum, b, &back), 0);
    EXPECT_EQ(compare(back, a), 0) << to_plain(a) << " " << to_plain(b);
    Number small = parse(digits(9));
    ASSERT_EQ(multiply(parse(digits(19)), small, &product), 0);
    ASSERT_EQ(divide(product, small, &quotient), 0);
    Number whole;
    ASSERT_EQ(round(quotient, 0, &whole), 0);
    EXPECT_EQ(compare(whole, quotient), 0) << to_plain(quotient);
    // Against long double, to its precision.
    long double expected = to_long_double(a) + to_long_double(b);
    EXPECT_NEAR(static_cast<double>(to_long_double(sum) / expected), 1.0, 1e-17);
  }
}

TEST(NumberArithmetic, WorkedExamples) {
  struct Case {
    int (*f)(const Number &, const Number &, Number *);
    const char *a, *b, *expected;
  };
  const Case cases[] = {
      {add, "1.5", "2.25", "3.75"},   {subtract, "1", "3", "-2"},    {multiply, "1.1", "1.1", "1.21"},
      {divide, "10", "4", "2.5"},     {power, "2", "10", "1024"},    {power, "2", "-2", "0.25"},
      {log, "2", "8", "3"},           {log, "10", "1000", "3"},
  };
  for (const Case &c : cases) {
    Number r;
    ASSERT_EQ(c.f(parse(c.a), parse(c.b), &r), 0) << c.a << " " << c.b;
    double value;
    ASSERT_EQ(to_double(r, &value), 0);
    EXPECT_DOUBLE_EQ(value, std::stod(c.expected)) << c.a << " " << c.b;
  }
  Number r;
  EXPECT_EQ(divide(parse("1"), parse("0"), &r), kDivideByZero);
  EXPECT_EQ(log(parse("2"), parse("0"), &r), kOutOfRange);
  EXPECT_EQ(ln(parse("-1"), &r), kOutOfRange);
  EXPECT_EQ(sqrt(parse("-1"), &r), kOutOfRange);
  EXPECT_EQ(arc_sin(parse("2"), &r), kOutOfRange);
  EXPECT_EQ(arc_tan2(parse("1"), parse("0"), &r), kDivideByZero);
  EXPECT_EQ(power(parse("-8"), parse("0.5"), &r), kOutOfRange);
  EXPECT_EQ(exp(parse("291"), &r), kOverflow);
  EXPECT_EQ(multiply(parse("1E+100"), parse("1E+100"), &r), kOverflow);
  EXPECT_EQ(divide(parse("1E-100"), parse("1E+100"), &r), kUnderflow);
}

TEST(NumberArithmetic, FunctionsToDoublePrecision) {
  struct Case {
    int (*f)(const Number &, Number *);
    const char *x;
    double expected;
  };
  const Case cases[] = {
      {ln, "10", 2.30258509299405},      {exp, "1", 2.71828182845905},
      {sqrt, "2", 1.4142135623731},       {sin, "1", 0.841470984807897},
      {cos, "1", 0.54030230586814},       {tan, "1", 1.5574077246549},
      {arc_sin, "1", 1.5707963267949},    {arc_cos, "-1", 3.14159265358979},
      {arc_tan, "1", 0.785398163397448},  {hyp_sin, "1", 1.1752011936438},
      {hyp_cos, "1", 1.54308063481524},   {hyp_tan, "1", 0.761594155955765},
  };
  for (const Case &c : cases) {
    Number r;
    ASSERT_EQ(c.f(parse(c.x), &r), 0) << c.x;
    double value;
    ASSERT_EQ(to_double(r, &value), 0);
    EXPECT_DOUBLE_EQ(value, c.expected) << c.x;
  }
  Number r;
  ASSERT_EQ(arc_tan2(parse("-1"), parse("-1"), &r), 0);
  double value;
  to_double(r, &value);
  EXPECT_DOUBLE_EQ(value, -2.35619449019234);
}

TEST(NumberArithmetic, RoundAndTruncByPlaces) {
  struct Case {
    const char *x;
    int places;
    const char *rounded;
    const char *truncated;
  };
  const Case cases[] = {
      {"1234.5678", 2, "1234.57", "1234.56"}, {"1234.5678", -2, "1200", "1200"},
      {"-1234.5678", 0, "-1235", "-1234"},    {"15.193", -1, "20", "10"},
      {"1250", -2, "1300", "1200"},           {"-1250", -2, "-1300", "-1200"},
      {"2.5", 0, "3", "2"},                   {"-2.5", 0, "-3", "-2"},
      {"0.045", 2, "0.05", "0.04"},           {"5678", -4, "10000", "0"},
      {"1234.5678", -4, "0", "0"},            {"9.99", 1, "10", "9.9"},
  };
  for (const Case &c : cases) {
    Number r;
    ASSERT_EQ(round(parse(c.x), c.places, &r), 0);
    EXPECT_EQ(to_plain(r), c.rounded) << c.x << " " << c.places;
    ASSERT_EQ(trunc(parse(c.x), c.places, &r), 0);
    EXPECT_EQ(to_plain(r), c.truncated) << c.x << " " << c.places;
  }
}

TEST(NumberText, ExponentsAtTheEndsOfALongOverflowOrUnderflow) {
  Number n;
  EXPECT_NE(from_plain("123.5e2147483647", &n), 0);
  EXPECT_NE(from_plain("0.00123e-2147483648", &n), 0);
  EXPECT_NE(from_plain("1e9223372036854775807", &n), 0);
  ASSERT_EQ(from_plain("12.5e2", &n), 0);
  EXPECT_EQ(to_plain(n), "1250");
}

TEST(NumberRounding, PlacesAtTheEndsOfAnIntKeepAllOrNothing) {
  // Far beyond any digit either way: the value whole, or zero (no overflow).
  for (int32_t places : {INT32_MAX, INT32_MAX - 5}) {
    Number r;
    ASSERT_EQ(round(parse("-1234.5678"), places, &r), 0);
    EXPECT_EQ(to_plain(r), "-1234.5678");
    ASSERT_EQ(trunc(parse("0.000123"), places, &r), 0);
    EXPECT_EQ(to_plain(r), "0.000123");
  }
  for (int32_t places : {INT32_MIN, INT32_MIN + 5}) {
    Number r;
    ASSERT_EQ(round(parse("0.000123"), places, &r), 0);
    EXPECT_EQ(to_plain(r), "0");
    ASSERT_EQ(trunc(parse("-98765"), places, &r), 0);
    EXPECT_EQ(to_plain(r), "0");
  }
}

TEST(NumberReals, RealsCrossAtFifteenDigits) {
  for (double v : {1.5, 2.25, 3.75, 0.5, 1024.0, -42.0, 0.1, 1e125, 1e-130, 123456.789}) {
    Number n;
    ASSERT_EQ(from_double(v, &n), 0) << v;
    double back;
    ASSERT_EQ(to_double(n, &back), 0);
    EXPECT_EQ(back, v);
  }
  Number third;
  divide(parse("1"), parse("3"), &third);
  double value;
  to_double(third, &value);
  EXPECT_EQ(value, 0.333333333333333);
  Number n;
  EXPECT_EQ(from_double(1e200, &n), kOverflow);
  EXPECT_EQ(from_double(NAN, &n), kInvalidNumber);
  EXPECT_EQ(from_double(INFINITY, &n), kOverflow);
}

TEST(NumberText, FormatModelsOut) {
  struct Case {
    const char *value, *format, *nls, *text;
  };
  const Case cases[] = {
      {"1234.5", "9999.99", "", " 1234.50"},
      {"-1234.5", "9999.99", "", "-1234.50"},
      {"1234.567", "9999.99", "", " 1234.57"},
      {"0.5", "9999.99", "", "     .50"},
      {"0", "9999.99", "", "    0.00"},
      {"12345", "9999.99", "", "########"},
      {"666.66", "99.99", "", "######"},
      {"99.995", "99.99", "", "######"},
      {"123", "FM999", "", "123"},
      {"5", "FM999", "", "5"},
      {"5", "999", "", "   5"},
      {"1234567.891", "999G999G999D99", "NLS_NUMERIC_CHARACTERS='.,'", "   1,234,567.89"},
      {"1234567.891", "999G999G999D99", "NLS_NUMERIC_CHARACTERS=',.'", "   1.234.567,89"},
      {"1234.5", "9,999.99", "", " 1,234.50"},
      {"42", "S999", "", " +42"},
      {"-42", "S999", "", " -42"},
      {"42", "999S", "", " 42+"},
      {"-42", "999S", "", " 42-"},
      {"42", "999MI", "", " 42 "},
      {"-42", "999MI", "", " 42-"},
      {"42", "999PR", "", "  42 "},
      {"-42", "999PR", "", " <42>"},
      {"42", "0000", "", " 0042"},
      {"-42", "0000", "", "-0042"},
      {"42", "FM0000", "", "0042"},
      {"1234.5", "9.9EEEE", "", " 1.2E+03"},
      {"0.000123", "9.99EEEE", "", " 1.23E-04"},
      // Far below 1E-125 the mantissa and the sign survive.
      {"6.573978625E-130", "9.999999999EEEE", "", " 6.573978625E-130"},
      {"-6.573978625E-130", "9.999999999EEEE", "", "-6.573978625E-130"},
      {"9.96E-130", "9.9EEEE", "", " 1.0E-129"},
      {"-99.96", "9.9EEEE", "", "-1.0E+02"},
      {"12", "FMRN", "", "XII"},
      {"12", "fmrn", "", "xii"},
      {"1", "$999", "", "   $1"},
      {"1234.5", "FM9999.99", "", "1234.5"},
      {"255", "XXX", "", "  FF"},
      {"123.45", "999V99", "", " 12345"},
      {"0", "B9999", "", "     "},
      {"42", "L99", "NLS_CURRENCY='EUR'", " EUR42"},
      {"42", "C99", "NLS_ISO_CURRENCY='GERMANY'", " DEM42"},
  };
  for (const Case &c : cases) {
    std::string text;
    std::string parameter;
    ASSERT_EQ(to_text(parse(c.value), c.format, c.nls, &text, &parameter), 0) << c.format;
    EXPECT_EQ(text, c.text) << c.value << " " << c.format;
  }
  std::string text;
  std::string parameter;
  EXPECT_EQ(to_text(parse("1"), "", "", &text, &parameter), kInvalidFormat);
  EXPECT_EQ(to_text(parse("1"), "99X9Q", "", &text, &parameter), kInvalidFormat);
  EXPECT_EQ(parameter, "99X9Q");
  EXPECT_EQ(to_text(parse("1"), "9", "NLS_NUMERIC_CHARACTERS='..'", &text, &parameter), kInvalidNls);
}

TEST(NumberText, FormatModelsIn) {
  struct Case {
    const char *text, *format, *nls, *value;
  };
  const Case cases[] = {
      {"1234.50", "9999.99", "", "1234.5"},
      {"1,234.50", "9,999.99", "", "1234.5"},
      {"48`000.00", "99G999D99", "NLS_NUMERIC_CHARACTERS='.`'", "48000"},
      {"-42", "S99", "", "-42"},
      {"  42", "9999", "", "42"},
      {"1.5E+03", "9.9EEEE", "", "1500"},
      {"XII", "RN", "", "12"},
      {"<42>", "999PR", "", "-42"},
      {"42-", "99MI", "", "-42"},
      {"$1,000", "$9,999", "", "1000"},
      {"0042", "0000", "", "42"},
      {"FF", "XX", "", "255"},
      {"12345", "999V99", "", "123.45"},
      {"EUR42", "L99", "NLS_CURRENCY='EUR'", "42"},
      {"DEM0042", "C0000", "NLS_ISO_CURRENCY='GERMANY'", "42"},
  };
  for (const Case &c : cases) {
    Number n;
    std::string parameter;
    ASSERT_EQ(from_text(c.text, c.format, c.nls, &n, &parameter), 0) << c.text << " " << c.format;
    EXPECT_EQ(to_plain(n), c.value) << c.text;
  }
  Number n;
  std::string parameter;
  EXPECT_EQ(from_text("abc", "999", "", &n, &parameter), kInvalidInput);
  EXPECT_EQ(parameter, "abc");
  EXPECT_EQ(from_text("12345", "999", "", &n, &parameter), kInvalidInput);
  EXPECT_EQ(from_text("1", "99X9Q", "", &n, &parameter), kInvalidFormat);
  EXPECT_EQ(from_text("1", "9", "NLS_NUMERIC_CHARACTERS='..'", &n, &parameter), kInvalidNls);
  // Round trips through a format.
  for (const char *value : {"0.5", "-1234.56", "99999.99", "7"}) {
    std::string text;
    ASSERT_EQ(to_text(parse(value), "99999.99", "", &text, &parameter), 0);
    ASSERT_EQ(from_text(text, "99999.99", "", &n, &parameter), 0) << text;
    EXPECT_EQ(compare(n, parse(value)), 0) << text;
  }
}

}  // namespace
}  // namespace zec::oracle
