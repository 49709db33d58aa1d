#include "host/protocol.h"

#include <cstring>

#include "support/memory.h"

namespace zorvan::host {
namespace {

static_assert(sizeof(void *) == 4, "the host protocol passes addresses in 32-bit words");

abi::HostCallback g_callback = nullptr;
// The text settings: translation on, plug-in strings NUL-terminated. They are
// fixed for the run; the string operations below are written for them.
bool g_translate_text = true;
bool g_zstr_strings = true;

int32_t word(const void *address) noexcept {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(address));
}

// A fresh record for one request. Zeroed, so that whatever field the host
// reads by mistake is at least defined.
struct Request {
  HostCallRecord record{};
};

void send(int32_t entry_code, HostCallRecord &record) noexcept {
  if (g_callback != nullptr) g_callback(entry_code, &record);
}

uint32_t memory_request(abi::MemoryOp op, uint32_t handle, int32_t b = 0,
                        HostCallRecord *out = nullptr) noexcept {
  Request request;
  request.record.word_a = op;
  request.record.handle = handle;
  request.record.word_b = b;
  send(abi::kEntryMemory, request.record);
  if (out != nullptr) *out = request.record;
  return request.record.handle;
}

// One -424 handle-form request from a handle; returns word D (the length).
uint32_t transfer_from(abi::TextOp op, uint32_t handle, void *destination) noexcept {
  Request request;
  request.record.word_a = op;
  request.record.handle = handle;
  request.record.word_b = 0;
  request.record.word_c = word(destination);
  request.record.word_d = 0;
  send(abi::kEntryText, request.record);
  return static_cast<uint32_t>(request.record.word_d);
}

// Reads a handle's data into a bounded destination: the length first, then
// the data straight into the destination when it fits, or through a block of
// the full length whose head is kept when it does not.
uint32_t bounded_from(abi::TextOp op, uint32_t handle, std::span<uint8_t> destination) noexcept {
  if (handle == 0) return 0;
  uint32_t length = transfer_from(op, handle, nullptr);
  if (destination.empty() || length == 0) return length;
  if (length <= destination.size()) {
    transfer_from(op, handle, destination.data());
    return length;
  }
  HeapBytes whole = heap_bytes(length);
  if (!whole) {
    std::memset(destination.data(), 0, destination.size());
    return length;
  }
  transfer_from(op, handle, whole.get());
  std::memcpy(destination.data(), whole.get(), destination.size());
  return length;
}

uint32_t transfer_to(abi::TextOp op, const uint8_t *source, uint32_t &length) noexcept {
  if (source == nullptr) return 0;
  Request request;
  request.record.word_a = op;
  request.record.handle = 0;
  request.record.word_b = 0;
  request.record.word_c = word(source);
  request.record.word_d = static_cast<int32_t>(length);
  send(abi::kEntryText, request.record);
  if (op == abi::kTextToHandle) length = static_cast<uint32_t>(request.record.word_d);
  return request.record.handle;
}

void string_request(int32_t direction, int32_t forms, const void *source,
                    void *destination) noexcept {
  Request request;
  request.record.word_a = direction;
  request.record.word_b = forms;
  request.record.word_c = word(source);
  request.record.word_d = word(destination);
  send(abi::kEntryText, request.record);
}

HostVariable undefined_variable() noexcept {
  HostVariable variable{};
  variable.bytes[0] = static_cast<uint8_t>(abi::kTagUndefined);
  return variable;
}

}  // namespace

void set_callback(abi::HostCallback callback) noexcept { g_callback = callback; }
abi::HostCallback callback() noexcept { return g_callback; }

void reset_text_settings() noexcept {
  g_translate_text = true;
  g_zstr_strings = true;
}

uint32_t handle_new(uint32_t size) noexcept { return memory_request(abi::kMemNew, 0, static_cast<int32_t>(size)); }

void handle_dispose(uint32_t handle) noexcept {
  if (handle != 0) memory_request(abi::kMemDispose, handle);
}

bool handle_set_size(uint32_t handle, uint32_t size) noexcept {
  HostCallRecord reply;
  memory_request(abi::kMemSetSize, handle, static_cast<int32_t>(size), &reply);
  return reply.status == 0;
}

uint32_t handle_get_size(uint32_t handle) noexcept {
  HostCallRecord reply;
  memory_request(abi::kMemGetSize, handle, 0, &reply);
  return static_cast<uint32_t>(reply.word_b);
}

void *handle_lock(uint32_t handle) noexcept {
  HostCallRecord reply;
  memory_request(abi::kMemLock, handle, 0, &reply);
  return reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<uint32_t>(reply.word_c)));
}

void handle_unlock(uint32_t handle) noexcept { memory_request(abi::kMemUnlock, handle); }

uint32_t text_from_handle(uint32_t handle, std::span<uint8_t> destination) noexcept {
  return bounded_from(abi::kTextFromHandle, handle, destination);
}

uint32_t bytes_from_handle(uint32_t handle, std::span<uint8_t> destination) noexcept {
  return bounded_from(abi::kBytesFromHandle, handle, destination);
}

uint32_t text_to_handle(const uint8_t *source, uint32_t &length) noexcept {
  return transfer_to(abi::kTextToHandle, source, length);
}

uint32_t bytes_to_handle(const uint8_t *source, uint32_t length) noexcept {
  return transfer_to(abi::kBytesToHandle, source, length);
}

void string_to_zstr(const void *host_string, ZString &destination) noexcept {
  destination[0] = '\0';
  if (host_string == nullptr) return;
  string_request(g_translate_text ? abi::kTextFromHandle : abi::kBytesFromHandle,
                 g_zstr_strings ? abi::kPrefixedToZstr : abi::kPrefixedToPrefixed, host_string,
                 destination);
  destination[kStringSize - 1] = '\0';
}

