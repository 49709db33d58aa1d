// Numbers and dates through ZorvanPack: each family's status rule and what
// reaches the host's reals, dates and seconds.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "oci.h"
#include "support/plugin_fixture.h"

namespace zorvan::test {
namespace {

using emu::date_param;
using emu::long_param;
using emu::real_param;
using emu::string_param;

constexpr double kUntouched = -98765.25;

class NumberDate : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (HasFatalFailure()) return;
    int32_t env = host().call(55, {long_param(0), long_param(0)}).long_at(1);
    err = host().call(53, {long_param(env), long_param(0), long_param(OCI_HTYPE_ERROR)}).long_at(2);
    host().add_method("Handler");
    host().call(105, {string_param("Handler")});
  }
  emu::CallResult two(int32_t selector, double a, double b) {
    return host().call(selector, {long_param(err), real_param(a), real_param(b), real_param(kUntouched)});
  }
  emu::CallResult one(int32_t selector, double x) {
    return host().call(selector, {long_param(err), real_param(x), real_param(kUntouched)});
  }
  static std::string ymd(const emu::CallResult &r, int i) {
    int16_t d, m, y;
    r.date_at(i, &d, &m, &y);
    char text[32];
    std::snprintf(text, sizeof text, "%d-%02d-%02d", y, m, d);
    return text;
  }
  int32_t err = 0;
};

TEST_F(NumberDate, NumbersComputeOnHostReals) {
  auto sum = two(148, 1.5, 2.25);
  EXPECT_EQ(sum.result, OCI_SUCCESS);
  EXPECT_EQ(sum.real_at(4), 3.75);
  EXPECT_EQ(two(128, 1, 3).real_at(4), -2);
  EXPECT_DOUBLE_EQ(two(133, 1.1, 1.1).real_at(4), 1.21);
  EXPECT_EQ(two(142, 1, 3).real_at(4), 0.333333333333333);
  EXPECT_EQ(two(132, 2, 10).real_at(4), 1024);
  EXPECT_EQ(two(134, 2, 8).real_at(4), 3);  // the logarithm of 8 to the base 2
  EXPECT_DOUBLE_EQ(two(144, 1, -1).real_at(4), 2.35619449019234);
  EXPECT_EQ(one(129, 16).real_at(3), 4);
  EXPECT_DOUBLE_EQ(one(135, 10).real_at(3), 2.30258509299405);
  EXPECT_DOUBLE_EQ(one(141, 1).real_at(3), 2.71828182845905);
  auto truncated = host().call(125, {long_param(err), real_param(1234.5678), long_param(2), real_param(0)});
  EXPECT_EQ(truncated.real_at(4), 1234.56);
  auto rounded = host().call(131, {long_param(err), real_param(-2.5), long_param(0), real_param(0)});
  EXPECT_EQ(rounded.real_at(4), -3);
  auto power = host().call(136, {long_param(err), real_param(2), long_param(-2), real_param(0)});
  EXPECT_EQ(power.real_at(4), 0.25);
}

TEST_F(NumberDate, NumberFailuresAreOnlyMinusOneAndNeverReport) {
  auto divided = two(142, 1, 0);
  EXPECT_EQ(divided.result, OCI_ERROR);
  EXPECT_EQ(divided.real_at(4), kUntouched);
  auto logarithm = one(135, 0);
  EXPECT_EQ(logarithm.result, OCI_ERROR);
  EXPECT_EQ(logarithm.real_at(3), kUntouched);
  EXPECT_EQ(two(144, 1, 0).result, OCI_ERROR);  // OCI's arc tangent refuses a zero second argument
  EXPECT_EQ(one(146, 2).result, OCI_ERROR);
  EXPECT_TRUE(host().method_calls().empty());
  // A real OCI cannot hold fails in the conversion: -1, nothing written.
  EXPECT_EQ(two(148, 1e200, 1).result, OCI_ERROR);
  // An error handle that is not one is refused, and that is reported.
  auto refused = host().call(148, {long_param(12345), real_param(1), real_param(2), real_param(kUntouched)});
  EXPECT_EQ(refused.result, OCI_INVALID_HANDLE);
  EXPECT_EQ(refused.real_at(4), kUntouched);
  EXPECT_EQ(host().method_calls().size(), 1u);
}

