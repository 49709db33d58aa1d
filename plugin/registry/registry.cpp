#include "registry/registry.h"

#include <cstring>

#include "statement/records.h"
#include "support/memory.h"

namespace zorvan {
namespace {

constexpr uint32_t kInitialBits = 8;   // 256 buckets to start with
constexpr uint32_t kMaximumBits = 24;  // 16M buckets: far past any real program

struct Table {
  RegistryNode *initial[1u << kInitialBits] = {};
  RegistryNode **heads = initial;
  uint32_t bits = kInitialBits;
  uint32_t count = 0;
  RegistryNode *spare = nullptr;  // a node set aside by registry_reserve
};
Table g_table;

uint32_t bucket_of(uint32_t handle, uint32_t bits) noexcept {
  // Fibonacci hashing: the multiplication carries every bit of the address,
  // alignment zeros included, into the high bits that choose the bucket.
  return (handle * 2654435769u) >> (32 - bits);
}

// Doubles the bucket array. When the heap cannot supply a larger one the
// table keeps working with longer chains.
void grow() noexcept {
  if (g_table.bits >= kMaximumBits) return;
  uint32_t bits = g_table.bits + 1;
  size_t buckets = size_t{1} << bits;
  auto **heads = static_cast<RegistryNode **>(plugin_alloc(buckets * sizeof(RegistryNode *)));
  if (heads == nullptr) return;
  std::memset(heads, 0, buckets * sizeof(RegistryNode *));

  // Move the nodes over, keeping each chain's newest-first order.
  size_t old_buckets = size_t{1} << g_table.bits;
  for (size_t b = old_buckets; b-- > 0;) {
    // Walk each old chain oldest to newest by reversing it first, so that
    // pushing onto the new heads leaves the newest in front.
    RegistryNode *reversed = nullptr;
    for (RegistryNode *node = g_table.heads[b]; node != nullptr;) {
      RegistryNode *next = node->next;
      node->next = reversed;
      reversed = node;
      node = next;
    }
    for (RegistryNode *node = reversed; node != nullptr;) {
      RegistryNode *next = node->next;
      uint32_t target = bucket_of(node->handle, bits);
      node->next = heads[target];
      heads[target] = node;
      node = next;
    }
  }
  if (g_table.heads != g_table.initial) plugin_free(g_table.heads);
  g_table.heads = heads;
  g_table.bits = bits;
}

}  // namespace

int32_t registry_find(uint32_t handle, RegistryNode **node) noexcept {
  for (RegistryNode *n = g_table.heads[bucket_of(handle, g_table.bits)]; n != nullptr; n = n->next) {
    if (n->handle == handle) {
      if (node) *node = n;
      return n->type;
    }
  }
  if (node) *node = nullptr;
  return 0;
}

// The same walk as registry_find, kept apart: every command's handle check
// runs it.
int32_t registry_type(uint32_t handle) noexcept {
  for (const RegistryNode *n = g_table.heads[bucket_of(handle, g_table.bits)]; n != nullptr; n = n->next)
    if (n->handle == handle) return n->type;
  return 0;
}

RegistryAdd registry_add(uint32_t handle, int32_t type, uint32_t parent) noexcept {
  if (registry_type(handle) != 0) return RegistryAdd::AlreadyRegistered;
  RegistryNode *node = g_table.spare;
  g_table.spare = nullptr;
  if (node == nullptr) node = static_cast<RegistryNode *>(plugin_alloc(sizeof(RegistryNode)));
  if (node == nullptr) return RegistryAdd::NoMemory;
  if (g_table.count >= (1u << g_table.bits)) grow();
  uint32_t b = bucket_of(handle, g_table.bits);
  *node = RegistryNode{handle, type, g_table.heads[b], nullptr, nullptr, nullptr, 0, parent};
  g_table.heads[b] = node;
  ++g_table.count;
  return RegistryAdd::Added;
}

int registry_remove(uint32_t handle) noexcept {
  if (handle == 0) return 1;
  RegistryNode **link = &g_table.heads[bucket_of(handle, g_table.bits)];
  for (RegistryNode *node = *link; node != nullptr; link = &node->next, node = node->next) {
    if (node->handle == handle) {
      *link = node->next;
      --g_table.count;
      registry_free_node(node);
      return 0;
    }
  }
  return 1;
}

void registry_free_node(RegistryNode *node) noexcept {
  if (node == nullptr) return;
  if (node->type == 4) {  // a statement owns its text and its records
    plugin_free(node->statement_text);
    bind_list_free(node->binds);
    define_list_free(node->defines);
  }
  plugin_free(node);
}

uint32_t registry_free_all() noexcept {
  uint32_t freed = 0;
  size_t buckets = size_t{1} << g_table.bits;
  for (size_t b = 0; b < buckets; ++b) {
    for (RegistryNode *node = g_table.heads[b]; node != nullptr;) {
      RegistryNode *next = node->next;
      registry_free_node(node);
      ++freed;
      node = next;
    }
    g_table.heads[b] = nullptr;
  }
  g_table.count = 0;
  plugin_free(g_table.spare);
  g_table.spare = nullptr;
  return freed;
}

bool registry_reserve() noexcept {
  if (g_table.spare == nullptr) g_table.spare = static_cast<RegistryNode *>(plugin_alloc(sizeof(RegistryNode)));
  return g_table.spare != nullptr;
}

void registry_clear() noexcept {
  size_t buckets = size_t{1} << g_table.bits;
  std::memset(g_table.heads, 0, buckets * sizeof(RegistryNode *));
  g_table.count = 0;
}

uint32_t registry_count() noexcept { return g_table.count; }

}  // namespace zorvan
