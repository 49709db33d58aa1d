#include "src/handles.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_set>

#include "src/database.h"

namespace zec {
namespace {

constexpr uint32_t kLive = 0x4F434948;

std::unordered_set<Handle *> &live() {
  static std::unordered_set<Handle *> handles;
  return handles;
}

}  // namespace

Handle *live_handle(const void *pointer, ub4 type) noexcept {
  if (pointer == nullptr) return nullptr;
  auto *handle = static_cast<Handle *>(const_cast<void *>(pointer));
  if (live().count(handle) == 0) return nullptr;
  if (type != 0 && handle->type != type) return nullptr;
  return handle;
}

Handle *new_handle(ub4 type, bool descriptor, Handle *environment, Handle *owner) noexcept {
  try {
    auto *handle = new Handle{};
    handle->magic = kLive;
    handle->type = type;
    handle->descriptor = descriptor;
    handle->environment = environment;
    handle->owner = owner;
    live().insert(handle);
    if (owner != nullptr) owner->owned.push_back(handle);
    return handle;
  } catch (...) {
    return nullptr;
  }
}

void free_handle(Handle *handle) noexcept {
  if (handle == nullptr || live().erase(handle) == 0) return;
  // What it owns goes first; each child unhooks itself from this list.
  while (!handle->owned.empty()) {
    Handle *child = handle->owned.back();
    handle->owned.pop_back();
    child->owner = nullptr;
    free_handle(child);
  }
  if (Handle *owner = live_handle(handle->owner)) {
    auto &siblings = owner->owned;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
  }
  // A session freed while open ends as a logoff would: its work is kept.
  if (handle->connection != nullptr) end_session_connection(*handle);
  if (handle->server_connection != nullptr) sqlite3_close_v2(handle->server_connection);
  handle->magic = 0;
  delete handle;
}

int live_count() noexcept { return static_cast<int>(live().size()); }

}  // namespace zec
