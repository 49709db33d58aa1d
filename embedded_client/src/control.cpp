// Recording calls and scripting statuses, for tests.
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#endif
#include <string>
#include <vector>

#include <algorithm>

#include "src/charset.h"
#include "src/database.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/trace.h"
#include "zec_control.h"

namespace zec {
namespace {

struct Call {
  std::string function;
  std::vector<uint32_t> args;
};

struct Script {
  std::string function;
  sword status;
  int when;
};

// A value written through a pointer argument once the call has done its
// work: a client that answers more (or less) than it was asked.
struct OutScript {
  std::string function;
  int argument;
  uint32_t value;
  int size;
  uint32_t pointer = 0;  // the argument word of the call it met
  bool armed = false;
};

struct Control {
  bool recording = false;
  std::vector<Call> calls;
  std::vector<Script> scripts;  // consumed in order, one per call
  std::vector<OutScript> outs;
  uint32_t piece_overstatement = 0;  // added to the next define piece's length
};

Control &control() {
  static Control state;
  return state;
}

// Takes the first script for the function with that timing, if any.
bool take_script(const char *function, int when, sword *status) noexcept {
  auto &scripts = control().scripts;
  for (auto it = scripts.begin(); it != scripts.end(); ++it) {
    if (it->when == when && it->function == function) {
      *status = it->status;
      scripts.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace

Entry enter_words(const char *function, const uint32_t *args, int count) noexcept {
  try {
    if (control().recording)
      control().calls.push_back(Call{function, std::vector<uint32_t>(args, args + count)});
  } catch (...) {
    // A record that cannot be kept is lost; the call itself goes on.
  }
  for (OutScript &o : control().outs)
    if (!o.armed && o.function == function && o.argument >= 0 && o.argument < count) {
      o.pointer = args[o.argument];
      o.armed = true;
      break;
    }
  Entry entry{false, OCI_SUCCESS};
  entry.instead = take_script(function, ZEC_INSTEAD, &entry.status);
  return entry;
}

sword leave(const char *function, sword status) noexcept {
  auto &outs = control().outs;
  for (auto it = outs.begin(); it != outs.end(); ++it) {
    if (!it->armed || it->function != function) continue;
    if (it->pointer != 0) {
      void *target = reinterpret_cast<void *>(static_cast<uintptr_t>(it->pointer));
      if (it->size == 1) {
        uint8_t v = static_cast<uint8_t>(it->value);
        std::memcpy(target, &v, 1);
      } else if (it->size == 2) {
        uint16_t v = static_cast<uint16_t>(it->value);
        std::memcpy(target, &v, 2);
      } else {
        std::memcpy(target, &it->value, 4);
      }
    }
    outs.erase(it);
    break;
  }
  sword scripted;
  return take_script(function, ZEC_AFTER, &scripted) ? scripted : status;
}

uint32_t take_piece_overstatement() noexcept {
  uint32_t extra = control().piece_overstatement;
  control().piece_overstatement = 0;
  return extra;
}

sword unimplemented(OCIError *error) noexcept {
  set_error(error, 3001);
  return OCI_ERROR;
}

}  // namespace zec

extern "C" {

ZEC_EXPORT void __cdecl zec_reset(void) {
  zec::control().calls.clear();
  zec::control().scripts.clear();
  zec::control().outs.clear();
  zec::control().piece_overstatement = 0;
}

ZEC_EXPORT void __cdecl zec_record(int on) { zec::control().recording = on != 0; }

ZEC_EXPORT int __cdecl zec_call_count(void) {
  return static_cast<int>(zec::control().calls.size());
}

ZEC_EXPORT int __cdecl zec_call(int index, char *name, int name_size, uint32_t *args,
                                int args_size) {
  const auto &calls = zec::control().calls;
  if (index < 0 || static_cast<size_t>(index) >= calls.size()) return -1;
  const auto &call = calls[static_cast<size_t>(index)];
  if (name != nullptr && name_size > 0) {
    size_t length = std::min(call.function.size(), static_cast<size_t>(name_size - 1));
    std::memcpy(name, call.function.data(), length);
    name[length] = '\0';
  }
  int count = static_cast<int>(call.args.size());
  if (args != nullptr)
    for (int i = 0; i < count && i < args_size; ++i) args[i] = call.args[static_cast<size_t>(i)];
  return count;
}

ZEC_EXPORT int __cdecl zec_count_of(const char *function) {
  int count = 0;
  for (const auto &call : zec::control().calls)
    if (call.function == function) ++count;
  return count;
}

ZEC_EXPORT void __cdecl zec_script(const char *function, int32_t status, int when) {
  try {
    zec::control().scripts.push_back(zec::Script{function, status, when});
  } catch (...) {
  }
}

ZEC_EXPORT void __cdecl zec_script_out(const char *function, int argument, uint32_t value, int size) {
  if (function == nullptr || argument < 0 || (size != 1 && size != 2 && size != 4)) return;
  try {
    zec::control().outs.push_back(zec::OutScript{function, argument, value, size});
  } catch (...) {
  }
}

ZEC_EXPORT void __cdecl zec_script_piece_length(uint32_t extra) { zec::control().piece_overstatement = extra; }

ZEC_EXPORT int __cdecl zec_live_handles(void) { return zec::live_count(); }

ZEC_EXPORT void __cdecl zectest_free_handles(void) { zec::free_all_handles(); }

ZEC_EXPORT int __cdecl zec_execute(void *svchp, const char *sql) {
  auto *service = zec::live<zec::ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  auto *session = service ? zec::live<zec::SessionHandle>(service->session, OCI_HTYPE_SESSION) : nullptr;
  if (session == nullptr || !session->sql || sql == nullptr) return 1012;
  try {
    // The same engine a statement runs on.
    zec::sql::execute_text(*session->sql, zec::to_database(zec::charset_of(session), sql));
    return 0;
  } catch (const zec::sql::SqlError &e) {
    return e.code;
  } catch (...) {
    return 4030;
  }
}

ZEC_EXPORT int __cdecl zec_query(void *svchp, const char *sql, char *value, int size) {
  auto *service = zec::live<zec::ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  auto *session = service ? zec::live<zec::SessionHandle>(service->session, OCI_HTYPE_SESSION) : nullptr;
  if (session == nullptr || !session->sql || value == nullptr || size <= 0 || sql == nullptr) return 1012;
  value[0] = '\0';
  try {
    zec::sql::Cursor cursor;
    cursor.prepare(zec::to_database(zec::charset_of(session), sql));
    struct None : zec::sql::Binds {
      bool type_of(int, zec::sql::Type *) override { return false; }
      zec::sql::Value value(int, uint32_t) override { return zec::sql::Value{}; }
      void assign(int, uint32_t, const zec::sql::Value &, const zec::sql::Type &) override {}
    } binds;
    uint64_t rows = 0;
    cursor.execute(*session->sql, binds, 1, 0, false, &rows);
    if (!cursor.open() || !cursor.next()) return 0;
    zec::sql::Value v = zec::sql::coerce(*session->sql, cursor.column(0), zec::sql::Type::varchar2(32767));
    cursor.close();
    std::string text = zec::to_client(zec::charset_of(session), v.bytes);
    size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(value, text.data(), length);
    value[length] = '\0';
    return 0;
  } catch (const zec::sql::SqlError &e) {
    return e.code;
  } catch (...) {
    return 4030;
  }
}

ZEC_EXPORT int __cdecl zec_environment(const char *name, char *value, int size) {
  if (value == nullptr || size <= 0) return -1;
#if defined(_WIN32)
  // The operating system's own table, not a runtime's copy of it.
  char buffer[32768];
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return -1;
  const char *found = buffer;
#else
  const char *found = std::getenv(name);
  if (found == nullptr) return -1;
#endif
  size_t length_found = std::strlen(found);
  size_t copied = std::min(length_found, static_cast<size_t>(size - 1));
  std::memcpy(value, found, copied);
  value[copied] = '\0';
  return static_cast<int>(length_found);
}

}  // extern "C"
