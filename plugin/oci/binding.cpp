#include "oci/binding.h"

#include <cstdio>

#include "platform/platform.h"

namespace zorvan::oci {
namespace {

constexpr const char *kNames[] = {
#define ZORVAN_OCI_NAME(name) #name,
    ZORVAN_OCI_FUNCTIONS(ZORVAN_OCI_NAME)
#undef ZORVAN_OCI_NAME
};
static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(Fn::Count));

enum class Binding : uint8_t { Unresolved, Resolved, Missing };

struct BindingTable {
  bool load_tried = false;
  void *library = nullptr;
  Binding state[static_cast<size_t>(Fn::Count)] = {};
  void *address[static_cast<size_t>(Fn::Count)] = {};
};
BindingTable g_table;

// The user sees the same texts whichever call found the gap.
constexpr size_t kMessageSize = 500;

void show_missing_library() noexcept {
  char message[kMessageSize] = {};
  std::snprintf(message, sizeof message, "Dll not found: %s", platform::client_library_name());
  platform::show_message(message);
}

void show_missing_function(const char *name) noexcept {
  char message[kMessageSize] = {};
  std::snprintf(message, sizeof message, "Function %s was not found in %s", name,
                platform::client_library_name());
  platform::show_message(message);
}

}  // namespace

bool load_client() noexcept {
  if (!g_table.load_tried) {
    g_table.load_tried = true;
    g_table.library = platform::load_library(platform::client_library_name());
    if (g_table.library == nullptr) show_missing_library();
  }
  return g_table.library != nullptr;
}

void *resolve(Fn fn) noexcept {
  auto index = static_cast<size_t>(fn);
  if (index >= static_cast<size_t>(Fn::Count)) return nullptr;
  switch (g_table.state[index]) {
    case Binding::Resolved:
      return g_table.address[index];
    case Binding::Missing:
      return nullptr;
    case Binding::Unresolved:
      break;
  }
  if (g_table.library == nullptr) return nullptr;  // no client: commands do not run
  void *address = platform::find_function(g_table.library, kNames[index]);
  if (address == nullptr) {
    g_table.state[index] = Binding::Missing;
    show_missing_function(kNames[index]);
    return nullptr;
  }
  g_table.address[index] = address;
  g_table.state[index] = Binding::Resolved;
  return address;
}

const char *function_name(Fn fn) noexcept {
  auto index = static_cast<size_t>(fn);
  return index < static_cast<size_t>(Fn::Count) ? kNames[index] : "";
}

}  // namespace zorvan::oci
