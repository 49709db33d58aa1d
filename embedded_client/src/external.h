// OCI's external data types (SQLT_*) and the engine's values: reading an
// IN bind's buffer, writing a define's or OUT bind's, with Oracle's
// indicators, lengths, return codes, truncation and conversions.
#pragma once

#include <string>

#include "oci.h"
#include "src/charset.h"
#include "src/sql/session.h"
#include "src/sql/value.h"

namespace zec {

struct Handle;

// The Oracle type a bind of this external type gives its value; false for
// a type this client does not take.
bool external_type(ub2 dty, sql::Type *type);
// Bytes one element of the type takes in an array of values of value_size.
size_t external_stride(ub2 dty, sb4 value_size);

// Reads one IN value: buffer and value_size as bound, the element's
// indicator and length (either may be null). Throws sql::SqlError
// (ORA-01480, ORA-01460, ORA-22275 ...).
sql::Value read_external(Charset charset, ub2 dty, const void *buffer, sb4 value_size,
                         const sb2 *indicator, const ub2 *length);

// One output element.
struct OutCell {
  void *buffer = nullptr;
  sb4 size = 0;
  ub2 dty = 0;
  sb2 *indicator = nullptr;
  ub2 *length = nullptr;
  ub2 *rcode = nullptr;
};

// Writes one value. A NULL without an indicator is ORA-01405, a value cut
// without an indicator ORA-01406 (both thrown, failing the call); a value
// cut with one sets *truncated, the indicator to the original length (-2
// above 32767) and the return code to 1406. Other failures throw their ORA
// code (ORA-01455, ORA-01722, ORA-00932 ...).
void write_external(sql::Session &s, Charset charset, const sql::Value &v, const OutCell &cell, bool *truncated,
                    Handle *environment);

// The value in the external form of a dynamic (piecewise) define: text or
// bytes, converted as write_external would.
std::string piece_bytes(sql::Session &s, Charset charset, const sql::Value &v, ub2 dty);

}  // namespace zec
