// The process-wide registry of the OCI handles and descriptors handed to
// host code, with their OCI types, parents and per-statement data.
//
// Lookups are constant-time at any size: the nodes are chained in buckets
// chosen by a multiplicative hash of the handle (OCI's addresses are 8- or
// 16-byte aligned, so their low bits alone would fill few buckets), and the
// bucket array doubles as the handle count grows.
#pragma once

#include <cstdint>

namespace zorvan {

struct BindRecord;
struct DefineRecord;

struct RegistryNode {
  uint32_t handle;            // the OCI handle or descriptor address
  int32_t type;               // OCI_HTYPE_* or OCI_DTYPE_* (never 0)
  RegistryNode *next;         // the next node of the same bucket
  DefineRecord *defines;      // statements: the define list
  BindRecord *binds;          // statements: the bind list
  char *statement_text;       // statements: the text last prepared, owned
  int32_t last_fetch_status;  // statements: status of the latest fetch
  uint32_t parent;            // binds and defines: their statement
};

enum class RegistryAdd : uint8_t {
  Added,
  AlreadyRegistered,  // the first registration stands
  NoMemory,           // the handle stays unregistered
};

// The registered type, or 0 when the handle is not registered.
int32_t registry_type(uint32_t handle) noexcept;
int32_t registry_find(uint32_t handle, RegistryNode **node) noexcept;
RegistryAdd registry_add(uint32_t handle, int32_t type, uint32_t parent) noexcept;
// Sets a node aside for the next registry_add, so that a command can make
// sure of its memory before OCI takes anything it cannot give back. False
// when there is no memory for it.
bool registry_reserve() noexcept;
// 0 when the handle was found, unlinked and freed; 1 for a null or unknown one.
int registry_remove(uint32_t handle) noexcept;
void registry_free_node(RegistryNode *node) noexcept;
// Frees every node; returns how many.
uint32_t registry_free_all() noexcept;
// Empties the table without freeing anything: nodes still linked are
// abandoned (the initialisation event does this on purpose).
void registry_clear() noexcept;
uint32_t registry_count() noexcept;

}  // namespace zorvan
