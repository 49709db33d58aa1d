// Number format models, as TO_CHAR and TO_NUMBER read them: 9 0 . , D G S
// MI PR FM EEEE $ L C B V RN X, with the decimal and group characters and
// the currencies from the NLS parameters.
#include <cctype>
#include <cstring>
#include <string>

#include "src/oracle/number.h"

namespace zec::oracle {
namespace {

struct Nls {
  char decimal = '.';
  char group = ',';
  std::string currency = "$";
  std::string iso_currency = "USD";
};

struct Territory {
  const char *name;
  const char *iso;
};
constexpr Territory kTerritories[] = {
    {"AMERICA", "USD"}, {"UNITED KINGDOM", "GBP"}, {"GERMANY", "DEM"}, {"FRANCE", "FRF"},
    {"ITALY", "ITL"},   {"SPAIN", "ESP"},          {"JAPAN", "JPY"},   {"CANADA", "CAD"},
};

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// NAME='value' NAME=value ..., separated by blanks.
bool parse_nls(const std::string &text, Nls *nls) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size()) break;
    size_t equals = text.find('=', i);
    if (equals == std::string::npos) return false;
    std::string name = upper(text.substr(i, equals - i));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    i = equals + 1;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string value;
    if (i < text.size() && text[i] == '\'') {
      size_t close = text.find('\'', i + 1);
      if (close == std::string::npos) return false;
      value = text.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      size_t end = text.find(' ', i);
      value = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
      i = end == std::string::npos ? text.size() : end;
    }
    if (name == "NLS_NUMERIC_CHARACTERS") {
      if (value.size() != 2 || value[0] == value[1]) return false;
      for (char c : value)
        if (std::isdigit(static_cast<unsigned char>(c)) || std::strchr("+-<>", c)) return false;
      nls->decimal = value[0];
      nls->group = value[1];
    } else if (name == "NLS_CURRENCY") {
      if (value.empty() || value.size() > 10) return false;
      nls->currency = value;
    } else if (name == "NLS_ISO_CURRENCY") {
      std::string territory = upper(value);
      bool known = false;
      for (const Territory &t : kTerritories)
        if (territory == t.name) {
          nls->iso_currency = t.iso;
          known = true;
        }
      if (!known) return false;
    } else {
      return false;
    }
  }
  return true;
}

// A format model, read once.
struct Model {
  bool fill = false;        // FM
  bool blank_zero = false;  // B
  bool scientific = false;  // EEEE
  bool roman = false;       // RN
  bool roman_lower = false;
  int hex = 0;              // X positions
  bool hex_lower = false;
  int integer = 0;          // digit positions left of the point
  int fraction = 0;         // digit positions right of the point
  int first_zero = -1;      // integer position of the first 0 (from the left), or -1
  int shift = 0;            // V: digits after it
  bool leading_sign = false, trailing_sign = false, minus = false, brackets = false;
  // What prints, in order: digits 'd', decimal point 'p', group 'g', and
  // literal text for currencies and the like.
  struct Item {
    char kind;  // 'd' digit, 'p' point, 'g' group, 'c' currency
    std::string text;
    bool zero;  // digit: a 0 position
  };
  std::vector<Item> items;
};

bool starts(const std::string &f, size_t i, const char *word) {
  size_t n = std::strlen(word);
  return f.size() - i >= n && upper(f.substr(i, n)) == word;
}

