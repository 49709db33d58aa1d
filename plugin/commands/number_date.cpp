// Oracle NUMBER arithmetic on host reals and Oracle's calendar on host
// dates. Numbers fail only with OCI_ERROR and never report; dates succeed
// with 0 or 1 and report like every other command.
#include <cstring>

#include "commands/commands.h"
#include "commands/pattern.h"

namespace zorvan {
namespace {

// The host's seconds of the day as OCI's hour, minute and second: signed
// division, each result stored into its byte as it is.
OCIDate date_from_host(const CommandCall &call, int16_t date_param, int32_t seconds) {
  int16_t day = 0, month = 0, year = 0;
  param_date(call, date_param, &day, &month, &year);
  OCIDate d{};
  d.OCIDateYYYY = year;
  d.OCIDateMM = static_cast<ub1>(month);
  d.OCIDateDD = static_cast<ub1>(day);
  d.OCIDateTime.OCITimeHH = static_cast<ub1>(seconds / 3600);
  d.OCIDateTime.OCITimeMI = static_cast<ub1>((seconds % 3600) / 60);
  d.OCIDateTime.OCITimeSS = static_cast<ub1>((seconds % 3600) % 60);
  return d;
}

void date_to_host(const CommandCall &call, int16_t date_param, const OCIDate &d) {
  param_set_date(call, date_param, static_cast<int16_t>(d.OCIDateDD), static_cast<int16_t>(d.OCIDateMM),
                 d.OCIDateYYYY);
}

int32_t seconds_of(const OCIDate &d) {
  return d.OCIDateTime.OCITimeHH * 3600 + d.OCIDateTime.OCITimeMI * 60 + d.OCIDateTime.OCITimeSS;
}

struct Text {
  host::ZString chars;
  ub4 length() const { return static_cast<ub4>(std::strlen(chars)); }
  const OraText *text() const { return reinterpret_cast<const OraText *>(chars); }
  const OraText *text_or_null() const { return length() ? text() : nullptr; }
};

Text read_text(const CommandCall &call, int16_t i) {
  Text t;
  param_text(call, i, t.chars);
  return t;
}

// The number functions every number command needs.
struct RealConversions {
  decltype(&::OCINumberFromReal) from_real;
  decltype(&::OCINumberToReal) to_real;
};

bool conversions(const CommandCall &call, RealConversions *c) {
  c->from_real = COMMAND_OCI(call, OCINumberFromReal);
  if (c->from_real == nullptr) return false;
  c->to_real = COMMAND_OCI(call, OCINumberToReal);
  return c->to_real != nullptr;
}

// A host real as an OCINumber; false after setting the result to -1.
bool number_of(const CommandCall &call, const RealConversions &c, OCIError *error, double value,
               OCINumber *number) {
  if (c.from_real(error, &value, sizeof value, number) != OCI_ERROR) return true;
  result_set_long(call, OCI_ERROR);
  return false;
}

// Every number and date command takes its error handle first.
OCIError *checked_error(const CommandCall &call) {
  return as_handle<OCIError>(typed_handle(call, 1, OCI_HTYPE_ERROR));
}

}  // namespace

void command_number_two(const CommandCall &call, int32_t selector) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  using Binary = decltype(&::OCINumberAdd);
  Binary operation = nullptr;
  switch (selector) {
    case 148: operation = COMMAND_OCI(call, OCINumberAdd); break;
    case 128: operation = COMMAND_OCI(call, OCINumberSub); break;
    case 133: operation = COMMAND_OCI(call, OCINumberMul); break;
    case 142: operation = COMMAND_OCI(call, OCINumberDiv); break;
    case 132: operation = COMMAND_OCI(call, OCINumberPower); break;
    case 134: operation = COMMAND_OCI(call, OCINumberLog); break;
    case 144: operation = COMMAND_OCI(call, OCINumberArcTan2); break;
    default: return;
  }
  RealConversions c;
  if (operation == nullptr || !conversions(call, &c)) return;
  OCINumber a, b, result;
  if (!number_of(call, c, error, param_real(call, 2), &a) ||
      !number_of(call, c, error, param_real(call, 3), &b))
    return;
  sword status = operation(error, &a, &b, &result);
  if (status != OCI_ERROR) {
    // A real that cannot be had leaves the host's value as it was.
    double real = 0;
    if (c.to_real(error, &result, sizeof real, &real) != OCI_ERROR) param_set_real(call, 4, real);
  }
  result_set_long(call, status);
}

