// The OCINumber functions: Oracle's NUMBER arithmetic on the 22-byte form.
#include <cstring>
#include <string>

#include "src/errors.h"
#include "src/handles.h"
#include "src/oracle/number.h"
#include "src/text.h"
#include "src/trace.h"

namespace zec {
namespace {

using oracle::Number;

// Checks the error handle and the arguments every number function shares.
// On failure *status holds what to return.
bool valid_error(OCIError *err, sword *status) {
  if (live_handle(err, OCI_HTYPE_ERROR) == nullptr) {
    *status = OCI_INVALID_HANDLE;
    return false;
  }
  clear_errors(err);
  return true;
}

sword fail(OCIError *err, int code, const std::string &parameter = std::string()) {
  return set_error(err, code, parameter.c_str());
}

bool read(OCIError *err, const OCINumber *in, int position, Number *out, sword *status) {
  if (in == nullptr) {
    *status = fail(err, 21560, std::to_string(position));
    return false;
  }
  if (oracle::decode(in->OCINumberPart, out) != 0) {
    *status = fail(err, oracle::kInvalidNumber, std::to_string(position));
    return false;
  }
  return true;
}

// Stores a result, or records the failure that prevented it.
sword store(OCIError *err, int code, const Number &value, OCINumber *result, int position) {
  if (code != 0) return fail(err, code, code == oracle::kOutOfRange ? "x" : "");
  if (result == nullptr) return fail(err, 21560, std::to_string(position));
  oracle::encode(value, result->OCINumberPart);
  return OCI_SUCCESS;
}

using Unary = int (*)(const Number &, Number *);
using Binary = int (*)(const Number &, const Number &, Number *);

sword unary(OCIError *err, const OCINumber *number, OCINumber *result, Unary f) {
  sword status;
  Number x;
  Number r;
  if (!valid_error(err, &status) || !read(err, number, 2, &x, &status)) return status;
  try {
    return store(err, f(x, &r), r, result, 3);
  } catch (...) {
    return fail(err, 600, "out of memory");
  }
}

sword binary(OCIError *err, const OCINumber *a, const OCINumber *b, OCINumber *result, Binary f) {
  sword status;
  Number x;
  Number y;
  Number r;
  if (!valid_error(err, &status) || !read(err, a, 2, &x, &status) || !read(err, b, 3, &y, &status))
    return status;
  try {
    return store(err, f(x, y, &r), r, result, 4);
  } catch (...) {
    return fail(err, 600, "out of memory");
  }
}

}  // namespace
}  // namespace zec