bool read_model(const std::string &format, const Nls &nls, Model *m) {
  if (format.empty()) return false;
  size_t i = 0;
  bool after_point = false;
  bool after_v = false;
  while (i < format.size()) {
    char c = format[i];
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (starts(format, i, "FM")) {
      m->fill = true;
      i += 2;
    } else if (starts(format, i, "EEEE")) {
      m->scientific = true;
      i += 4;
    } else if (starts(format, i, "RN")) {
      m->roman = true;
      m->roman_lower = c == 'r';
      i += 2;
    } else if (starts(format, i, "MI")) {
      m->minus = true;
      i += 2;
      if (i != format.size()) return false;
    } else if (starts(format, i, "PR")) {
      m->brackets = true;
      i += 2;
      if (i != format.size()) return false;
    } else if (u == 'S') {
      if (m->items.empty() && !m->leading_sign) m->leading_sign = true;
      else if (i + 1 == format.size()) m->trailing_sign = true;
      else return false;
      ++i;
    } else if (c == '9' || c == '0') {
      if (after_v) {
        ++m->shift;
        ++m->integer;
      } else if (after_point) {
        ++m->fraction;
      } else {
        if (c == '0' && m->first_zero < 0) m->first_zero = m->integer;
        ++m->integer;
      }
      m->items.push_back({'d', "", c == '0'});
      ++i;
    } else if (u == 'X') {
      ++m->hex;
      m->hex_lower = c == 'x';
      ++i;
    } else if (c == '.' || u == 'D') {
      if (after_point || after_v) return false;
      after_point = true;
      m->items.push_back({'p', std::string(1, c == '.' ? '.' : nls.decimal), false});
      ++i;
    } else if (c == ',' || u == 'G') {
      if (after_point) return false;
      m->items.push_back({'g', std::string(1, c == ',' ? ',' : nls.group), false});
      ++i;
    } else if (c == '$') {
      m->items.push_back({'c', "$", false});
      ++i;
    } else if (u == 'L') {
      m->items.push_back({'c', nls.currency, false});
      ++i;
    } else if (u == 'C') {
      m->items.push_back({'c', nls.iso_currency, false});
      ++i;
    } else if (u == 'B') {
      m->blank_zero = true;
      ++i;
    } else if (u == 'V') {
      if (after_point) return false;
      after_v = true;
      ++i;
    } else {
      return false;
    }
  }
  if (m->roman && (m->integer || m->fraction || m->hex)) return false;
  if (m->hex && (m->integer || m->fraction)) return false;
  return true;
}

// Reads the NLS parameters and the format model; 0, or the error and the
// text it names.
int prepare(const std::string &format, const std::string &nls_text, Model *m,
            std::string *parameter) {
  Nls nls;
  if (!parse_nls(nls_text, &nls)) {
    *parameter = nls_text;
    return kInvalidNls;
  }
  if (!read_model(format, nls, m)) {
    *parameter = format;
    return kInvalidFormat;
  }
  return 0;
}