void command_number_one(const CommandCall &call, int32_t selector) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  using Unary = decltype(&::OCINumberSqrt);
  Unary operation = nullptr;
  switch (selector) {
    case 127: operation = COMMAND_OCI(call, OCINumberTan); break;
    case 129: operation = COMMAND_OCI(call, OCINumberSqrt); break;
    case 130: operation = COMMAND_OCI(call, OCINumberSin); break;
    case 135: operation = COMMAND_OCI(call, OCINumberLn); break;
    case 137: operation = COMMAND_OCI(call, OCINumberHypTan); break;
    case 138: operation = COMMAND_OCI(call, OCINumberHypSin); break;
    case 139: operation = COMMAND_OCI(call, OCINumberHypCos); break;
    case 141: operation = COMMAND_OCI(call, OCINumberExp); break;
    case 143: operation = COMMAND_OCI(call, OCINumberCos); break;
    case 145: operation = COMMAND_OCI(call, OCINumberArcTan); break;
    case 146: operation = COMMAND_OCI(call, OCINumberArcSin); break;
    case 147: operation = COMMAND_OCI(call, OCINumberArcCos); break;
    default: return;
  }
  RealConversions c;
  if (operation == nullptr || !conversions(call, &c)) return;
  OCINumber x, result;
  if (!number_of(call, c, error, param_real(call, 2), &x)) return;
  sword status = operation(error, &x, &result);
  if (status != OCI_ERROR) {
    double real = 0;
    if (c.to_real(error, &result, sizeof real, &real) != OCI_ERROR) param_set_real(call, 3, real);
  }
  result_set_long(call, status);
}

void command_number_integer(const CommandCall &call, int32_t selector) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  using WithInteger = decltype(&::OCINumberRound);
  WithInteger operation = nullptr;
  switch (selector) {
    case 125: operation = COMMAND_OCI(call, OCINumberTrunc); break;
    case 131: operation = COMMAND_OCI(call, OCINumberRound); break;
    case 136: operation = COMMAND_OCI(call, OCINumberIntPower); break;
    default: return;
  }
  RealConversions c;
  if (operation == nullptr || !conversions(call, &c)) return;
  OCINumber x, result;
  if (!number_of(call, c, error, param_real(call, 2), &x)) return;
  sword status = operation(error, &x, param_long(call, 3), &result);
  if (status != OCI_ERROR) {
    double real = 0;
    if (c.to_real(error, &result, sizeof real, &real) != OCI_ERROR) param_set_real(call, 4, real);
  }
  result_set_long(call, status);
}

void command_number_to_text(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  RealConversions c;
  if (!conversions(call, &c)) return;
  auto to_text = COMMAND_OCI(call, OCINumberToText);
  if (to_text == nullptr) return;
  OCINumber number;
  if (!number_of(call, c, error, param_real(call, 2), &number)) return;
  Text format = read_text(call, 3);
  Text nls = read_text(call, 4);
  char buffer[host::kStringSize] = {};
  ub4 size = sizeof buffer;
  sword status = to_text(error, &number, format.text_or_null(), format.length(), nls.text_or_null(),
                         nls.length(), &size, reinterpret_cast<OraText *>(buffer));
  if (status != OCI_ERROR) {
    buffer[size < sizeof buffer ? size : sizeof buffer - 1] = '\0';
    param_set_text(call, 5, buffer);
  }
  result_set_long(call, status);
}

void command_number_from_text(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  RealConversions c;
  if (!conversions(call, &c)) return;
  auto from_text = COMMAND_OCI(call, OCINumberFromText);
  if (from_text == nullptr) return;
  Text text = read_text(call, 2);
  Text format = read_text(call, 3);
  Text nls = read_text(call, 4);
  OCINumber number;
  sword status = from_text(error, text.text(), text.length(), format.text(), format.length(),
                           nls.text(), nls.length(), &number);
  if (status != OCI_ERROR) {
    double real = 0;
    if (c.to_real(error, &number, sizeof real, &real) != OCI_ERROR) param_set_real(call, 5, real);
  }
  result_set_long(call, status);
}