TEST_F(NumberDate, NumbersToAndFromText) {
  auto text = host().call(126, {long_param(err), real_param(1234.5), string_param("9999.99"),
                                string_param(""), string_param("old")});
  EXPECT_EQ(text.result, OCI_SUCCESS);
  EXPECT_EQ(text.string_at(5), " 1234.50");
  // Empty format and NLS texts go to OCI as no text at all, length 0.
  auto empty = host().call(126, {long_param(err), real_param(1), string_param(""), string_param(""),
                                 string_param("old")});
  EXPECT_EQ(empty.result, OCI_ERROR);
  EXPECT_EQ(empty.string_at(5), "old");
  uint32_t args[8];
  char name[32];
  ASSERT_EQ(client.call(client.call_count() - 1, name, sizeof name, args, 8), 8);
  EXPECT_STREQ(name, "OCINumberToText");
  EXPECT_EQ(args[2], 0u);
  EXPECT_EQ(args[3], 0u);
  EXPECT_EQ(args[4], 0u);
  EXPECT_EQ(args[5], 0u);
  auto grouped = host().call(126, {long_param(err), real_param(1234567.891), string_param("999G999G999D99"),
                                   string_param("NLS_NUMERIC_CHARACTERS=',.'"), string_param("")});
  EXPECT_EQ(grouped.string_at(5), "   1.234.567,89");

  auto parsed = host().call(140, {long_param(err), string_param("1,234.50"), string_param("9,999.99"),
                                  string_param(""), real_param(kUntouched)});
  EXPECT_EQ(parsed.result, OCI_SUCCESS);
  EXPECT_EQ(parsed.real_at(5), 1234.5);
  auto bad = host().call(140, {long_param(err), string_param("abc"), string_param("999"), string_param(""),
                               real_param(kUntouched)});
  EXPECT_EQ(bad.result, OCI_ERROR);
  EXPECT_EQ(bad.real_at(5), kUntouched);
  auto record = host().call(54, {long_param(err), long_param(1), long_param(0), string_param("")});
  EXPECT_EQ(record.string_at(4), "ORA-22062: invalid input string [abc]\n");
}

TEST_F(NumberDate, DatesMoveByMonthsDaysAndWeekdays) {
  auto months = host().call(161, {long_param(err), date_param(31, 1, 2004), long_param(1), date_param(0, 0, 0)});
  EXPECT_EQ(months.result, OCI_SUCCESS);
  EXPECT_EQ(ymd(months, 4), "2004-02-29");
  auto back = host().call(161, {long_param(err), date_param(30, 11, 2004), long_param(-3), date_param(0, 0, 0)});
  EXPECT_EQ(ymd(back, 4), "2004-08-31");
  auto days = host().call(162, {long_param(err), date_param(28, 2, 2004), long_param(2), date_param(0, 0, 0)});
  EXPECT_EQ(ymd(days, 4), "2004-03-01");
  auto last = host().call(159, {long_param(err), date_param(10, 2, 1900), date_param(0, 0, 0)});
  EXPECT_EQ(ymd(last, 3), "1900-02-28");
  auto next = host().call(158, {long_param(err), date_param(1, 7, 2004), string_param("Friday"), date_param(0, 0, 0)});
  EXPECT_EQ(ymd(next, 4), "2004-07-02");
  // A long day name is cut to the buffer; its first letters still name the day.
  auto long_name = host().call(158, {long_param(err), date_param(1, 7, 2004),
                                     string_param("THURSDAY" + std::string(100, 'x')), date_param(0, 0, 0)});
  EXPECT_EQ(ymd(long_name, 4), "2004-07-08");
  // A host day of 271 reaches OCI as its low byte, 15.
  auto low_byte = host().call(162, {long_param(err), date_param(271, 1, 2004), long_param(0), date_param(0, 0, 0)});
  EXPECT_EQ(ymd(low_byte, 4), "2004-01-15");
}

