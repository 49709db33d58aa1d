// Oracle DATE: the calendar from 4712 BC to 9999 AD (Julian before
// 1582-10-15, Gregorian from then on, no year 0 in a valid date), date
// arithmetic, NEW_TIME's zones and Oracle's date format models. Pure
// computation, usable wherever a DATE value appears. Functions return 0
// or the ORA code of the failure.
#pragma once

#include <string>

namespace zec::oracle {

struct Date {
  int year = 1;  // -4712 ... 9999, never 0; negative years are BC
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  long fraction = 0;  // nanoseconds, for TIMESTAMP; DATE has none
};

// 0 when every field is in range, else the ORA code for the first that is not.
int check(const Date &d);
// Oracle's Julian day: 1 is 1 January 4712 BC; 2451545 is 1 January 2000.
// Julian days of the dates Oracle has: 1 (4712 BC) to 31 December 9999,
// with no year 0 between 1 BC and 1 AD.
inline constexpr long kFirstDayAD = 1721424;  // 0001-01-01
inline constexpr long kLastDayBC = 1721058;   // 31 December 1 BC
inline constexpr long kLastDay = 5373484;     // 9999-12-31
inline bool valid_julian_day(long j) { return j >= 1 && j <= kLastDay && (j <= kLastDayBC || j >= kFirstDayAD); }

long julian_day(const Date &d);
int from_julian_day(long j, Date *out);  // keeps out's time of day
int days_in_month(int year, int month);
// 1 = Sunday ... 7 = Saturday.
int day_of_week(const Date &d);

int add_days(const Date &d, long days, Date *out);
int add_months(const Date &d, long months, Date *out);
int last_day(const Date &d, Date *out);
int next_day(const Date &d, const std::string &day_name, Date *out);
int zone_to_zone(const Date &d, const std::string &from_zone, const std::string &to_zone, Date *out);
Date system_date();

// Format models: an empty format is DD-MON-YY; an empty language is
// AMERICAN. `now` gives the defaults of fields the text does not name.
// FF1 ... FF9 are fractional seconds to that many digits (FF: 6), X the
// decimal point before them.
int to_text(const Date &d, const std::string &format, const std::string &language, std::string *out);
int from_text(const std::string &text, const std::string &format, const std::string &language,
              const Date &now, Date *out);

}  // namespace zec::oracle
