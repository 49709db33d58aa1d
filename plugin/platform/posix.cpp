#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace zorvan::platform {

const char *client_library_name() noexcept { return "libclntsh.so"; }

void *load_library(const char *name) noexcept { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void *find_function(void *library, const char *name) noexcept {
  if (library == nullptr) return nullptr;
  return dlsym(library, name);
}

void show_message(const char *text) noexcept {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

bool put_environment(const char *assignment) noexcept {
  const char *equals = std::strchr(assignment, '=');
  if (equals == nullptr) return false;
  // setenv wants the name on its own; names are short, as the host's strings are.
  char name[256];
  size_t length = static_cast<size_t>(equals - assignment);
  if (length >= sizeof name) return false;
  std::memcpy(name, assignment, length);
  name[length] = '\0';
  if (equals[1] == '\0') return unsetenv(name) == 0;
  return setenv(name, equals + 1, 1) == 0;
}

const char *get_environment(const char *name) noexcept { return std::getenv(name); }

bool oracle_home(char (&buffer)[kOracleHomeSize]) noexcept {
  const char *home = std::getenv("ORACLE_HOME");
  if (home == nullptr) return false;
  size_t length = std::strlen(home);
  if (length >= kOracleHomeSize) return false;
  std::memcpy(buffer, home, length + 1);
  return true;
}

}  // namespace zorvan::platform