void command_date_sys_date(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto sys_date = COMMAND_OCI(call, OCIDateSysDate);
  if (sys_date == nullptr) return;
  OCIDate now{};
  sword status = sys_date(error, &now);
  if (!is_success(status)) return report_failure(call, status, handle_word(error));
  date_to_host(call, 2, now);
  param_set_long(call, 3, seconds_of(now));
  result_set_long(call, status);
}

// 161 add months, 162 add days. Date-only commands pass 00:00:00.
void command_date_add(const CommandCall &call, int32_t selector) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto add = selector == 161 ? COMMAND_OCI(call, OCIDateAddMonths) : COMMAND_OCI(call, OCIDateAddDays);
  if (add == nullptr) return;
  OCIDate from = date_from_host(call, 2, 0);
  OCIDate result{};
  sword status = add(error, &from, param_long(call, 3), &result);
  if (!is_success(status)) return report_failure(call, status, 0);
  date_to_host(call, 4, result);
  result_set_long(call, status);
}

void command_date_last_day(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto last_day = COMMAND_OCI(call, OCIDateLastDay);
  if (last_day == nullptr) return;
  OCIDate from = date_from_host(call, 2, 0);
  OCIDate result{};
  sword status = last_day(error, &from, &result);
  if (!is_success(status)) return report_failure(call, status, 0);
  date_to_host(call, 3, result);
  result_set_long(call, status);
}

void command_date_next_day(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto next_day = COMMAND_OCI(call, OCIDateNextDay);
  if (next_day == nullptr) return;
  // The day name has a 40-byte buffer: a longer name is cut to 39 bytes.
  Text read = read_text(call, 3);
  char name[40] = {};
  std::memcpy(name, read.chars, strnlen(read.chars, sizeof name - 1));
  OCIDate from = date_from_host(call, 2, 0);
  OCIDate result{};
  sword status = next_day(error, &from, reinterpret_cast<const OraText *>(name),
                          static_cast<ub4>(std::strlen(name)), &result);
  if (!is_success(status)) return report_failure(call, status, 0);
  date_to_host(call, 4, result);
  result_set_long(call, status);
}

void command_date_zone_to_zone(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto zone_to_zone = COMMAND_OCI(call, OCIDateZoneToZone);
  if (zone_to_zone == nullptr) return;
  OCIDate from = date_from_host(call, 2, param_long(call, 3));
  Text source = read_text(call, 4);
  Text target = read_text(call, 5);
  OCIDate result{};
  sword status = zone_to_zone(error, &from, source.text(), source.length(), target.text(),
                              target.length(), &result);
  if (!is_success(status)) return report_failure(call, status, 0);
  date_to_host(call, 6, result);
  param_set_long(call, 7, seconds_of(result));
  result_set_long(call, status);
}

void command_date_from_text(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto from_text = COMMAND_OCI(call, OCIDateFromText);
  if (from_text == nullptr) return;
  Text text = read_text(call, 2);
  Text format = read_text(call, 3);
  Text language = read_text(call, 4);
  OCIDate result{};
  sword status = from_text(error, text.text(), text.length(), format.text(),
                           static_cast<ub1>(format.length()), language.text(), language.length(),
                           &result);
  if (!is_success(status)) return report_failure(call, status, handle_word(error));
  date_to_host(call, 6, result);
  param_set_long(call, 7, seconds_of(result));
  result_set_long(call, status);
}

void command_date_to_text(const CommandCall &call) noexcept {
  OCIError *error = checked_error(call);
  if (error == nullptr) return refuse(call);
  auto to_text = COMMAND_OCI(call, OCIDateToText);
  if (to_text == nullptr) return;
  OCIDate date = date_from_host(call, 2, param_long(call, 3));
  Text format = read_text(call, 4);
  Text language = read_text(call, 5);
  char buffer[host::kStringSize] = {};
  ub4 size = sizeof buffer;
  sword status = to_text(error, &date, format.text(), static_cast<ub1>(format.length()),
                         language.text(), language.length(), &size, reinterpret_cast<OraText *>(buffer));
  if (!is_success(status)) return report_failure(call, status, handle_word(error));
  buffer[size < sizeof buffer ? size : sizeof buffer - 1] = '\0';
  param_set_text(call, 6, buffer);
  result_set_long(call, status);
}

}  // namespace zorvan
