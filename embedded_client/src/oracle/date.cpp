#include "src/oracle/date.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace zec::oracle {
namespace {

constexpr long kFirstGregorianDay = 2299161;  // 1582-10-15

const char *const kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                               "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char *const kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

struct Zone {
  const char *name;
  int minutes;  // offset from GMT
};
constexpr Zone kZones[] = {{"AST", -240}, {"ADT", -180}, {"BST", -660}, {"BDT", -600}, {"CST", -360},
                           {"CDT", -300}, {"EST", -300}, {"EDT", -240}, {"GMT", 0},    {"HST", -600},
                           {"HDT", -540}, {"MST", -420}, {"MDT", -360}, {"NST", -210}, {"PST", -480},
                           {"PDT", -420}, {"YST", -540}, {"YDT", -480}};

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool leap(int year) {
  if (year > 1582) return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return year % 4 == 0;  // Julian, BC years counted as Oracle counts them
}

long julian_calendar_day(long a, int m, int d) {
  long shift = (14 - m) / 12;
  long y = a + 4800 - shift;
  long mm = m + 12 * shift - 3;
  return d + (153 * mm + 2) / 5 + 365 * y + y / 4 - 32083;
}

long gregorian_calendar_day(long a, int m, int d) {
  long shift = (14 - m) / 12;
  long y = a + 4800 - shift;
  long mm = m + 12 * shift - 3;
  return d + (153 * mm + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void julian_calendar_date(long jdn, long *y, int *m, int *d) {
  long c = jdn + 32082;
  long dd = (4 * c + 3) / 1461;
  long e = c - 1461 * dd / 4;
  long mm = (5 * e + 2) / 153;
  *d = static_cast<int>(e - (153 * mm + 2) / 5 + 1);
  *m = static_cast<int>(mm + 3 - 12 * (mm / 10));
  *y = dd - 4800 + mm / 10;
}

void gregorian_calendar_date(long jdn, long *y, int *m, int *d) {
  long a = jdn + 32044;
  long b = (4 * a + 3) / 146097;
  long c = a - 146097 * b / 4;
  long dd = (4 * c + 3) / 1461;
  long e = c - 1461 * dd / 4;
  long mm = (5 * e + 2) / 153;
  *d = static_cast<int>(e - (153 * mm + 2) / 5 + 1);
  *m = static_cast<int>(mm + 3 - 12 * (mm / 10));
  *y = 100 * b + dd - 4800 + mm / 10;
}

// Names by their first three letters, or in full.
int month_index(const std::string &name, size_t *length) {
  std::string u = upper(name);
  for (int i = 0; i < 12; ++i) {
    size_t full = std::strlen(kMonths[i]);
    if (u.compare(0, full, kMonths[i]) == 0) {
      *length = full;
      return i + 1;
    }
  }
  for (int i = 0; i < 12; ++i)
    if (u.size() >= 3 && u.compare(0, 3, kMonths[i], 3) == 0) {
      *length = 3;
      return i + 1;
    }
  return 0;
}

int day_index(const std::string &name, size_t *length) {
  std::string u = upper(name);
  for (int i = 0; i < 7; ++i) {
    size_t full = std::strlen(kDays[i]);
    if (u.compare(0, full, kDays[i]) == 0) {
      *length = full;
      return i + 1;
    }
  }
  for (int i = 0; i < 7; ++i)
    if (u.size() >= 3 && u.compare(0, 3, kDays[i], 3) == 0) {
      *length = 3;
      return i + 1;
    }
  return 0;
}

bool known_language(const std::string &language) {
  std::string u = upper(language);
  return u.empty() || u == "AMERICAN" || u == "ENGLISH";
}

// The case of a name follows the element's: "MON" JAN, "Mon" Jan, "mon" jan.
std::string cased(const std::string &upper_name, const std::string &element) {
  if (std::islower(static_cast<unsigned char>(element[0]))) {
    std::string s = upper_name;
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  if (element.size() > 1 && std::islower(static_cast<unsigned char>(element[1]))) {
    std::string s = upper_name;
    for (size_t i = 1; i < s.size(); ++i) s[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    return s;
  }
  return upper_name;
}

// The format elements, longest first so that a prefix never wins.
const char *const kElements[] = {"SYYYY", "SSSSS", "Y,YYY", "MONTH", "YYYY", "RRRR", "HH24", "HH12",
                                 "FF1",   "FF2",   "FF3",   "FF4",   "FF5",  "FF6",  "FF7",  "FF8",
                                 "FF9",   "FF",    "X",
                                 "A.M.",  "P.M.",  "A.D.",  "B.C.",  "YYY",  "MON",  "DAY",  "DDD",
                                 "SCC",   "YY",    "RR",    "MM",    "DD",   "DY",   "HH",   "MI",
                                 "SS",    "AM",    "PM",    "AD",    "BC",   "FM",   "FX",   "CC",
                                 "WW",    "IW",    "Y",     "D",     "J",    "Q",    "W"};

struct Element {
  std::string name;     // upper case, or a literal
  std::string written;  // as the format wrote it
  bool literal;
  std::string suffix;   // TH, SP or SPTH after a number, as written
};

bool numeric_element(const std::string &n) {
  static const char *const kNumeric[] = {"YYYY", "RRRR", "YYY", "YY", "RR", "Y",  "MM", "DD", "DDD", "D",
                                         "HH",   "HH12", "HH24", "MI", "SS", "SSSSS", "J", "Q", "CC",
                                         "SCC",  "WW",   "W",   "IW"};
  for (const char *e : kNumeric)
    if (n == e) return true;
  return false;
}

// Splits a format into elements and literal text; false for an unknown element.
bool read_format(const std::string &format, std::vector<Element> *out) {
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c == '"') {
      size_t close = format.find('"', i + 1);
      if (close == std::string::npos) return false;
      out->push_back({format.substr(i + 1, close - i - 1), "", true, ""});
      i = close + 1;
      continue;
    }
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      if (std::strchr("-/,.;: ", c) == nullptr) return false;
      out->push_back({std::string(1, c), "", true, ""});
      ++i;
      continue;
    }
    bool found = false;
    for (const char *e : kElements) {
      size_t n = std::strlen(e);
      if (format.size() - i >= n && upper(format.substr(i, n)) == e) {
        out->push_back({e, format.substr(i, n), false, ""});
        i += n;
        found = true;
        if (numeric_element(e)) {
          for (const char *suffix : {"SPTH", "THSP", "SP", "TH"}) {
            size_t k = std::strlen(suffix);
            if (format.size() - i >= k && upper(format.substr(i, k)) == suffix) {
              out->back().suffix = format.substr(i, k);
              i += k;
              break;
            }
          }
        }
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

// Zero-padded to the element's width, or bare in fill mode.
std::string number_text(long value, int width, bool fill) {
  char buffer[32];
  if (fill) std::snprintf(buffer, sizeof buffer, "%ld", value);
  else std::snprintf(buffer, sizeof buffer, "%0*ld", width, value);
  return buffer;
}

// A number in English words, as SP spells it: TWENTY-ONE, ONE HUNDRED TWO.
std::string spelled(long n) {
  static const char *const kOnes[] = {"ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",
                                      "FIVE",    "SIX",     "SEVEN",     "EIGHT",    "NINE",
                                      "TEN",     "ELEVEN",  "TWELVE",    "THIRTEEN", "FOURTEEN",
                                      "FIFTEEN", "SIXTEEN", "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
  static const char *const kTens[] = {"", "", "TWENTY", "THIRTY", "FORTY", "FIFTY", "SIXTY", "SEVENTY",
                                      "EIGHTY", "NINETY"};
  if (n < 20) return kOnes[n];
  if (n < 100) return std::string(kTens[n / 10]) + (n % 10 ? std::string("-") + kOnes[n % 10] : "");
  struct Scale {
    long size;
    const char *name;
  };
  for (Scale sc : {Scale{1000000, " MILLION"}, Scale{1000, " THOUSAND"}, Scale{100, " HUNDRED"}}) {
    if (n >= sc.size) {
      std::string words = spelled(n / sc.size) + sc.name;
      return n % sc.size ? words + " " + spelled(n % sc.size) : words;
    }
  }
  return "";
}

// The ordinal of spelled words: the last word changes, TWENTY-ONE to
// TWENTY-FIRST.
std::string spelled_ordinal(const std::string &words) {
  static const struct {
    const char *cardinal;
    const char *ordinal;
  } kIrregular[] = {{"ONE", "FIRST"}, {"TWO", "SECOND"}, {"THREE", "THIRD"},   {"FIVE", "FIFTH"},
                    {"EIGHT", "EIGHTH"}, {"NINE", "NINTH"}, {"TWELVE", "TWELFTH"}};
  size_t start = words.find_last_of(" -");
  start = start == std::string::npos ? 0 : start + 1;
  std::string last = words.substr(start);
  std::string head = words.substr(0, start);
  for (const auto &w : kIrregular)
    if (last == w.cardinal) return head + w.ordinal;
  if (last.back() == 'Y') return head + last.substr(0, last.size() - 1) + "IETH";
  return head + last + "TH";
}

// English ordinal letters of a number: 1ST, 2ND, 3RD, 11TH.
const char *ordinal_letters(long n) {
  if (n % 100 >= 11 && n % 100 <= 13) return "TH";
  switch (n % 10) {
    case 1: return "ST";
    case 2: return "ND";
    case 3: return "RD";
    default: return "TH";
  }
}

// Upper-case text in the case of the element that made it: "dd" lower,
// "Dd" each word capitalised, "DD" upper.
std::string in_case_of(const std::string &text, const std::string &element) {
  bool lower_first = std::islower(static_cast<unsigned char>(element[0])) != 0;
  bool lower_rest = element.size() > 1 && std::islower(static_cast<unsigned char>(element[1]));
  if (!lower_first && !lower_rest) return text;
  std::string s = text;
  bool word_start = true;
  for (char &c : s) {
    bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
    if (letter && !(word_start && !lower_first)) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    word_start = !letter;
  }
  return s;
}

// A numeric element's text with its suffix: 01ST, ONE, FIRST.
std::string suffixed(const Element &e, long value, int width, bool fill) {
  std::string u = upper(e.suffix);
  if (u.empty()) return number_text(value, width, fill);
  if (u == "TH") {
    std::string letters = ordinal_letters(value);
    if (std::islower(static_cast<unsigned char>(e.suffix[0]))) letters = in_case_of(letters, "x");
    return number_text(value, width, fill) + letters;
  }
  std::string words = spelled(value);
  if (u != "SP") words = spelled_ordinal(words);
  return in_case_of(words, e.written);
}

int day_of_year(const Date &d) {
  Date first = d;
  first.month = 1;
  first.day = 1;
  return static_cast<int>(julian_day(d) - julian_day(first)) + 1;
}

}  // namespace

int days_in_month(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && leap(year) ? 29 : days[month - 1];
}

int check(const Date &d) {
  if (d.year < -4712 || d.year > 9999 || d.year == 0) return 1841;
  if (d.month < 1 || d.month > 12) return 1843;
  if (d.day < 1 || d.day > days_in_month(d.year, d.month)) return 1847;
  if (d.year == 1582 && d.month == 10 && d.day > 4 && d.day < 15) return 1839;
  if (d.hour < 0 || d.hour > 23) return 1850;
  if (d.minute < 0 || d.minute > 59) return 1851;
  if (d.second < 0 || d.second > 59) return 1852;
  return 0;
}

long julian_day(const Date &d) {
  if (d.year < 0) return julian_calendar_day(d.year, d.month, d.day) + 1;
  if (d.year < 1582 || (d.year == 1582 && (d.month < 10 || (d.month == 10 && d.day < 15))))
    return julian_calendar_day(d.year, d.month, d.day);
  return gregorian_calendar_day(d.year, d.month, d.day);
}

int from_julian_day(long j, Date *out) {
  if (!valid_julian_day(j)) return 1841;
  long year;
  int month;
  int day;
  if (j >= kFirstGregorianDay) gregorian_calendar_date(j, &year, &month, &day);
  else if (j >= kFirstDayAD) julian_calendar_date(j, &year, &month, &day);
  else julian_calendar_date(j - 1, &year, &month, &day);
  out->year = static_cast<int>(year);
  out->month = month;
  out->day = day;
  return 0;
}

int day_of_week(const Date &d) { return static_cast<int>((julian_day(d) + 1) % 7) + 1; }

int add_days(const Date &d, long days, Date *out) {
  if (int bad = check(d)) return bad;
  Date r = d;
  // In 64 bits, so that any long count of days lands in or out of range.
  int64_t j = int64_t{julian_day(d)} + days;
  if (j < 1 || j > kLastDay) return 1841;
  if (int bad = from_julian_day(static_cast<long>(j), &r)) return bad;
  *out = r;
  return 0;
}

int add_months(const Date &d, long months, Date *out) {
  if (int bad = check(d)) return bad;
  bool last = d.day == days_in_month(d.year, d.month);
  // Years as a continuous count, with no year 0 between 1 BC and 1 AD.
  int64_t year = d.year > 0 ? d.year : d.year + 1;
  int64_t index = year * 12 + (d.month - 1) + months;  // 64 bits: any long count of months
  int64_t new_year = index >= 0 ? index / 12 : -((-index + 11) / 12);
  int new_month = static_cast<int>(index - new_year * 12) + 1;
  if (new_year <= 0) --new_year;
  if (new_year < -4712 || new_year > 9999) return 1841;
  Date r = d;
  r.year = static_cast<int>(new_year);
  r.month = new_month;
  int limit = days_in_month(r.year, r.month);
  r.day = last || d.day > limit ? limit : d.day;
  if (int bad = check(r)) return bad;
  *out = r;
  return 0;
}

int last_day(const Date &d, Date *out) {
  if (int bad = check(d)) return bad;
  Date r = d;
  r.day = days_in_month(d.year, d.month);
  *out = r;
  return 0;
}

int next_day(const Date &d, const std::string &day_name, Date *out) {
  if (int bad = check(d)) return bad;
  std::string name = upper(day_name);
  int target = 0;
  for (int i = 0; i < 7; ++i)
    if (name.size() >= 3 && name.compare(0, 3, kDays[i], 3) == 0) target = i + 1;
  if (target == 0) return 1846;
  int delta = (target - day_of_week(d) + 7) % 7;
  return add_days(d, delta == 0 ? 7 : delta, out);
}

int zone_to_zone(const Date &d, const std::string &from_zone, const std::string &to_zone, Date *out) {
  if (int bad = check(d)) return bad;
  const Zone *from = nullptr;
  const Zone *to = nullptr;
  for (const Zone &z : kZones) {
    if (upper(from_zone) == z.name) from = &z;
    if (upper(to_zone) == z.name) to = &z;
  }
  if (from == nullptr || to == nullptr) return 1857;
  long long minutes = julian_day(d) * 1440LL + d.hour * 60 + d.minute + (to->minutes - from->minutes);
  Date r = d;
  if (int bad = from_julian_day(static_cast<long>(minutes / 1440), &r)) return bad;
  r.hour = static_cast<int>((minutes % 1440) / 60);
  r.minute = static_cast<int>(minutes % 60);
  *out = r;
  return 0;
}

Date system_date() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

int to_text(const Date &d, const std::string &format_text, const std::string &language, std::string *out) {
  if (!known_language(language)) return 12702;
  if (int bad = check(d)) return bad;
  std::vector<Element> elements;
  if (!read_format(format_text.empty() ? "DD-MON-YY" : format_text, &elements)) return 1821;
  bool fill = false;
  std::string s;
  long year = d.year < 0 ? -d.year : d.year;
  int hour12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
  for (const Element &e : elements) {
    if (e.literal) {
      s += e.name;
      continue;
    }
    const std::string &n = e.name;
    if (n == "FM") fill = !fill;
    else if (n == "FX") continue;
    else if (n == "YYYY" || n == "RRRR") s += suffixed(e, year, 4, fill);
    else if (n == "SYYYY") {
      s += d.year < 0 ? '-' : ' ';
      s += suffixed(e, year, 4, fill);
    }
    else if (n == "Y,YYY") {
      std::string y = suffixed(e, year, 4, false);
      s += y.substr(0, 1) + "," + y.substr(1);
    } else if (n == "YYY") s += suffixed(e, year % 1000, 3, fill);
    else if (n == "YY" || n == "RR") s += suffixed(e, year % 100, 2, fill);
    else if (n == "Y") s += suffixed(e, year % 10, 1, fill);
    else if (n == "MM") s += suffixed(e, d.month, 2, fill);
    else if (n == "MON") s += cased(std::string(kMonths[d.month - 1], 3), e.written);
    else if (n == "MONTH") {
      std::string name = cased(kMonths[d.month - 1], e.written);
      if (!fill) name.resize(9, ' ');
      s += name;
    } else if (n == "DD") s += suffixed(e, d.day, 2, fill);
    else if (n == "DDD") s += suffixed(e, day_of_year(d), 3, fill);
    else if (n == "D") s += suffixed(e, day_of_week(d), 1, fill);
    else if (n == "DY") s += cased(std::string(kDays[day_of_week(d) - 1], 3), e.written);
    else if (n == "DAY") {
      std::string name = cased(kDays[day_of_week(d) - 1], e.written);
      if (!fill) name.resize(9, ' ');
      s += name;
    } else if (n == "HH" || n == "HH12") s += suffixed(e, hour12, 2, fill);
    else if (n == "HH24") s += suffixed(e, d.hour, 2, fill);
    else if (n == "MI") s += suffixed(e, d.minute, 2, fill);
    else if (n == "SS") s += suffixed(e, d.second, 2, fill);
    else if (n == "SSSSS") s += suffixed(e, d.hour * 3600L + d.minute * 60L + d.second, 5, fill);
    else if (n.rfind("FF", 0) == 0) {
      // Fractional seconds, cut to the digits asked for.
      int digits = n.size() == 3 ? n[2] - '0' : 6;
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%09ld", d.fraction < 0 ? 0L : d.fraction % 1000000000L);
      s += std::string(buffer, static_cast<size_t>(digits));
    } else if (n == "X") s += '.';
    else if (n == "AM" || n == "PM") s += cased(d.hour < 12 ? "AM" : "PM", e.written);
    else if (n == "A.M." || n == "P.M.") s += cased(d.hour < 12 ? "A.M." : "P.M.", e.written);
    else if (n == "AD" || n == "BC") s += cased(d.year < 0 ? "BC" : "AD", e.written);
    else if (n == "A.D." || n == "B.C.") s += cased(d.year < 0 ? "B.C." : "A.D.", e.written);
    else if (n == "J") s += suffixed(e, julian_day(d), 7, fill);
    else if (n == "Q") s += suffixed(e, (d.month - 1) / 3 + 1, 1, fill);
    else if (n == "CC" || n == "SCC") s += suffixed(e, (year - 1) / 100 + 1, 2, fill);
    else if (n == "WW") s += suffixed(e, (day_of_year(d) - 1) / 7 + 1, 2, fill);
    else if (n == "W") s += suffixed(e, (d.day - 1) / 7 + 1, 1, fill);
    else if (n == "IW") {
      // ISO week: the week with the year's first Thursday is week 1.
      int weekday = (day_of_week(d) + 5) % 7;  // Monday 0
      long thursday = julian_day(d) - weekday + 3;
      Date t;
      from_julian_day(thursday, &t);
      Date first = t;
      first.month = 1;
      first.day = 1;
      s += suffixed(e, (thursday - julian_day(first)) / 7 + 1, 2, fill);
    }
  }
  *out = s;
  return 0;
}

int from_text(const std::string &text, const std::string &format_text, const std::string &language,
              const Date &now, Date *out) {
  if (!known_language(language)) return 12702;
  std::vector<Element> elements;
  if (!read_format(format_text.empty() ? "DD-MON-YY" : format_text, &elements)) return 1821;
  Date r;
  r.year = now.year;
  r.month = now.month;
  r.day = 1;
  long julian = -1;
  long seconds_of_day = -1;
  int hour12 = -1;
  int meridian = -1;  // 0 AM, 1 PM
  bool bc = false;
  int weekday = 0;
  size_t i = 0;
  auto skip_separators = [&] {
    while (i < text.size() && !std::isalnum(static_cast<unsigned char>(text[i]))) ++i;
  };
  // Up to `most` digits; -1 when there are none.
  auto read_number = [&](int most, int *count) -> long {
    skip_separators();
    long value = 0;
    int n = 0;
    while (i < text.size() && n < most && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + (text[i++] - '0');
      ++n;
    }
    if (count) *count = n;
    return n == 0 ? -1 : value;
  };
  for (const Element &e : elements) {
    if (i >= text.size()) break;  // what the text does not reach keeps its default
    const std::string &n = e.name;
    if (e.literal) {
      if (n.size() == 1 && std::strchr("-/,.;: ", n[0])) {
        // Punctuation may differ; a letter or digit where it stands may not.
        if (std::isalnum(static_cast<unsigned char>(text[i]))) return 1861;
        ++i;
      } else {
        if (upper(text.substr(i, n.size())) != upper(n)) return 1861;
        i += n.size();
      }
      continue;
    }
    int count = 0;
    if (n == "FM" || n == "FX") continue;
    if (!e.suffix.empty() && upper(e.suffix) != "TH") return 1821;  // spelled numbers only print
    if (n == "YYYY" || n == "SYYYY" || n == "RRRR" || n == "YY" || n == "RR" || n == "YYY" || n == "Y") {
      skip_separators();
      bool negative = false;
      if (n == "SYYYY" && i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
      }
      long y = read_number(4, &count);
      if (y < 0) return 1858;
      if ((n == "YY" || n == "RR" || n == "RRRR") && count <= 2) {
        long century = now.year / 100 * 100;
        if (n == "YY") {
          y += century;
        } else {
          long current = now.year % 100;
          if (y < 50) y += current < 50 ? century : century + 100;
          else y += current < 50 ? century - 100 : century;
        }
      }
      r.year = static_cast<int>(negative ? -y : y);
    } else if (n == "MM") {
      long m = read_number(2, &count);
      if (m < 0) return 1858;
      if (m < 1 || m > 12) return 1843;
      r.month = static_cast<int>(m);
    } else if (n == "MON" || n == "MONTH") {
      skip_separators();
      size_t length = 0;
      int m = month_index(text.substr(i), &length);
      if (m == 0) return 1843;
      r.month = m;
      i += length;
    } else if (n == "DD") {
      long dd = read_number(2, &count);
      if (dd < 0) return 1858;
      if (dd < 1 || dd > 31) return 1847;
      r.day = static_cast<int>(dd);
    } else if (n == "DDD") {
      long ddd = read_number(3, &count);
      if (ddd < 0) return 1858;
      Date first = r;
      first.month = 1;
      first.day = 1;
      if (ddd < 1 || ddd > (leap(r.year) ? 366 : 365)) return 1848;
      julian = julian_day(first) + ddd - 1;
    } else if (n == "D") {
      long dow = read_number(1, &count);
      if (dow < 1 || dow > 7) return 1846;
      weekday = static_cast<int>(dow);
    } else if (n == "DY" || n == "DAY") {
      skip_separators();
      size_t length = 0;
      weekday = day_index(text.substr(i), &length);
      if (weekday == 0) return 1846;
      i += length;
    } else if (n == "HH" || n == "HH12") {
      long h = read_number(2, &count);
      if (h < 0) return 1858;
      if (h < 1 || h > 12) return 1849;
      hour12 = static_cast<int>(h);
    } else if (n == "HH24") {
      long h = read_number(2, &count);
      if (h < 0) return 1858;
      if (h > 23) return 1850;
      r.hour = static_cast<int>(h);
    } else if (n == "MI") {
      long mi = read_number(2, &count);
      if (mi < 0) return 1858;
      if (mi > 59) return 1851;
      r.minute = static_cast<int>(mi);
    } else if (n == "SS") {
      long ss = read_number(2, &count);
      if (ss < 0) return 1858;
      if (ss > 59) return 1852;
      r.second = static_cast<int>(ss);
    } else if (n == "SSSSS") {
      long sssss = read_number(5, &count);
      if (sssss < 0) return 1858;
      if (sssss > 86399) return 1853;
      seconds_of_day = sssss;
    } else if (n.rfind("FF", 0) == 0) {
      int most = n.size() == 3 ? n[2] - '0' : 9;
      long digits = read_number(most, &count);
      if (digits < 0) return 1858;
      long fraction = digits;
      for (int k = count; k < 9; ++k) fraction *= 10;
      r.fraction = fraction;
    } else if (n == "X") {
      if (text[i] != '.') return 1861;
      ++i;
    } else if (n == "J") {
      long j = read_number(7, &count);
      if (j < 0) return 1858;
      if (j < 1 || j > kLastDay) return 1854;
      julian = j;
    } else if (n == "AM" || n == "PM" || n == "A.M." || n == "P.M.") {
      skip_separators();
      std::string rest = upper(text.substr(i));
      if (rest.rfind("A.M.", 0) == 0 || rest.rfind("P.M.", 0) == 0) {
        meridian = rest[0] == 'P';
        i += 4;
      } else if (rest.rfind("AM", 0) == 0 || rest.rfind("PM", 0) == 0) {
        meridian = rest[0] == 'P';
        i += 2;
      } else {
        return 1855;
      }
    } else if (n == "AD" || n == "BC" || n == "A.D." || n == "B.C.") {
      skip_separators();
      std::string rest = upper(text.substr(i));
      if (rest.rfind("B.C.", 0) == 0 || rest.rfind("A.D.", 0) == 0) {
        bc = rest[0] == 'B';
        i += 4;
      } else if (rest.rfind("BC", 0) == 0 || rest.rfind("AD", 0) == 0) {
        bc = rest[0] == 'B';
        i += 2;
      } else {
        return 1856;
      }
    } else {
      return 1821;  // elements that only print (Q, CC, WW, W, IW)
    }
    if (!e.suffix.empty()) {  // the ordinal letters after the number: 1ST, 2nd
      if (i + 2 > text.size() || !std::isalpha(static_cast<unsigned char>(text[i])) ||
          !std::isalpha(static_cast<unsigned char>(text[i + 1])))
        return 1861;
      i += 2;
    }
  }
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size()) return 1830;

  if (bc && r.year > 0) r.year = -r.year;
  if (hour12 >= 0) r.hour = hour12 % 12 + (meridian == 1 ? 12 : 0);
  if (seconds_of_day >= 0) {
    r.hour = static_cast<int>(seconds_of_day / 3600);
    r.minute = static_cast<int>(seconds_of_day % 3600 / 60);
    r.second = static_cast<int>(seconds_of_day % 60);
  }
  if (julian >= 0) {
    if (int bad = from_julian_day(julian, &r)) return bad;
  }
  if (r.year == 0 || r.year < -4712 || r.year > 9999) return 1841;
  if (r.day > days_in_month(r.year, r.month)) return 1839;
  if (int bad = check(r)) return bad;
  if (weekday != 0 && weekday != day_of_week(r)) return 1835;
  *out = r;
  return 0;
}

}  // namespace zec::oracle
