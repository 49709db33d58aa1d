// The client character set: what OCI's texts are in. The database keeps
// UTF-8 (AL32UTF8); texts convert at the OCI boundary. The set comes from
// the character set part of NLS_LANG when the environment is created
// (AMERICAN_AMERICA.WE8MSWIN1252 by default, as on a Windows client).
#pragma once

#include <string>
#include <string_view>

#include "oci.h"

namespace zec {

enum class Charset : ub2 {
  US7ASCII = 1,
  WE8ISO8859P1 = 31,
  WE8MSWIN1252 = 178,
  UTF8 = 871,
  AL32UTF8 = 873,
};

// The character set NLS_LANG names (its part after the point).
Charset charset_from_nls_lang(const char *nls_lang);
const char *charset_name(Charset c);
bool charset_multibyte(Charset c);

// Client bytes -> UTF-8, and back. A character the target cannot hold
// becomes '?' (ASCII) or U+FFFD, as Oracle's replacement characters.
std::string to_database(Charset c, std::string_view client);
std::string to_client(Charset c, std::string_view utf8);
// Characters of a client text.
size_t client_length(Charset c, std::string_view client);

// A variable of the process environment, empty when it is not set.
std::string environment_variable(const char *name);

}  // namespace zec
