// The few operating-system services the plug-in needs, with a Windows and a
// POSIX side. Knows nothing of the rest of the plug-in.
#pragma once

#include <cstddef>

namespace zorvan::platform {

// The Oracle client library, by the name the loader searches for.
const char *client_library_name() noexcept;

// Loads a library through the loader's ordinary search; null on failure.
void *load_library(const char *name) noexcept;
// The address of an exported function; null when the library lacks it.
void *find_function(void *library, const char *name) noexcept;

// Tells the user something went wrong: a message box on Windows (no owner,
// no caption, OK button), one line on standard error elsewhere.
void show_message(const char *text) noexcept;

// The process environment, through the C runtime so that the Oracle client
// sees what the plug-in sets. Takes "NAME=value"; an empty value removes the
// variable. The runtime keeps its own copy of the text.
bool put_environment(const char *assignment) noexcept;
// The variable's value, or null when it is not set. Valid until the next
// change of the environment.
const char *get_environment(const char *name) noexcept;

// The Oracle home: on Windows the ORACLE_HOME value under
// HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE, elsewhere the ORACLE_HOME environment
// variable. Fills buffer with a NUL-terminated text that fits in it; false
// when there is none or it does not fit.
inline constexpr size_t kOracleHomeSize = 1024;
bool oracle_home(char (&buffer)[kOracleHomeSize]) noexcept;

}  // namespace zorvan::platform
