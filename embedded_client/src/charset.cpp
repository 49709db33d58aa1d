#include "src/charset.h"

#include <cctype>
#include <cstring>

namespace zec {
namespace {

// Windows-1252's 0x80-0x9F; 0 where it has no character.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

void append_utf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The next code point of a UTF-8 text; U+FFFD for a malformed sequence.
uint32_t next_code_point(std::string_view s, size_t *i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || *i + n > s.size()) {
    ++*i;
    return 0xFFFD;
  }
  uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < n; ++k) {
    unsigned char d = static_cast<unsigned char>(s[*i + k]);
    if ((d & 0xC0) != 0x80) {
      ++*i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  *i += n;
  return cp;
}

}  // namespace

Charset charset_from_nls_lang(const char *nls_lang) {
  if (nls_lang == nullptr) return Charset::WE8MSWIN1252;
  const char *dot = std::strrchr(nls_lang, '.');
  if (dot == nullptr) return Charset::WE8MSWIN1252;
  std::string name(dot + 1);
  for (char &c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name == "AL32UTF8") return Charset::AL32UTF8;
  if (name == "UTF8") return Charset::UTF8;
  if (name == "US7ASCII") return Charset::US7ASCII;
  if (name == "WE8ISO8859P1") return Charset::WE8ISO8859P1;
  return Charset::WE8MSWIN1252;
}

const char *charset_name(Charset c) {
  switch (c) {
    case Charset::US7ASCII: return "US7ASCII";
    case Charset::WE8ISO8859P1: return "WE8ISO8859P1";
    case Charset::WE8MSWIN1252: return "WE8MSWIN1252";
    case Charset::UTF8: return "UTF8";
    case Charset::AL32UTF8: return "AL32UTF8";
  }
  return "WE8MSWIN1252";
}

bool charset_multibyte(Charset c) { return c == Charset::UTF8 || c == Charset::AL32UTF8; }

std::string to_database(Charset c, std::string_view client) {
  if (charset_multibyte(c)) return std::string(client);
  // Pure ASCII needs no work.
  size_t i = 0;
  while (i < client.size() && static_cast<unsigned char>(client[i]) < 0x80) ++i;
  if (i == client.size()) return std::string(client);
  std::string out(client.substr(0, i));
  out.reserve(client.size() + 8);
  for (; i < client.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(client[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (c == Charset::US7ASCII) {
      out.push_back('?');
    } else if (c == Charset::WE8MSWIN1252 && b < 0xA0) {
      uint16_t cp = kCp1252High[b - 0x80];
      append_utf8(out, cp ? cp : 0xFFFD);
    } else {
      append_utf8(out, b);
    }
  }
  return out;
}

std::string to_client(Charset c, std::string_view utf8) {
  if (charset_multibyte(c)) return std::string(utf8);
  size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
  if (i == utf8.size()) return std::string(utf8);
  std::string out(utf8.substr(0, i));
  while (i < utf8.size()) {
    uint32_t cp = next_code_point(utf8, &i);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    char mapped = '?';
    if (c != Charset::US7ASCII) {
      if (cp >= 0xA0 && cp <= 0xFF) mapped = static_cast<char>(cp);
      else if (c == Charset::WE8ISO8859P1 && cp >= 0x80 && cp < 0xA0) mapped = static_cast<char>(cp);
      else if (c == Charset::WE8MSWIN1252)
        for (int k = 0; k < 32; ++k)
          if (kCp1252High[k] == cp && cp != 0) mapped = static_cast<char>(0x80 + k);
    }
    out.push_back(mapped);
  }
  return out;
}

size_t client_length(Charset c, std::string_view client) {
  if (!charset_multibyte(c)) return client.size();
  size_t n = 0;
  for (unsigned char ch : client)
    if ((ch & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace zec
