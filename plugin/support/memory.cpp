#include "support/memory.h"

#include <cstdlib>
#include <cstring>

namespace zorvan {
namespace {
uint32_t g_allocations = 0;  // since the last memory_fail_at
uint32_t g_fail_at = 0;      // 0: no injected failure
uint32_t g_live = 0;         // blocks allocated and not yet freed
}  // namespace

void *plugin_alloc(size_t size) noexcept {
  if (size == 0) return nullptr;
  ++g_allocations;
  if (g_fail_at != 0 && g_allocations == g_fail_at) return nullptr;
  void *block = std::malloc(size);
  if (block != nullptr) ++g_live;
  return block;
}

void plugin_free(void *block) noexcept {
  if (block == nullptr) return;
  --g_live;
  std::free(block);
}

uint32_t memory_live_blocks() noexcept { return g_live; }

void memory_fail_at(uint32_t n) noexcept {
  g_fail_at = n;
  g_allocations = 0;
}

uint32_t memory_allocation_count() noexcept { return g_allocations; }

HeapBytes heap_bytes(size_t size) noexcept {
  HeapBytes bytes;
  if (size >= SIZE_MAX) return bytes;
  auto *block = static_cast<uint8_t *>(plugin_alloc(size + 1));
  if (block == nullptr) return bytes;
  block[size] = 0;
  bytes.data.reset(block);
  bytes.size = size;
  return bytes;
}

}  // namespace zorvan
