#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace zorvan::platform {

const char *client_library_name() noexcept { return "OCI.dll"; }

void *load_library(const char *name) noexcept {
  return reinterpret_cast<void *>(LoadLibraryA(name));
}

void *find_function(void *library, const char *name) noexcept {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void show_message(const char *text) noexcept { MessageBoxA(nullptr, text, nullptr, MB_OK); }

bool put_environment(const char *assignment) noexcept {
  // _putenv keeps the runtime's table and the operating system's environment
  // in step; "NAME=" removes the variable.
  return _putenv(assignment) == 0;
}

const char *get_environment(const char *name) noexcept { return std::getenv(name); }

bool oracle_home(char (&buffer)[kOracleHomeSize]) noexcept {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD size = kOracleHomeSize;
  LONG status = RegQueryValueExA(key, "ORACLE_HOME", nullptr, nullptr,
                                 reinterpret_cast<BYTE *>(buffer), &size);
  RegCloseKey(key);
  // The value must fit and be terminated inside the buffer; nothing past it
  // is ever read.
  if (status != ERROR_SUCCESS || size == 0 || size > kOracleHomeSize) return false;
  if (std::memchr(buffer, '\0', size) == nullptr) {
    if (size == kOracleHomeSize) return false;
    buffer[size] = '\0';
  }
  return true;
}

}  // namespace zorvan::platform