TEST_F(NumberDate, DateFailuresReportWithTheirHandle) {
  auto bad = host().call(158, {long_param(err), date_param(1, 7, 2004), string_param("Freitag"), date_param(9, 9, 9)});
  EXPECT_EQ(bad.result, OCI_ERROR);
  EXPECT_EQ(ymd(bad, 4), "9-09-09");  // not written
  ASSERT_EQ(host().method_calls().size(), 1u);
  EXPECT_EQ(handler_args(host().method_calls()[0]).handle, 0);
  auto unparsed = host().call(160, {long_param(err), string_param("13/01/2004"), string_param("MM/DD/YYYY"),
                                    string_param(""), long_param(0), date_param(0, 0, 0), long_param(-1)});
  EXPECT_EQ(unparsed.result, OCI_ERROR);
  EXPECT_EQ(unparsed.long_at(7), -1);
  ASSERT_EQ(host().method_calls().size(), 2u);
  EXPECT_EQ(handler_args(host().method_calls()[1]).handle, err);
}

TEST_F(NumberDate, TimesCrossAsSecondsOfTheDay) {
  // 3661 seconds pass as 01:01:01 and come back unchanged.
  auto same = host().call(155, {long_param(err), date_param(1, 7, 2004), long_param(3661), string_param("EST"),
                                string_param("EST"), date_param(0, 0, 0), long_param(-1)});
  EXPECT_EQ(same.result, OCI_SUCCESS);
  EXPECT_EQ(same.long_at(7), 3661);
  auto late = host().call(155, {long_param(err), date_param(1, 7, 2004), long_param(18 * 3600 + 3599),
                                string_param("EST"), string_param("GMT"), date_param(0, 0, 0), long_param(-1)});
  EXPECT_EQ(late.long_at(7), 86399);
  EXPECT_EQ(ymd(late, 6), "2004-07-01");
  // 86400 seconds make hour 24, which OCI refuses.
  auto midnight = host().call(155, {long_param(err), date_param(1, 7, 2004), long_param(86400), string_param("EST"),
                                    string_param("GMT"), date_param(0, 0, 0), long_param(-1)});
  EXPECT_EQ(midnight.result, OCI_ERROR);

  auto parsed = host().call(160, {long_param(err), string_param("2004-07-01 09:05:07"),
                                  string_param("YYYY-MM-DD HH24:MI:SS"), string_param(""),
                                  emu::raw_param({}), date_param(0, 0, 0), long_param(-1)});
  EXPECT_EQ(parsed.result, OCI_SUCCESS);
  EXPECT_EQ(ymd(parsed, 6), "2004-07-01");
  EXPECT_EQ(parsed.long_at(7), 32707);
  auto text = host().call(156, {long_param(err), date_param(1, 7, 2004), long_param(32707),
                                string_param("FMDay, Month DD, YYYY HH:MI:SS AM"), string_param(""),
                                string_param("")});
  EXPECT_EQ(text.result, OCI_SUCCESS);
  EXPECT_EQ(text.string_at(6), "Thursday, July 1, 2004 9:5:7 AM");

  auto now = host().call(157, {long_param(err), date_param(0, 0, 0), long_param(-1)});
  EXPECT_EQ(now.result, OCI_SUCCESS);
  EXPECT_GE(now.long_at(3), 0);
  EXPECT_LE(now.long_at(3), 86399);
  int16_t d, m, y;
  now.date_at(2, &d, &m, &y);
  std::time_t t = std::time(nullptr);
  std::tm *local = std::localtime(&t);
  EXPECT_EQ(y, local->tm_year + 1900);
}

}  // namespace
}  // namespace zorvan::test
