// Every heap block the plug-in owns comes from here, so that a failed
// allocation is one visible path and tests can make any chosen allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace zorvan {

// Returns null when the heap cannot supply the block (or a size of 0 was
// asked for); never throws.
void *plugin_alloc(size_t size) noexcept;
void plugin_free(void *block) noexcept;

// Tests: make the n-th allocation from now fail (1 = the next one); 0 turns
// the fault off. Counts allocations made since the call.
void memory_fail_at(uint32_t n) noexcept;
uint32_t memory_allocation_count() noexcept;
// Blocks allocated and not yet freed.
uint32_t memory_live_blocks() noexcept;

struct PluginFree {
  void operator()(void *block) const noexcept { plugin_free(block); }
};

// An owned, sized byte block. Empty (null) when the allocation failed.
struct HeapBytes {
  std::unique_ptr<uint8_t[], PluginFree> data;
  size_t size = 0;

  explicit operator bool() const noexcept { return data != nullptr; }
  uint8_t *get() const noexcept { return data.get(); }
};

// Allocates size bytes (plus one spare zero byte, so texts can be terminated).
HeapBytes heap_bytes(size_t size) noexcept;

// Constructs a T in a plugin_alloc block; null when it cannot. T must be
// trivially destructible or released with heap_delete.
template <class T, class... Args>
T *heap_new(Args &&...args) noexcept {
  void *block = plugin_alloc(sizeof(T));
  if (block == nullptr) return nullptr;
  return new (block) T{static_cast<Args &&>(args)...};
}

template <class T>
void heap_delete(T *object) noexcept {
  if (object == nullptr) return;
  object->~T();
  plugin_free(object);
}

}  // namespace zorvan
