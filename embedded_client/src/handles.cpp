#include "src/handles.h"

#include <cstdio>
#include <unordered_set>

namespace zec {
namespace {

constexpr uint32_t kLive = 0x4F434948;  // "HICO"

std::unordered_set<Handle *> &live() {
  static std::unordered_set<Handle *> handles;
  return handles;
}

struct Message {
  sb4 code;
  const char *text;
};

// Oracle's classic message texts, by code.
constexpr Message kMessages[] = {
    {1, "unique constraint (%s) violated"},
    {942, "table or view does not exist"},
    {1012, "not logged on"},
    {1017, "invalid username/password; logon denied"},
    {3001, "unimplemented feature"},
    {3114, "not connected to ORACLE"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {21560, "argument %s is null, invalid, or out of range"},
};

}  // namespace

Handle *live_handle(const void *pointer, ub4 type) noexcept {
  if (pointer == nullptr) return nullptr;
  auto *handle = static_cast<Handle *>(const_cast<void *>(pointer));
  if (live().count(handle) == 0) return nullptr;
  if (type != 0 && handle->type != type) return nullptr;
  return handle;
}

Handle *new_handle(ub4 type, bool descriptor, Handle *environment) noexcept {
  try {
    auto *handle = new Handle{kLive, type, descriptor, environment, {}};
    live().insert(handle);
    return handle;
  } catch (...) {
    return nullptr;
  }
}

void free_handle(Handle *handle) noexcept {
  if (handle == nullptr || live().erase(handle) == 0) return;
  if (handle->type == OCI_HTYPE_ENV && !handle->descriptor) {
    std::vector<Handle *> children;
    for (Handle *h : live())
      if (h->environment == handle) children.push_back(h);
    for (Handle *child : children) {
      live().erase(child);
      child->magic = 0;
      delete child;
    }
  }
  handle->magic = 0;
  delete handle;
}

int live_count() noexcept { return static_cast<int>(live().size()); }

std::string ora_message(sb4 code, const char *parameter) noexcept {
  const char *text = "message not found";
  for (const Message &m : kMessages)
    if (m.code == code) text = m.text;
  char formatted[OCI_ERROR_MAXMSG_SIZE + 16];
  char body[OCI_ERROR_MAXMSG_SIZE];
  std::snprintf(body, sizeof body, text, parameter ? parameter : "");
  std::snprintf(formatted, sizeof formatted, "ORA-%05d: %s\n", static_cast<int>(code), body);
  return formatted;
}

void set_error(const void *error_handle, sb4 code, const char *parameter) noexcept {
  Handle *handle = live_handle(error_handle);
  if (handle == nullptr || (handle->type != OCI_HTYPE_ERROR && handle->type != OCI_HTYPE_ENV))
    return;
  try {
    handle->errors.assign(1, ErrorRecord{code, ora_message(code, parameter)});
  } catch (...) {
    handle->errors.clear();
  }
}

void clear_errors(const void *error_handle) noexcept {
  if (Handle *handle = live_handle(error_handle)) handle->errors.clear();
}

}  // namespace zec