std::string roman_of(int value) {
  static const struct {
    int v;
    const char *s;
  } table[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
               {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  std::string out;
  for (const auto &r : table)
    while (value >= r.v) {
      out += r.s;
      value -= r.v;
    }
  return out;
}

int width_of(const Model &m) {
  int width = 0;
  for (const auto &item : m.items) width += item.kind == 'c' ? static_cast<int>(item.text.size()) : 1;
  if (m.scientific) width += 4;
  if (m.brackets) width += 2;
  else width += 1;  // the sign's position, whether S, MI or the leading blank
  return width;
}

std::string strip(const std::string &s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

}  // namespace

int to_text(const Number &n, const std::string &format, const std::string &nls_text,
            std::string *out, std::string *parameter) {
  Model m;
  if (int refused = prepare(format, nls_text, &m, parameter)) return refused;
  if (n.infinity) {
    *out = n.infinity > 0 ? "~" : "-~";
    return 0;
  }
  if (m.roman) {
    Number whole;
    round(n, 0, &whole);
    long double v = to_long_double(whole);
    std::string text = v >= 1 && v <= 3999 ? roman_of(static_cast<int>(v)) : std::string(15, '#');
    if (m.roman_lower)
      for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    *out = m.fill ? text : std::string(15 - std::min<size_t>(15, text.size()), ' ') + text;
    return 0;
  }
  if (m.hex) {
    Number whole;
    round(n, 0, &whole);
    long double v = to_long_double(whole);
    std::string text;
    if (whole.negative || v >= 18446744073709551616.0L) {
      text = std::string(static_cast<size_t>(m.hex) + 1, '#');
    } else {
      unsigned long long u = static_cast<unsigned long long>(v);
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, m.hex_lower ? "%llx" : "%llX", u);
      text = buffer;
      if (static_cast<int>(text.size()) > m.hex) text = std::string(static_cast<size_t>(m.hex) + 1, '#');
      else text = std::string(static_cast<size_t>(m.hex + 1) - text.size(), ' ') + text;
    }
    *out = m.fill ? strip(text) : text;
    return 0;
  }

  // The value the digits show: shifted by V, in scientific form for EEEE,
  // rounded to the fraction positions.
  Number value = n;
  int exponent10 = 0;
  if (m.shift) {
    Number ten;
    from_plain("1E" + std::to_string(m.shift), &ten);
    multiply(value, ten, &value);
  }
  if (m.scientific && !value.is_zero()) {
    // 1 <= |mantissa| < 10, read off the digits themselves: scaling by a
    // power of ten would overflow for values below 1E-125. A rounding that
    // reaches 10 moves to the next power.
    Number magnitude = value;
    magnitude.negative = false;
    std::string plain = to_plain(magnitude);
    std::string digits;
    if (plain.rfind("0.", 0) == 0) {
      size_t first = plain.find_first_not_of('0', 2);
      exponent10 = -static_cast<int>(first - 1);
      digits = plain.substr(first);
    } else {
      size_t point = plain.find('.');
      exponent10 = static_cast<int>(point == std::string::npos ? plain.size() : point) - 1;
      digits = plain;
      if (point != std::string::npos) digits.erase(point, 1);
    }
    Number mantissa;
    from_plain(digits.substr(0, 1) + "." + digits.substr(1), &mantissa);
    mantissa.negative = value.negative;
    Number rounded_mantissa;
    round(mantissa, m.fraction, &rounded_mantissa);
    rounded_mantissa.negative = false;
    Number ten;
    from_plain("10", &ten);
    if (compare(rounded_mantissa, ten) >= 0) {
      from_plain(value.negative ? "-1" : "1", &mantissa);
      ++exponent10;
    }
    value = mantissa;
  }
  Number rounded;
  int status = round(value, m.fraction, &rounded);
  if (status != 0) return status;
  std::string plain = to_plain(rounded);
  bool negative = rounded.negative;
  if (negative) plain.erase(0, 1);
  size_t point = plain.find('.');
  std::string whole = plain.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : plain.substr(point + 1);
  if (whole == "0") whole.clear();
  fraction.resize(static_cast<size_t>(m.fraction), '0');

  if (m.blank_zero && rounded.is_zero()) {
    *out = m.fill ? "" : std::string(static_cast<size_t>(width_of(m)), ' ');
    return 0;
  }
  if (static_cast<int>(whole.size()) > m.integer) {
    *out = std::string(static_cast<size_t>(width_of(m)), '#');
    return 0;
  }

  // Fill the positions left to right.
  std::string body;
  int integer_seen = 0;
  int fraction_seen = 0;
  bool started = false;   // a digit or kept zero has printed
  bool after_point = false;
  int leading = m.integer - static_cast<int>(whole.size());  // integer positions before the digits
  bool zero_value = rounded.is_zero();
  for (const auto &item : m.items) {
    switch (item.kind) {
      case 'd':
        if (!after_point) {
          int position = integer_seen++;
          if (position < leading) {
            bool keep_zero = m.first_zero >= 0 && position >= m.first_zero;
            // A zero value shows 0 in the last integer position.
            bool last_zero = zero_value && position == m.integer - 1;
            if (keep_zero || last_zero) {
              body += '0';
              started = true;
            } else {
              body += ' ';
            }
          } else {
            body += whole[static_cast<size_t>(position - leading)];
            started = true;
          }
        } else {
          body += fraction[static_cast<size_t>(fraction_seen++)];
        }
        break;
      case 'p':
        body += item.text;
        after_point = true;
        break;
      case 'g':
        body += started ? item.text : " ";
        break;
      default:  // currency: floats to just before the first digit
        body += '\x01';
        break;
    }
  }
  // FM drops the fraction's trailing zeros where the format has 9s.
  if (m.fill && m.fraction > 0) {
    size_t end = body.size();
    int positions = m.fraction;
    size_t k = m.items.size();
    while (k-- > 0 && positions > 0) {
      if (m.items[k].kind != 'd') continue;
      --positions;
      if (m.items[k].zero || body[end - 1] != '0') break;
      --end;
    }
    body.resize(end);
  }
  // Currency symbols move to just before the first shown character.
  std::string currency;
  for (const auto &item : m.items)
    if (item.kind == 'c') currency += item.text;
  std::string compact;
  for (char c : body)
    if (c != '\x01') compact += c;
  body = compact;
  size_t first = body.find_first_not_of(' ');
  if (first == std::string::npos) first = body.size();
  body.insert(first, currency);
  if (m.scientific) {
    char e[16];
    std::snprintf(e, sizeof e, "E%c%02d", exponent10 < 0 ? '-' : '+', std::abs(exponent10));
    body += e;
  }

  std::string text;
  if (m.leading_sign) {
    body.insert(first, negative ? "-" : "+");
    text = body;
  } else if (m.trailing_sign) {
    text = body + (negative ? "-" : "+");
  } else if (m.minus) {
    text = body + (negative ? "-" : " ");
  } else if (m.brackets) {
    if (negative) {
      body.insert(first, "<");
      text = body + ">";
    } else {
      text = " " + body + " ";
    }
  } else {
    // The sign position floats to just before the first shown character.
    text = " " + body;
    if (negative) text[first] = '-';
  }
  *out = m.fill ? strip(text) : text;
  return 0;
}

int from_text(const std::string &text, const std::string &format, const std::string &nls_text,
              Number *out, std::string *parameter) {
  Model m;
  if (int refused = prepare(format, nls_text, &m, parameter)) return refused;
  *parameter = text;
  std::string s = strip(text);
  if (s.empty()) return kInvalidInput;
  if (m.roman) {
    std::string r = upper(s);
    static const char *symbols = "IVXLCDM";
    static const int values[] = {1, 5, 10, 50, 100, 500, 1000};
    int total = 0;
    for (size_t i = 0; i < r.size(); ++i) {
      const char *p = std::strchr(symbols, r[i]);
      if (p == nullptr || r[i] == '\0') return kInvalidInput;
      int v = values[p - symbols];
      const char *q = i + 1 < r.size() ? std::strchr(symbols, r[i + 1]) : nullptr;
      int next = q && r[i + 1] ? values[q - symbols] : 0;
      total += v < next ? -v : v;
    }
    if (total < 1 || total > 3999 || roman_of(total) != r) return kInvalidInput;
    return from_plain(std::to_string(total), out);
  }
  if (m.hex) {
    if (static_cast<int>(s.size()) > m.hex) return kInvalidInput;
    unsigned long long value = 0;
    for (char c : s) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return kInvalidInput;
      value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                      ? c - '0'
                                                      : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
    }
    return from_plain(std::to_string(value), out);
  }

  bool negative = false;
  // Signs, as the model places them.
  if (m.brackets && s.size() >= 2 && s.front() == '<' && s.back() == '>') {
    negative = true;
    s = s.substr(1, s.size() - 2);
  } else if ((m.minus || m.trailing_sign) && !s.empty() && (s.back() == '-' || s.back() == '+')) {
    negative = s.back() == '-';
    s.pop_back();
  } else if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.erase(0, 1);
  }
  // Currency symbols the model has.
  for (const auto &item : m.items)
    if (item.kind == 'c') {
      size_t at = s.find(item.text);
      if (at != std::string::npos) s.erase(at, item.text.size());
    }
  // Group characters go; the decimal character becomes the point.
  char point = '.';
  char group = ',';
  for (const auto &item : m.items) {
    if (item.kind == 'p') point = item.text[0];
    if (item.kind == 'g') group = item.text[0];
  }
  std::string plain;
  int integer_digits = 0;
  int fraction_digits = 0;
  bool seen_point = false;
  size_t i = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      plain += c;
      (seen_point ? fraction_digits : integer_digits)++;
    } else if (c == point && !seen_point) {
      plain += '.';
      seen_point = true;
    } else if (c == group && !seen_point) {
      continue;
    } else {
      break;
    }
  }
  std::string rest = s.substr(i);
  if (m.scientific) {
    if (rest.empty() || (rest[0] != 'E' && rest[0] != 'e')) return kInvalidInput;
    plain += rest;
  } else if (!rest.empty()) {
    return kInvalidInput;
  }
  if (integer_digits == 0 && fraction_digits == 0) return kInvalidInput;
  // Leading zeros of the integer part take no position.
  size_t significant = plain.find_first_not_of('0');
  int integer_used = integer_digits;
  if (significant != std::string::npos && plain[significant] != '.')
    integer_used = integer_digits - static_cast<int>(significant);
  else
    integer_used = 0;
  if (integer_used > m.integer || (!m.scientific && fraction_digits > m.fraction)) return kInvalidInput;
  int status = from_plain((negative ? "-" : "") + plain, out);
  if (status != 0) return status == kInvalidInput ? kInvalidInput : status;
  if (m.shift) {
    Number scale;
    from_plain("1E-" + std::to_string(m.shift), &scale);
    multiply(*out, scale, out);
  }
  return 0;
}

}  // namespace zec::oracle
