// Oracle DATE in the embedded client: the calendar, its arithmetic, the
// zones of NEW_TIME and the date format models both ways.
#include <gtest/gtest.h>

#include <climits>

#include <string>

#include "src/oracle/date.h"

namespace zec::oracle {
namespace {

Date date(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0) { return Date{y, m, d, hh, mi, ss}; }

std::string iso(const Date &d) {
  char text[40];
  std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                d.minute, d.second);
  return text;
}

TEST(DateCalendar, JulianDaysAndTheGregorianSwitch) {
  EXPECT_EQ(julian_day(date(2000, 1, 1)), 2451545);
  EXPECT_EQ(julian_day(date(2004, 7, 1)), 2453188);
  EXPECT_EQ(julian_day(date(-4712, 1, 1)), 1);
  EXPECT_EQ(julian_day(date(1, 1, 1)), 1721424);
  EXPECT_EQ(julian_day(date(1582, 10, 15)) - julian_day(date(1582, 10, 4)), 1);
  for (long j : {1L, 366L, 1721058L, 1721424L, 2299160L, 2299161L, 2451545L, 5373484L}) {
    Date d;
    ASSERT_EQ(from_julian_day(j, &d), 0) << j;
    EXPECT_EQ(julian_day(d), j) << iso(d);
  }
  Date d;
  EXPECT_EQ(from_julian_day(1721300, &d), 1841);  // there is no year 0
  EXPECT_EQ(check(date(1582, 10, 10)), 1839);
  EXPECT_EQ(check(date(1900, 2, 29)), 1847);
  EXPECT_EQ(check(date(2000, 2, 29)), 0);
  EXPECT_EQ(check(date(1500, 2, 29)), 0);  // Julian leap year
  EXPECT_EQ(check(date(0, 1, 1)), 1841);
  EXPECT_EQ(check(date(2004, 7, 1, 24)), 1850);
  EXPECT_EQ(day_of_week(date(2004, 7, 1)), 5);  // Thursday
}

TEST(DateCalendar, AddMonthsKeepsTheEndOfTheMonth) {
  struct Case {
    Date from;
    int months;
    Date to;
  };
  const Case cases[] = {
      {date(2004, 1, 31), 1, date(2004, 2, 29)},   {date(2003, 1, 31), 1, date(2003, 2, 28)},
      {date(2004, 4, 30), 1, date(2004, 5, 31)},   {date(2003, 2, 28), 1, date(2003, 3, 31)},
      {date(2004, 11, 30), -3, date(2004, 8, 31)}, {date(2004, 2, 28), 1, date(2004, 3, 28)},
      {date(2004, 2, 29), 12, date(2005, 2, 28)},  {date(2004, 5, 31), -1, date(2004, 4, 30)},
      {date(2004, 1, 15, 10, 30), 1, date(2004, 2, 15, 10, 30)},
      {date(1, 1, 15), -1, date(-1, 12, 15)},      {date(1999, 12, 31), 2, date(2000, 2, 29)},
  };
  for (const Case &c : cases) {
    Date r;
    ASSERT_EQ(add_months(c.from, c.months, &r), 0) << iso(c.from);
    EXPECT_EQ(iso(r), iso(c.to)) << iso(c.from) << " + " << c.months;
  }
}

TEST(DateCalendar, CountsAtTheEndsOfALongAreOutOfRange) {
  Date r = date(2000, 1, 1);
  for (long n : {LONG_MAX, LONG_MIN, LONG_MAX - 10, LONG_MIN + 10}) {
    EXPECT_EQ(add_days(date(2004, 2, 28), n, &r), 1841) << n;
    EXPECT_EQ(add_months(date(2004, 2, 28), n, &r), 1841) << n;
  }
  EXPECT_EQ(iso(r), iso(date(2000, 1, 1)));  // untouched
  EXPECT_EQ(add_days(date(9999, 12, 31), 1, &r), 1841);
  EXPECT_EQ(add_months(date(9999, 12, 31), 1, &r), 1841);
}

TEST(DateCalendar, DaysLastDayAndNextDay) {
  Date r;
  add_days(date(2004, 2, 28), 1, &r);
  EXPECT_EQ(iso(r), iso(date(2004, 2, 29)));
  add_days(date(2004, 2, 28), 2, &r);
  EXPECT_EQ(iso(r), iso(date(2004, 3, 1)));
  add_days(date(1900, 3, 1), -1, &r);
  EXPECT_EQ(iso(r), iso(date(1900, 2, 28)));
  add_days(date(1582, 10, 15), -1, &r);
  EXPECT_EQ(iso(r), iso(date(1582, 10, 4)));
  last_day(date(2004, 2, 10), &r);
  EXPECT_EQ(r.day, 29);
  last_day(date(1900, 2, 10), &r);
  EXPECT_EQ(r.day, 28);

  Date thursday = date(2004, 7, 1, 9, 5, 7);
  ASSERT_EQ(next_day(thursday, "THURSDAY", &r), 0);
  EXPECT_EQ(iso(r), iso(date(2004, 7, 8, 9, 5, 7)));
  for (const char *name : {"FRIDAY", "fri", "Friday", "FRIxyz"}) {
    ASSERT_EQ(next_day(thursday, name, &r), 0) << name;
    EXPECT_EQ(iso(r), iso(date(2004, 7, 2, 9, 5, 7))) << name;
  }
  EXPECT_EQ(next_day(thursday, "FR", &r), 1846);
  EXPECT_EQ(next_day(thursday, "Freitag", &r), 1846);
  // Across a year's end.
  ASSERT_EQ(next_day(date(2004, 12, 31), "MONDAY", &r), 0);
  EXPECT_EQ(iso(r), iso(date(2005, 1, 3)));
}

TEST(DateCalendar, ZonesOfNewTime) {
  Date r;
  ASSERT_EQ(zone_to_zone(date(2009, 11, 10, 1, 23, 45), "AST", "PST", &r), 0);
  EXPECT_EQ(iso(r), iso(date(2009, 11, 9, 21, 23, 45)));
  ASSERT_EQ(zone_to_zone(date(2004, 7, 1, 12), "EST", "GMT", &r), 0);
  EXPECT_EQ(iso(r), iso(date(2004, 7, 1, 17)));
  ASSERT_EQ(zone_to_zone(date(2004, 7, 1), "nst", "gmt", &r), 0);
  EXPECT_EQ(iso(r), iso(date(2004, 7, 1, 3, 30)));
  EXPECT_EQ(zone_to_zone(date(2004, 7, 1), "CET", "GMT", &r), 1857);
  EXPECT_EQ(zone_to_zone(date(2004, 7, 1, 24), "EST", "GMT", &r), 1850);
}

TEST(DateText, FormatElementsOut) {
  const Date d1 = date(2004, 7, 1, 9, 5, 7);
  const Date d2 = date(1999, 12, 31, 23, 59, 59);
  const Date d3 = date(2004, 2, 29, 14, 30, 15);
  struct Case {
    Date d;
    const char *format, *text;
  };
  const Case cases[] = {
      {d1, "", "01-JUL-04"},
      {d1, "DD-MON-YYYY", "01-JUL-2004"},
      {d1, "DD-Mon-YYYY", "01-Jul-2004"},
      {d1, "dd-mon-yyyy", "01-jul-2004"},
      {d1, "YYYY-MM-DD HH24:MI:SS", "2004-07-01 09:05:07"},
      {d1, "Month DD, YYYY", "July      01, 2004"},
      {d1, "FMMonth DD, YYYY", "July 1, 2004"},
      {d1, "MONTH", "JULY     "},
      {d1, "DAY", "THURSDAY "},
      {d2, "Day", "Friday   "},
      {d1, "DY", "THU"},
      {d1, "Dy", "Thu"},
      {d1, "D", "5"},
      {d3, "D", "1"},
      {d1, "DDD", "183"},
      {d3, "DDD", "060"},
      {d1, "HH:MI:SS AM", "09:05:07 AM"},
      {d2, "HH:MI:SS AM", "11:59:59 PM"},
      {d3, "HH12:MI P.M.", "02:30 P.M."},
      {d3, "HH24", "14"},
      {d3, "HH", "02"},
      {d1, "SSSSS", "32707"},
      {d2, "SSSSS", "86399"},
      {d1, "J", "2453188"},
      {date(2000, 1, 1), "J", "2451545"},
      {d2, "YY", "99"},
      {d2, "RR", "99"},
      {d1, "\"Day \"DDD\" of \"YYYY", "Day 183 of 2004"},
      {d1, "DD.MM.YYYY", "01.07.2004"},
      {d1, "MM/DD/YY", "07/01/04"},
      {d1, "FMDD-MM-YYYY", "1-7-2004"},
      {d1, "FMDD-FMMM-YYYY", "1-07-2004"},
      {d1, "Q", "3"},
      {date(5, 3, 4), "YYYY", "0005"},
      {date(5, 3, 4), "FMYYYY", "5"},
      {date(2004, 7, 1, 0, 30), "HH12:MI AM", "12:30 AM"},
      {date(-4712, 1, 1), "SYYYY-MM-DD", "-4712-01-01"},
      {date(-4712, 1, 1), "YYYY BC", "4712 BC"},
      // Ordinal and spelled suffixes, in the case the format writes them.
      {d1, "DDTH", "01ST"},
      {d1, "DDth", "01st"},
      {d1, "DDSP", "ONE"},
      {d1, "Ddsp", "One"},
      {d1, "DDSPTH", "FIRST"},
      {d3, "fmDDth", "29th"},
      {d3, "DDSPTH", "TWENTY-NINTH"},
      {d3, "DdSpTh", "Twenty-Ninth"},
      {date(2004, 7, 12), "DDTH", "12TH"},
      {date(2004, 7, 22), "DDTH", "22ND"},
      {date(2004, 7, 23), "DDSPTH", "TWENTY-THIRD"},
      {d1, "YYYYSP", "TWO THOUSAND FOUR"},
      {d2, "DDDSPTH", "THREE HUNDRED SIXTY-FIFTH"},
      {d1, "JSP", "TWO MILLION FOUR HUNDRED FIFTY-THREE THOUSAND ONE HUNDRED EIGHTY-EIGHT"},
      {date(2004, 7, 20), "fmDdspth \"of\" Month", "Twentieth of July"},
  };
  for (const Case &c : cases) {
    std::string text;
    ASSERT_EQ(to_text(c.d, c.format, "", &text), 0) << c.format;
    EXPECT_EQ(text, c.text) << c.format;
  }
  std::string text;
  EXPECT_EQ(to_text(d1, "DD-ZZ-YYYY", "", &text), 1821);
  EXPECT_EQ(to_text(d1, "DD", "KLINGON", &text), 12702);
}

TEST(DateText, FormatElementsIn) {
  const Date now = date(2025, 6, 15, 10, 0, 0);
  struct Case {
    const char *text, *format;
    Date expected;
  };
  const Case cases[] = {
      {"01-JUL-04", "", date(2004, 7, 1)},
      {"01-JUL-99", "", date(2099, 7, 1)},
      {"01-JUL-99", "DD-MON-RR", date(1999, 7, 1)},
      {"01-JUL-49", "DD-MON-RR", date(2049, 7, 1)},
      {"01-July-2004", "DD-MON-YYYY", date(2004, 7, 1)},
      {"01-jul-2004", "DD-MON-YYYY", date(2004, 7, 1)},
      {"1/7/2004", "DD-MM-YYYY", date(2004, 7, 1)},
      {"2004-07-01 09:05:07", "YYYY-MM-DD HH24:MI:SS", date(2004, 7, 1, 9, 5, 7)},
      {"09:05 pm", "HH:MI AM", date(2025, 6, 1, 21, 5)},
      {"2453188", "J", date(2004, 7, 1)},
      {"32707", "SSSSS", date(2025, 6, 1, 9, 5, 7)},
      {"2004-07-01", "YYYY-MM-DD HH24:MI:SS", date(2004, 7, 1)},
      {"FRIDAY 02-07-2004", "DAY DD-MM-YYYY", date(2004, 7, 2)},
      {"4712-01-01 BC", "YYYY-MM-DD BC", date(-4712, 1, 1)},
      {"1st July 2004", "DDTH Month YYYY", date(2004, 7, 1)},
  };
  for (const Case &c : cases) {
    Date r;
    ASSERT_EQ(from_text(c.text, c.format, "", now, &r), 0) << c.text << " / " << c.format;
    EXPECT_EQ(iso(r), iso(c.expected)) << c.text << " / " << c.format;
  }
  struct Bad {
    const char *text, *format;
    int code;
  };
  const Bad bad[] = {
      {"13/01/2004", "MM/DD/YYYY", 1843},       {"01-JUX-2004", "DD-MON-YYYY", 1843},
      {"32-01-2004", "DD-MM-YYYY", 1847},       {"30-02-2004", "DD-MM-YYYY", 1839},
      {"AB-01-2004", "DD-MM-YYYY", 1858},       {"01-01-2004 10:00", "DD-MM-YYYY", 1830},
      {"25:00", "HH24:MI", 1850},               {"13:00", "HH:MI", 1849},
      {"10:60", "HH24:MI", 1851},               {"10:00:61", "HH24:MI:SS", 1852},
      {"0000-01-01", "YYYY-MM-DD", 1841},       {"01-01-2004", "DD-QQ-YYYY", 1821},
      {"2004-07-01T09", "YYYY-MM-DD HH24", 1861}, {"THURSDAY 02-07-2004", "DAY DD-MM-YYYY", 1835},
  };
  for (const Bad &b : bad) {
    Date r;
    EXPECT_EQ(from_text(b.text, b.format, "", now, &r), b.code) << b.text << " / " << b.format;
  }
}

TEST(DateText, EveryElementRoundTrips) {
  const Date now = date(2025, 6, 15);
  for (const char *format : {"YYYY-MM-DD HH24:MI:SS", "DD-MON-YYYY HH:MI:SS AM", "J SSSSS",
                             "YYYY/MM/DD HH12.MI.SS P.M.", "DD-MM-RR HH24:MI",
                             "FMMonth DD, YYYY HH24:MI", "DY DD.MM.RRRR", "\"on \"DD/MM/YYYY"}) {
    for (Date d : {date(2004, 7, 1, 9, 5, 7), date(1999, 12, 31, 23, 59, 0), date(2024, 2, 29, 0, 0, 0)}) {
      std::string text;
      ASSERT_EQ(to_text(d, format, "", &text), 0) << format;
      Date back;
      ASSERT_EQ(from_text(text, format, "", now, &back), 0) << text << " / " << format;
      // Fields the format does not carry come back as their defaults.
      std::string f = format;
      bool whole_time = f.find("SSSSS") != std::string::npos;
      if (!whole_time && f.find("HH") == std::string::npos) d.hour = 0;
      if (!whole_time && f.find("MI") == std::string::npos) d.minute = 0;
      if (!whole_time && f.find("SS") == std::string::npos) d.second = 0;
      EXPECT_EQ(iso(back), iso(d)) << text << " / " << format;
    }
  }
}

}  // namespace
}  // namespace zec::oracle
