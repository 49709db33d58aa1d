// The engine's failures: an ORA code and the parameters of its message
// (divided by kParameterSeparator). Thrown inside the engine and caught at
// every entry from OCI, so no exception leaves the client.
#pragma once

#include <string>

#include "oci.h"

namespace zec::sql {

struct SqlError {
  sb4 code = 0;
  std::string parameter;
  std::string trailer;  // lines after the message: PL/SQL's "ORA-06512: at line n"

  SqlError() = default;
  SqlError(sb4 c, std::string p = std::string(), std::string t = std::string())
      : code(c), parameter(std::move(p)), trailer(std::move(t)) {}
};

[[noreturn]] inline void fail(sb4 code, std::string parameter = std::string()) {
  throw SqlError{code, std::move(parameter)};
}

// Errors raised inside SQLite custom functions travel in the function's
// error message: this prefix, the code, the separator, the parameter.
inline constexpr char kFunctionErrorPrefix[] = "\x01ORA";

}  // namespace zec::sql
