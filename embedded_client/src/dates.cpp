// The OCIDate functions: Oracle's calendar on the 8-byte date.
#include <cstring>
#include <string>

#include "src/errors.h"
#include "src/handles.h"
#include "src/oracle/date.h"
#include "src/text.h"
#include "src/trace.h"

namespace zec {
namespace {

using oracle::Date;

Date date_of(const OCIDate &d) {
  return Date{d.OCIDateYYYY, d.OCIDateMM, d.OCIDateDD, d.OCIDateTime.OCITimeHH,
              d.OCIDateTime.OCITimeMI, d.OCIDateTime.OCITimeSS};
}

void store(const Date &d, OCIDate *out) {
  OCIDate r{};
  r.OCIDateYYYY = static_cast<sb2>(d.year);
  r.OCIDateMM = static_cast<ub1>(d.month);
  r.OCIDateDD = static_cast<ub1>(d.day);
  r.OCIDateTime.OCITimeHH = static_cast<ub1>(d.hour);
  r.OCIDateTime.OCITimeMI = static_cast<ub1>(d.minute);
  r.OCIDateTime.OCITimeSS = static_cast<ub1>(d.second);
  std::memcpy(out, &r, sizeof r);
}

bool valid_error(OCIError *err, sword *status) {
  if (live_handle(err, OCI_HTYPE_ERROR) == nullptr) {
    *status = OCI_INVALID_HANDLE;
    return false;
  }
  clear_errors(err);
  return true;
}

sword finish(OCIError *err, int code, const Date &result, OCIDate *out) {
  if (code != 0) return set_error(err, code);
  store(result, out);
  return OCI_SUCCESS;
}

}  // namespace
}  // namespace zec

using zec::Date;

