// The host callback protocol: every service the plug-in asks of the Zorvan
// host is one call of the host callback with an entry code and a
// HostCallRecord built on the caller's stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "host_abi.h"

namespace zorvan::host {

using abi::HostCallRecord;

// A NUL-terminated ANSI string as the plug-in keeps it: at most 255
// characters, the most a host string can hold.
inline constexpr size_t kStringSize = 256;
using ZString = char[kStringSize];

// A host variable's 260-byte record, with its type tag in byte 0.
struct HostVariable {
  uint8_t bytes[abi::kHostVariableSize];
};
static_assert(sizeof(HostVariable) == 260);

// The callback and the two text settings. The settings never change during
// a run; event -1 sets them again.
void set_callback(abi::HostCallback callback) noexcept;
abi::HostCallback callback() noexcept;
void reset_text_settings() noexcept;

// Memory handles (entry -434).
uint32_t handle_new(uint32_t size) noexcept;
void handle_dispose(uint32_t handle) noexcept;
bool handle_set_size(uint32_t handle, uint32_t size) noexcept;
uint32_t handle_get_size(uint32_t handle) noexcept;
void *handle_lock(uint32_t handle) noexcept;
void handle_unlock(uint32_t handle) noexcept;

// Text and bytes between a host handle and a plug-in buffer (entry -424).
// The from-forms return the full length the host holds and deliver at most
// destination.size() bytes of it; an empty destination asks for the length
// only. No NUL is appended. A null handle yields 0 without a call.
uint32_t text_from_handle(uint32_t handle, std::span<uint8_t> destination) noexcept;
uint32_t bytes_from_handle(uint32_t handle, std::span<uint8_t> destination) noexcept;
// The to-forms make a new host handle (0 on failure) from the source. For
// text the host may keep fewer bytes; length receives what it kept.
uint32_t text_to_handle(const uint8_t *source, uint32_t &length) noexcept;
uint32_t bytes_to_handle(const uint8_t *source, uint32_t length) noexcept;

// Host string (length-prefixed, host characters) -> NUL-terminated ANSI.
void string_to_zstr(const void *host_string, ZString &destination) noexcept;
// NUL-terminated ANSI -> host string. At most 255 characters cross; a longer
// source is cut, since no host string can hold more.
void string_from_zstr(const char *source, void *host_string) noexcept;

// Variables (entries -585, -586, -19, -125).
HostVariable variable_get(const void *variable_pointer) noexcept;
void variable_set(const void *variable_pointer, const HostVariable &value) noexcept;

// The environment flag word (entry -56) and its one bit the plug-in reads.
uint32_t environment_flags() noexcept;
bool indirect_variable_mode() noexcept;

// Removes a name prefix (the byte 0xD7, or "<>") from a length-prefixed name
// in place; returns the prefix's length, 0 when there was none.
int strip_name_prefix(uint8_t *name) noexcept;

// Looks a variable up by name: a NUL-terminated ANSI name, or in indirect
// variable mode a length-prefixed host name. Prefixed names use -125.
HostVariable variable_by_name(const void *name) noexcept;

// Looks a variable up by a length-prefixed host name of at most max_length
// characters, with entry -19 or (prefixed scope) -125.
HostVariable variable_by_host_name(const uint8_t *prefixed_name, size_t max_length,
                                   bool prefixed_scope) noexcept;

// Calls a host method with n argument variables; the method's result, or an
// undefined variable when the argument block cannot be had.
HostVariable call_method(int32_t method_id, std::span<const HostVariable> arguments) noexcept;
// The id of the method with that NUL-terminated ANSI name; -1 if none.
int32_t method_id(const char *name) noexcept;

// Tells the host that one more piece is being handed to OCI (entry -93).
void piece_notify() noexcept;

}  // namespace zorvan::host