void string_from_zstr(const char *source, void *host_string) noexcept {
  if (source == nullptr || host_string == nullptr) return;
  ZString bounded;
  size_t length = strnlen(source, kStringSize - 1);
  std::memcpy(bounded, source, length);
  bounded[length] = '\0';
  string_request(g_translate_text ? abi::kTextToHandle : abi::kBytesFromHandle,
                 g_zstr_strings ? abi::kZstrToPrefixed : abi::kPrefixedToPrefixed, bounded,
                 host_string);
}

HostVariable variable_get(const void *variable_pointer) noexcept {
  HostVariable variable = undefined_variable();
  if (variable_pointer == nullptr) return variable;
  Request request;
  request.record.word_a = word(variable_pointer);
  request.record.handle = static_cast<uint32_t>(word(variable.bytes));
  send(abi::kEntryVariableGet, request.record);
  return variable;
}

void variable_set(const void *variable_pointer, const HostVariable &value) noexcept {
  if (variable_pointer == nullptr) return;
  Request request;
  request.record.word_a = word(variable_pointer);
  request.record.handle = static_cast<uint32_t>(word(value.bytes));
  send(abi::kEntryVariableSet, request.record);
}

uint32_t environment_flags() noexcept {
  Request request;
  send(abi::kEntryEnvironmentFlags, request.record);
  return static_cast<uint32_t>(request.record.word_a);
}

bool indirect_variable_mode() noexcept {
  return (environment_flags() & abi::kIndirectVariableMode) != 0;
}

int strip_name_prefix(uint8_t *name) noexcept {
  // The length is compared as a signed byte: names of 128 characters or
  // more are never stripped.
  auto length = static_cast<int8_t>(name[0]);
  int prefix = 0;
  if (length >= 2 && name[1] == abi::kNamePrefixByte) {
    prefix = 1;
  } else if (length >= 3 && name[1] == '<' && name[2] == '>') {
    prefix = 2;
  }
  if (prefix == 0) return 0;
  std::memmove(name + 1, name + 1 + prefix, static_cast<size_t>(length - prefix));
  name[0] = static_cast<uint8_t>(length - prefix);
  return prefix;
}

HostVariable variable_by_name(const void *name) noexcept {
  HostVariable variable = undefined_variable();
  if (name == nullptr) return variable;
  Request request;
  if (indirect_variable_mode()) {
    // Already a host string: copy the length byte and the characters as they
    // are, and a NUL when the field has room for it.
    const auto *prefixed = static_cast<const uint8_t *>(name);
    size_t length = prefixed[0];
    std::memcpy(request.record.name, prefixed, length + 1);
    if (length + 1 < sizeof request.record.name) request.record.name[length + 1] = 0;
  } else {
    string_from_zstr(static_cast<const char *>(name), request.record.name);
  }
  int32_t entry = strip_name_prefix(request.record.name) != 0 ? abi::kEntryVariableByPrefixedName
                                                               : abi::kEntryVariableByName;
  request.record.status = 0;
  request.record.handle = static_cast<uint32_t>(word(variable.bytes));
  send(entry, request.record);
  return variable;
}

HostVariable variable_by_host_name(const uint8_t *prefixed_name, size_t max_length,
                                   bool prefixed_scope) noexcept {
  HostVariable variable = undefined_variable();
  if (prefixed_name == nullptr) return variable;
  Request request;
  size_t length = prefixed_name[0];
  if (length > max_length) length = max_length;
  if (length > sizeof request.record.name - 2) length = sizeof request.record.name - 2;
  request.record.name[0] = static_cast<uint8_t>(length);
  std::memcpy(request.record.name + 1, prefixed_name + 1, length);
  request.record.name[length + 1] = 0;
  request.record.handle = static_cast<uint32_t>(word(variable.bytes));
  send(prefixed_scope ? abi::kEntryVariableByPrefixedName : abi::kEntryVariableByName,
       request.record);
  return variable;
}

HostVariable call_method(int32_t method_id, std::span<const HostVariable> arguments) noexcept {
  HostVariable result = undefined_variable();
  constexpr size_t kMaxArguments = 64;
  if (arguments.size() > kMaxArguments) return result;
  auto block_size = static_cast<uint32_t>((arguments.size() + 1) * sizeof(HostVariable));
  uint32_t block = handle_new(block_size);
  if (block == 0) return result;

  auto *data = static_cast<uint8_t *>(handle_lock(block));
  if (data == nullptr) {
    handle_dispose(block);
    return result;
  }
  std::memcpy(data, result.bytes, sizeof result.bytes);
  for (size_t i = 0; i < arguments.size(); ++i)
    std::memcpy(data + (i + 1) * sizeof(HostVariable), arguments[i].bytes, sizeof(HostVariable));
  handle_unlock(block);

  Request request;
  request.record.handle = block;
  request.record.word_a = method_id;
  request.record.word_b = static_cast<int32_t>(arguments.size());
  send(abi::kEntryCallMethod, request.record);

  data = static_cast<uint8_t *>(handle_lock(block));
  if (data != nullptr) {
    std::memcpy(result.bytes, data, sizeof result.bytes);
    handle_unlock(block);
  }
  handle_dispose(block);
  return result;
}

int32_t method_id(const char *name) noexcept {
  Request request;
  string_from_zstr(name, request.record.name);
  request.record.word_a = -1;
  send(abi::kEntryMethodId, request.record);
  return request.record.word_a;
}

void piece_notify() noexcept {
  Request request;
  send(abi::kEntryPieceNotify, request.record);
}

}  // namespace zorvan::host