extern "C" {

#define ZEC_UNARY(name, function)                                                   \
  ZEC_EXPORT sword __cdecl name(OCIError *err, const OCINumber *number, OCINumber *result) { \
    ZEC_ENTER(#name, err, number, result);                                          \
    ZEC_RETURN(#name, zec::unary(err, number, result, zec::oracle::function));     \
  }
ZEC_UNARY(OCINumberSqrt, sqrt)
ZEC_UNARY(OCINumberExp, exp)
ZEC_UNARY(OCINumberLn, ln)
ZEC_UNARY(OCINumberSin, sin)
ZEC_UNARY(OCINumberCos, cos)
ZEC_UNARY(OCINumberTan, tan)
ZEC_UNARY(OCINumberArcSin, arc_sin)
ZEC_UNARY(OCINumberArcCos, arc_cos)
ZEC_UNARY(OCINumberArcTan, arc_tan)
ZEC_UNARY(OCINumberHypSin, hyp_sin)
ZEC_UNARY(OCINumberHypCos, hyp_cos)
ZEC_UNARY(OCINumberHypTan, hyp_tan)
#undef ZEC_UNARY

#define ZEC_BINARY(name, function, first, second)                                     \
  ZEC_EXPORT sword __cdecl name(OCIError *err, const OCINumber *first, const OCINumber *second, \
                                OCINumber *result) {                                  \
    ZEC_ENTER(#name, err, first, second, result);                                     \
    ZEC_RETURN(#name, zec::binary(err, first, second, result, zec::oracle::function)); \
  }
ZEC_BINARY(OCINumberAdd, add, number1, number2)
ZEC_BINARY(OCINumberSub, subtract, number1, number2)
ZEC_BINARY(OCINumberMul, multiply, number1, number2)
ZEC_BINARY(OCINumberDiv, divide, number1, number2)
ZEC_BINARY(OCINumberPower, power, base, number)
ZEC_BINARY(OCINumberLog, log, base, number)
ZEC_BINARY(OCINumberArcTan2, arc_tan2, number1, number2)
#undef ZEC_BINARY

#define ZEC_WITH_INTEGER(name, function, argument)                                        \
  ZEC_EXPORT sword __cdecl name(OCIError *err, const OCINumber *number, sword argument,   \
                                OCINumber *result) {                                     \
    ZEC_ENTER(#name, err, number, argument, result);                                     \
    sword status;                                                                        \
    zec::oracle::Number x;                                                               \
    zec::oracle::Number r;                                                               \
    if (!zec::valid_error(err, &status) || !zec::read(err, number, 2, &x, &status))      \
      ZEC_RETURN(#name, status);                                                         \
    try {                                                                                \
      ZEC_RETURN(#name, zec::store(err, zec::oracle::function(x, argument, &r), r, result, 4)); \
    } catch (...) {                                                                      \
      ZEC_RETURN(#name, zec::fail(err, 600, "out of memory"));                           \
    }                                                                                    \
  }
ZEC_WITH_INTEGER(OCINumberIntPower, int_power, exp)
ZEC_WITH_INTEGER(OCINumberRound, round, decplace)
ZEC_WITH_INTEGER(OCINumberTrunc, trunc, decplace)
#undef ZEC_WITH_INTEGER

ZEC_EXPORT sword __cdecl OCINumberFromReal(OCIError *err, const void *rnum, uword rnum_length,
                                           OCINumber *number) {
  ZEC_ENTER("OCINumberFromReal", err, rnum, rnum_length, number);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCINumberFromReal", status);
  if (rnum == nullptr || number == nullptr) ZEC_RETURN("OCINumberFromReal", zec::fail(err, 21560, rnum ? "4" : "2"));
  double value;
  if (rnum_length == sizeof(float)) {
    float f;
    std::memcpy(&f, rnum, sizeof f);
    value = f;
  } else if (rnum_length == sizeof(double)) {
    std::memcpy(&value, rnum, sizeof value);
  } else if (rnum_length == sizeof(long double)) {
    long double l;
    std::memcpy(&l, rnum, sizeof l);
    value = static_cast<double>(l);
  } else {
    ZEC_RETURN("OCINumberFromReal", zec::fail(err, 21560, "3"));
  }
  zec::oracle::Number n;
  try {
    ZEC_RETURN("OCINumberFromReal", zec::store(err, zec::oracle::from_double(value, &n), n, number, 4));
  } catch (...) {
    ZEC_RETURN("OCINumberFromReal", zec::fail(err, 600, "out of memory"));
  }
}

ZEC_EXPORT sword __cdecl OCINumberToReal(OCIError *err, const OCINumber *number, uword rsl_length,
                                         void *rsl) {
  ZEC_ENTER("OCINumberToReal", err, number, rsl_length, rsl);
  sword status;
  zec::oracle::Number n;
  if (!zec::valid_error(err, &status) || !zec::read(err, number, 2, &n, &status))
    ZEC_RETURN("OCINumberToReal", status);
  if (rsl == nullptr) ZEC_RETURN("OCINumberToReal", zec::fail(err, 21560, "4"));
  double value = 0;
  try {
    if (int code = zec::oracle::to_double(n, &value)) ZEC_RETURN("OCINumberToReal", zec::fail(err, code));
  } catch (...) {
    ZEC_RETURN("OCINumberToReal", zec::fail(err, 600, "out of memory"));
  }
  if (rsl_length == sizeof(float)) {
    float f = static_cast<float>(value);
    std::memcpy(rsl, &f, sizeof f);
  } else if (rsl_length == sizeof(double)) {
    std::memcpy(rsl, &value, sizeof value);
  } else if (rsl_length == sizeof(long double)) {
    long double l = value;
    std::memcpy(rsl, &l, sizeof l);
  } else {
    ZEC_RETURN("OCINumberToReal", zec::fail(err, 21560, "3"));
  }
  ZEC_RETURN("OCINumberToReal", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCINumberToText(OCIError *err, const OCINumber *number, const OraText *fmt,
                                         ub4 fmt_length, const OraText *nls_params, ub4 nls_p_length,
                                         ub4 *buf_size, OraText *buf) {
  ZEC_ENTER("OCINumberToText", err, number, fmt, fmt_length, nls_params, nls_p_length, buf_size, buf);
  sword status;
  zec::oracle::Number n;
  if (!zec::valid_error(err, &status) || !zec::read(err, number, 2, &n, &status))
    ZEC_RETURN("OCINumberToText", status);
  if (buf_size == nullptr || buf == nullptr) ZEC_RETURN("OCINumberToText", zec::fail(err, 21560, "8"));
  try {
    std::string text;
    std::string parameter;
    int code = zec::oracle::to_text(n, zec::text_of(fmt, fmt_length),
                                    zec::text_of(nls_params, nls_p_length), &text, &parameter);
    if (code != 0) ZEC_RETURN("OCINumberToText", zec::fail(err, code, parameter));
    if (text.size() + 1 > *buf_size) {
      std::string sizes = std::to_string(*buf_size) + zec::kParameterSeparator + std::to_string(text.size() + 1);
      ZEC_RETURN("OCINumberToText", zec::fail(err, zec::oracle::kBufferTooSmall, sizes));
    }
    std::memcpy(buf, text.c_str(), text.size() + 1);
    *buf_size = static_cast<ub4>(text.size());
  } catch (...) {
    ZEC_RETURN("OCINumberToText", zec::fail(err, 600, "out of memory"));
  }
  ZEC_RETURN("OCINumberToText", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCINumberFromText(OCIError *err, const OraText *str, ub4 str_length,
                                           const OraText *fmt, ub4 fmt_length,
                                           const OraText *nls_params, ub4 nls_p_length,
                                           OCINumber *number) {
  ZEC_ENTER("OCINumberFromText", err, str, str_length, fmt, fmt_length, nls_params, nls_p_length, number);
  sword status;
  if (!zec::valid_error(err, &status)) ZEC_RETURN("OCINumberFromText", status);
  if (str == nullptr || number == nullptr) ZEC_RETURN("OCINumberFromText", zec::fail(err, 21560, str ? "8" : "2"));
  try {
    std::string text = zec::text_of(str, str_length);
    if (text.empty()) ZEC_RETURN("OCINumberFromText", zec::fail(err, zec::oracle::kInvalidInput, ""));
    zec::oracle::Number n;
    std::string parameter;
    int code = zec::oracle::from_text(text, zec::text_of(fmt, fmt_length),
                                      zec::text_of(nls_params, nls_p_length), &n, &parameter);
    if (code != 0) ZEC_RETURN("OCINumberFromText", zec::fail(err, code, parameter));
    zec::oracle::encode(n, number->OCINumberPart);
  } catch (...) {
    ZEC_RETURN("OCINumberFromText", zec::fail(err, 600, "out of memory"));
  }
  ZEC_RETURN("OCINumberFromText", OCI_SUCCESS);
}

}  // extern "C"
