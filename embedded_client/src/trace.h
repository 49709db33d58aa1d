// Every exported function starts by recording its call and consulting the
// scripts; ZEC_RETURN ends it so that an "after" script can replace the
// status.
#pragma once

#include <cstdint>
#include <type_traits>

#include "oci.h"

#if defined(_WIN32)
#  define ZEC_EXPORT
#else
#  define ZEC_EXPORT __attribute__((visibility("default")))
#endif

namespace zec {

template <class T>
uint32_t word(T value) noexcept {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
  } else {
    return static_cast<uint32_t>(value);
  }
}

struct Entry {
  bool instead;  // a script replaces the call
  sword status;
};

Entry enter_words(const char *function, const uint32_t *args, int count) noexcept;
sword leave(const char *function, sword status) noexcept;

template <class... Args>
Entry enter(const char *function, Args... args) noexcept {
  const uint32_t words[] = {word(args)...};
  return enter_words(function, words, static_cast<int>(sizeof...(Args)));
}

// What zec_script_piece_length asked to add to the next define piece's
// length (0 when nothing was asked); asking again starts from 0.
uint32_t take_piece_overstatement() noexcept;

// The error of a function this client does not carry out yet.
sword unimplemented(OCIError *error) noexcept;

}  // namespace zec

#define ZEC_ENTER(...)                                \
  do {                                                \
    ::zec::Entry entry_ = ::zec::enter(__VA_ARGS__);  \
    if (entry_.instead) return entry_.status;         \
  } while (0)
#define ZEC_ENTER_VOID(...) ::zec::enter(__VA_ARGS__)
#define ZEC_RECORD(...) ::zec::enter(__VA_ARGS__)
#define ZEC_RETURN(function, status) return ::zec::leave(function, status)
