// Oracle's lexical rules: unquoted identifiers upper-cased, quoted ones
// kept; '' inside literals, q'[...]' and N'...' literals; -- and /* */
// comments; placeholders :name and :1.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zec::sql {

struct Token {
  enum Kind : uint8_t { End, Word, Number, String, Placeholder, Symbol };
  Kind kind = End;
  std::string text;    // Word: upper-cased unless quoted; String: the value; Placeholder: the name
  bool quoted = false; // Word: a "quoted identifier"; Placeholder: :"quoted"
  bool national = false;
  size_t begin = 0;    // byte offsets into the source
  size_t end = 0;

  bool is(const char *word) const { return kind == Word && !quoted && text == word; }
  bool sym(const char *s) const { return kind == Symbol && text == s; }
};

// Splits the source into tokens, ending with an End token. Throws SqlError
// for an unterminated literal or comment, or a character Oracle does not
// accept (ORA-00911).
std::vector<Token> tokenize(std::string_view source);

// The placeholders of a statement, in order of appearance (comments and
// literals are not scanned), upper-cased unless quoted, without the colon.
// Never throws: a text that cannot be read yields what was found so far.
std::vector<std::pair<std::string, size_t>> find_placeholders(std::string_view source, bool *ok = nullptr);

}  // namespace zec::sql
