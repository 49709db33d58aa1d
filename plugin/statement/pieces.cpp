#include "statement/pieces.h"

#include <algorithm>
#include <cstring>

#include "host/protocol.h"
#include "registry/registry.h"
#include "statement/buffer_rule.h"
#include "statement/records.h"
#include "support/memory.h"

namespace zorvan {

RegistryNode *statement_node(uint32_t handle) noexcept {
  RegistryNode *node = nullptr;
  return handle != 0 && registry_find(handle, &node) == OCI_HTYPE_STMT ? node : nullptr;
}

namespace {

constexpr uint32_t kBindPiece = 65536;
constexpr uint32_t kMostGrowth = 0x100000;  // a piece of a growing LONG adds at most 1 MiB

uint32_t word_of(const void *handle) noexcept { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }

template <class Record, class List>
Record *record_of(List *head, uint32_t handle, uint32_t Record::*field) noexcept {
  for (Record *r = head; r != nullptr; r = r->next)
    if (r->*field == handle) return r;
  return nullptr;
}

// The statement node of a bind or define handle given to a callback.
RegistryNode *parent_statement(uint32_t handle, int32_t type) noexcept {
  RegistryNode *node = nullptr;
  if (registry_find(handle, &node) != type) return nullptr;
  return statement_node(node->parent);
}

}  // namespace

sb4 __cdecl dynamic_bind_callback(void *, OCIBind *bindp, ub4, ub4, void **bufpp, ub4 *alenp, ub1 *piecep,
                                  void **indpp) noexcept {
  uint32_t handle = word_of(bindp);
  RegistryNode *st = parent_statement(handle, OCI_HTYPE_BIND);
  BindRecord *r = st ? record_of<BindRecord>(st->binds, handle, &BindRecord::bind_handle) : nullptr;
  if (r == nullptr) return OCI_INVALID_HANDLE;
  *indpp = r->sides.indicators;
  // The value the input transfer placed, in pieces from its start.
  uint32_t length = std::min(r->value_length, r->buffer_size);
  uint32_t remaining = std::min(r->bytes_remaining, length);
  *bufpp = r->value_buffer + (length - remaining);
  if (remaining < kBindPiece) {
    *alenp = remaining;
    *piecep = OCI_LAST_PIECE;
  } else {
    *alenp = kBindPiece;
  }
  r->bytes_remaining = remaining - *alenp;
  host::piece_notify();
  return OCI_CONTINUE;
}

sb4 __cdecl dynamic_define_callback(void *, OCIDefine *defnp, ub4, void **bufpp, ub4 **alenpp, ub1 *piecep,
                                    void **indpp, ub2 **rcodep) noexcept {
  uint32_t handle = word_of(defnp);
  RegistryNode *st = parent_statement(handle, OCI_HTYPE_DEFINE);
  DefineRecord *r = st ? record_of<DefineRecord>(st->defines, handle, &DefineRecord::define_handle) : nullptr;
  if (r == nullptr) return OCI_INVALID_HANDLE;
  if (*piecep == OCI_FIRST_PIECE || *piecep == OCI_ONE_PIECE) {
    // A new value: the whole buffer is its room.
    r->bytes_received = 0;
    r->element_size = static_cast<int32_t>(r->buffer_size);
  } else {
    // The piece just filled counts once, even if the buffer cannot grow,
    // and never beyond the buffer, whatever length OCI wrote back.
    uint64_t received = std::min<uint64_t>(static_cast<uint64_t>(std::max(r->bytes_received, 0)) +
                                               static_cast<uint64_t>(std::max(r->element_size, 0)),
                                           r->buffer_size);
    r->bytes_received = static_cast<int32_t>(std::min<uint64_t>(received, kMaxValueBuffer));
    r->element_size = 0;
    uint64_t growth = std::min<uint64_t>(std::max<uint64_t>(received, 1), kMostGrowth);
    uint64_t need = std::min<uint64_t>(received + growth, kMaxValueBuffer);
    if (need <= received) return OCI_ERROR;  // a LONG is at most 2 GB - 1
    growth = need - received;
    if (need > r->buffer_size) {
      // Room for the next piece; the buffer at least doubles, so a long
      // value is copied a bounded number of times, not once a piece.
      uint64_t capacity = std::min<uint64_t>(std::max<uint64_t>(need, 2ull * r->buffer_size), kMaxValueBuffer);
      auto *grown = static_cast<uint8_t *>(plugin_alloc(static_cast<size_t>(capacity)));
      if (grown == nullptr) return OCI_ERROR;
      std::memcpy(grown, r->value_buffer, static_cast<size_t>(received));
      plugin_free(r->value_buffer);
      r->value_buffer = grown;
      r->buffer_size = static_cast<uint32_t>(capacity);
    }
    r->element_size = static_cast<int32_t>(growth);
  }
  *alenpp = reinterpret_cast<ub4 *>(&r->element_size);
  *indpp = r->sides.indicators;
  *rcodep = r->sides.return_codes;
  *bufpp = r->value_buffer + r->bytes_received;
  host::piece_notify();
  return OCI_CONTINUE;
}


}  // namespace zorvan