extern "C" {

ZEC_EXPORT sword __cdecl OCIDateSysDate(OCIError *err, OCIDate *sys_date) {
  ZEC_ENTER("OCIDateSysDate", err, sys_date);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateSysDate", status);
  if (sys_date == nullptr) ZEC_RETURN("OCIDateSysDate", zec::set_error(err, 21560, "2"));
  zec::store(zec::oracle::system_date(), sys_date);
  ZEC_RETURN("OCIDateSysDate", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCIDateAddDays(OCIError *err, const OCIDate *date, sb4 num_days, OCIDate *result) {
  ZEC_ENTER("OCIDateAddDays", err, date, num_days, result);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateAddDays", status);
  if (date == nullptr || result == nullptr) ZEC_RETURN("OCIDateAddDays", zec::set_error(err, 21560, date ? "4" : "2"));
  Date r;
  int code = zec::oracle::add_days(zec::date_of(*date), num_days, &r);
  ZEC_RETURN("OCIDateAddDays", zec::finish(err, code, r, result));
}

ZEC_EXPORT sword __cdecl OCIDateAddMonths(OCIError *err, const OCIDate *date, sb4 num_months, OCIDate *result) {
  ZEC_ENTER("OCIDateAddMonths", err, date, num_months, result);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateAddMonths", status);
  if (date == nullptr || result == nullptr) ZEC_RETURN("OCIDateAddMonths", zec::set_error(err, 21560, date ? "4" : "2"));
  Date r;
  int code = zec::oracle::add_months(zec::date_of(*date), num_months, &r);
  ZEC_RETURN("OCIDateAddMonths", zec::finish(err, code, r, result));
}

ZEC_EXPORT sword __cdecl OCIDateLastDay(OCIError *err, const OCIDate *date, OCIDate *last_day) {
  ZEC_ENTER("OCIDateLastDay", err, date, last_day);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateLastDay", status);
  if (date == nullptr || last_day == nullptr) ZEC_RETURN("OCIDateLastDay", zec::set_error(err, 21560, date ? "3" : "2"));
  Date r;
  int code = zec::oracle::last_day(zec::date_of(*date), &r);
  ZEC_RETURN("OCIDateLastDay", zec::finish(err, code, r, last_day));
}

ZEC_EXPORT sword __cdecl OCIDateNextDay(OCIError *err, const OCIDate *date, const OraText *day_p,
                                        ub4 day_length, OCIDate *next_day) {
  ZEC_ENTER("OCIDateNextDay", err, date, day_p, day_length, next_day);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateNextDay", status);
  if (date == nullptr || next_day == nullptr) ZEC_RETURN("OCIDateNextDay", zec::set_error(err, 21560, date ? "5" : "2"));
  try {
    Date r;
    int code = zec::oracle::next_day(zec::date_of(*date), zec::text_of(day_p, day_length), &r);
    ZEC_RETURN("OCIDateNextDay", zec::finish(err, code, r, next_day));
  } catch (...) {
    ZEC_RETURN("OCIDateNextDay", zec::set_error(err, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCIDateZoneToZone(OCIError *err, const OCIDate *date1, const OraText *zon1,
                                           ub4 zon1_length, const OraText *zon2, ub4 zon2_length,
                                           OCIDate *date2) {
  ZEC_ENTER("OCIDateZoneToZone", err, date1, zon1, zon1_length, zon2, zon2_length, date2);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateZoneToZone", status);
  if (date1 == nullptr || date2 == nullptr) ZEC_RETURN("OCIDateZoneToZone", zec::set_error(err, 21560, date1 ? "7" : "2"));
  try {
    Date r;
    int code = zec::oracle::zone_to_zone(zec::date_of(*date1), zec::text_of(zon1, zon1_length),
                                         zec::text_of(zon2, zon2_length), &r);
    ZEC_RETURN("OCIDateZoneToZone", zec::finish(err, code, r, date2));
  } catch (...) {
    ZEC_RETURN("OCIDateZoneToZone", zec::set_error(err, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCIDateFromText(OCIError *err, const OraText *date_str, ub4 d_str_length,
                                         const OraText *fmt, ub1 fmt_length, const OraText *lang_name,
                                         ub4 lang_length, OCIDate *date) {
  ZEC_ENTER("OCIDateFromText", err, date_str, d_str_length, fmt, fmt_length, lang_name, lang_length, date);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateFromText", status);
  if (date_str == nullptr || date == nullptr) ZEC_RETURN("OCIDateFromText", zec::set_error(err, 21560, date ? "2" : "8"));
  try {
    // A length of (ub4)-1 means the text ends at its NUL.
    size_t length = d_str_length == static_cast<ub4>(-1)
                        ? std::strlen(reinterpret_cast<const char *>(date_str)) : d_str_length;
    Date r;
    int code = zec::oracle::from_text(zec::text_of(date_str, length), zec::text_of(fmt, fmt_length),
                                      zec::text_of(lang_name, lang_length), zec::oracle::system_date(), &r);
    ZEC_RETURN("OCIDateFromText", zec::finish(err, code, r, date));
  } catch (...) {
    ZEC_RETURN("OCIDateFromText", zec::set_error(err, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCIDateToText(OCIError *err, const OCIDate *date, const OraText *fmt,
                                       ub1 fmt_length, const OraText *lang_name, ub4 lang_length,
                                       ub4 *buf_size, OraText *buf) {
  ZEC_ENTER("OCIDateToText", err, date, fmt, fmt_length, lang_name, lang_length, buf_size, buf);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCIDateToText", status);
  if (date == nullptr || buf_size == nullptr || buf == nullptr)
    ZEC_RETURN("OCIDateToText", zec::set_error(err, 21560, date ? "8" : "2"));
  try {
    std::string text;
    int code = zec::oracle::to_text(zec::date_of(*date), zec::text_of(fmt, fmt_length),
                                    zec::text_of(lang_name, lang_length), &text);
    if (code != 0) ZEC_RETURN("OCIDateToText", zec::set_error(err, code));
    if (text.size() + 1 > *buf_size) ZEC_RETURN("OCIDateToText", zec::set_error(err, 1801));
    std::memcpy(buf, text.c_str(), text.size() + 1);
    *buf_size = static_cast<ub4>(text.size());
  } catch (...) {
    ZEC_RETURN("OCIDateToText", zec::set_error(err, 600, "out of memory"));
  }
  ZEC_RETURN("OCIDateToText", OCI_SUCCESS);
}

}  // extern "C"
