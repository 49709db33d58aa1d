// Values at byte offsets of host records and OCI buffers, which are packed
// and need not be aligned.
#pragma once

#include <cstdint>
#include <cstring>

namespace zorvan {

template <class T>
T load(const uint8_t *at) noexcept {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void store(uint8_t *at, T value) noexcept {
  std::memcpy(at, &value, sizeof value);
}

}  // namespace zorvan
