// Texts OCI hands over as a pointer and a byte length.
#pragma once

#include <cstddef>
#include <string>

#include "oci.h"

namespace zec {

// The text, or an empty one for a null pointer.
inline std::string text_of(const OraText *text, size_t length) {
  return text ? std::string(reinterpret_cast<const char *>(text), length) : std::string();
}

}  // namespace zec
