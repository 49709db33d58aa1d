#include "src/handles.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_set>

namespace zec {
namespace {

constexpr uint32_t kLive = 0x4F434948;

std::unordered_set<Handle *> &live_set() {
  static std::unordered_set<Handle *> handles;
  return handles;
}

Handle *make(ub4 type, bool descriptor) {
  if (!descriptor) {
    switch (type) {
      case OCI_HTYPE_ENV: return new Environment;
      case OCI_HTYPE_SVCCTX: return new ServiceContext;
      case OCI_HTYPE_STMT: return new Statement;
      case OCI_HTYPE_BIND: return new Bind;
      case OCI_HTYPE_DEFINE: return new Define;
      case OCI_HTYPE_DESCRIBE: return new Describe;
      case OCI_HTYPE_SERVER: return new Server;
      case OCI_HTYPE_SESSION: return new SessionHandle;
      case OCI_HTYPE_TRANS: return new Transaction;
      default: return new Handle;
    }
  }
  switch (type) {
    case OCI_DTYPE_PARAM: return new Parameter;
    case OCI_DTYPE_LOB: case OCI_DTYPE_FILE: return new LobLocator;
    case OCI_DTYPE_ROWID: return new RowidDescriptor;
    default: return new Handle;
  }
}

}  // namespace

Handle *live_handle(const void *pointer, ub4 type) noexcept {
  if (pointer == nullptr) return nullptr;
  auto *handle = static_cast<Handle *>(const_cast<void *>(pointer));
  if (live_set().count(handle) == 0) return nullptr;
  if (type != 0 && handle->type != type) return nullptr;
  return handle;
}

Handle *new_handle(ub4 type, bool descriptor, Handle *environment, Handle *owner) noexcept {
  try {
    Handle *handle = make(type, descriptor);
    handle->magic = kLive;
    handle->type = type;
    handle->descriptor = descriptor;
    handle->environment = environment;
    handle->owner = owner;
    try {
      live_set().insert(handle);
      if (owner != nullptr) owner->owned.push_back(handle);
    } catch (...) {
      live_set().erase(handle);
      delete handle;
      return nullptr;
    }
    return handle;
  } catch (...) {
    return nullptr;
  }
}

void free_handle(Handle *handle) noexcept {
  if (handle == nullptr || live_set().erase(handle) == 0) return;
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
  if (handle->type == OCI_HTYPE_ENV && !handle->descriptor) free_objects_of(handle);
  if (handle->type == OCI_HTYPE_SESSION && !handle->descriptor) {
    // A session freed while open ends as a logoff would: its work is kept.
    auto *session = static_cast<SessionHandle *>(handle);
    if (session->sql) sql::close_session(*session->sql, 1012);
    session->sql.reset();
    if (Server *server = live<Server>(session->server, OCI_HTYPE_SERVER)) server->sessions.erase(session);
  }
  if (handle->type == OCI_HTYPE_SERVER && !handle->descriptor) {
    auto *server = static_cast<Server *>(handle);
    for (SessionHandle *session : server->sessions) {
      if (live_handle(session, OCI_HTYPE_SESSION) && session->sql) {
        sql::close_session(*session->sql, 3114);
        session->sql.reset();
      }
    }
    server->sessions.clear();
    if (server->accounts) sqlite3_close_v2(server->accounts);
    server->accounts = nullptr;
  }
  handle->magic = 0;
  delete handle;
}

int live_count() noexcept { return static_cast<int>(live_set().size()); }

Charset charset_of(const Handle *h) noexcept {
  if (h == nullptr) return Charset::WE8MSWIN1252;
  const Handle *env = h->type == OCI_HTYPE_ENV && !h->descriptor ? h : h->environment;
  if (env == nullptr || live_handle(env, OCI_HTYPE_ENV) == nullptr) return Charset::WE8MSWIN1252;
  return static_cast<const Environment *>(env)->charset;
}

void free_all_handles() noexcept {
  // Roots first (environments and handles with no owner); each takes what
  // it owns with it.
  for (;;) {
    Handle *root = nullptr;
    for (Handle *h : live_set())
      if (live_handle(h->owner) == nullptr) {
        root = h;
        break;
      }
    if (root == nullptr) return;
    free_handle(root);
  }
}

}  // namespace zec
