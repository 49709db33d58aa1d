#include "src/sql/lexer.h"

#include <cctype>
#include <cstring>

#include "src/sql/error.h"

namespace zec::sql {
namespace {

bool word_start(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool word_char(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80; }

std::string upper_ascii(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The closing delimiter of q'X...X'.
char closing_of(char open) {
  switch (open) {
    case '[': return ']';
    case '{': return '}';
    case '(': return ')';
    case '<': return '>';
    default: return open;
  }
}

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  // The next token; End at the end.
  Token next() {
    skip_blanks_and_comments();
    Token t;
    t.begin = i_;
    if (i_ >= s_.size()) {
      t.kind = Token::End;
      t.end = i_;
      return t;
    }
    unsigned char c = static_cast<unsigned char>(s_[i_]);
    // q'...' and N'...' and nq'...' literals before words.
    if ((c == 'q' || c == 'Q') && peek(1) == '\'') return quote_literal(t, 1, false);
    if ((c == 'n' || c == 'N') && peek(1) == '\'') {
      ++i_;
      return string_literal(t, true);
    }
    if ((c == 'n' || c == 'N') && (peek(1) == 'q' || peek(1) == 'Q') && peek(2) == '\'')
      return quote_literal(t, 2, true);
    if (word_start(c)) {
      size_t start = i_;
      while (i_ < s_.size() && word_char(static_cast<unsigned char>(s_[i_]))) ++i_;
      t.kind = Token::Word;
      t.text = upper_ascii(s_.substr(start, i_ - start));
      t.end = i_;
      return t;
    }
    if (c == '"') {
      size_t close = s_.find('"', i_ + 1);
      if (close == std::string_view::npos) fail(1740);  // missing double quote in identifier
      if (close == i_ + 1) fail(1741);                  // illegal zero-length identifier
      t.kind = Token::Word;
      t.quoted = true;
      t.text = std::string(s_.substr(i_ + 1, close - i_ - 1));
      i_ = close + 1;
      t.end = i_;
      return t;
    }
    if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(peek(1))))) return number(t);
    if (c == '\'') return string_literal(t, false);
    if (c == ':' && peek(1) != '=') {
      size_t start = ++i_;
      t.kind = Token::Placeholder;
      if (i_ < s_.size() && s_[i_] == '"') {
        size_t close = s_.find('"', i_ + 1);
        if (close == std::string_view::npos) fail(1740);
        t.text = std::string(s_.substr(i_ + 1, close - i_ - 1));
        t.quoted = true;
        i_ = close + 1;
      } else {
        while (i_ < s_.size() && word_char(static_cast<unsigned char>(s_[i_]))) ++i_;
        t.text = upper_ascii(s_.substr(start, i_ - start));
        if (t.text.empty()) fail(911);
      }
      t.end = i_;
      return t;
    }
    static const char *const kTwo[] = {"||", "<>", "!=", "^=", "~=", "<=", ">=", ":=", "=>", "..", "**", "<<", ">>"};
    for (const char *two : kTwo) {
      if (s_.compare(i_, 2, two) == 0) {
        // "<>" may also be "< >"? Oracle reads only the adjacent forms.
        t.kind = Token::Symbol;
        t.text = two;
        i_ += 2;
        t.end = i_;
        return t;
      }
    }
    if (std::strchr("()+-*/,.;=<>@%|[]", static_cast<char>(c)) != nullptr && c != 0) {
      t.kind = Token::Symbol;
      t.text = std::string(1, static_cast<char>(c));
      ++i_;
      t.end = i_;
      return t;
    }
    fail(911);
  }

 private:
  char peek(size_t ahead) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : '\0'; }

  void skip_blanks_and_comments() {
    while (i_ < s_.size()) {
      unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (std::isspace(c)) {
        ++i_;
      } else if (c == '-' && peek(1) == '-') {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else if (c == '/' && peek(1) == '*') {
        size_t close = s_.find("*/", i_ + 2);
        if (close == std::string_view::npos) fail(1742);  // comment not terminated properly
        i_ = close + 2;
      } else {
        return;
      }
    }
  }

  Token string_literal(Token &t, bool national) {
    // At the opening quote.
    std::string value;
    ++i_;
    for (;;) {
      if (i_ >= s_.size()) fail(1756);  // quoted string not properly terminated
      char c = s_[i_++];
      if (c == '\'') {
        if (i_ < s_.size() && s_[i_] == '\'') {
          value.push_back('\'');
          ++i_;
          continue;
        }
        break;
      }
      value.push_back(c);
    }
    t.kind = Token::String;
    t.text = std::move(value);
    t.national = national;
    t.end = i_;
    return t;
  }

  Token quote_literal(Token &t, size_t prefix, bool national) {
    i_ += prefix + 1;  // past q'
    if (i_ >= s_.size()) fail(1756);
    char open = s_[i_++];
    if (std::isspace(static_cast<unsigned char>(open))) fail(911);
    char close = closing_of(open);
    for (size_t j = i_; j + 1 < s_.size(); ++j) {
      if (s_[j] == close && s_[j + 1] == '\'') {
        t.kind = Token::String;
        t.text = std::string(s_.substr(i_, j - i_));
        t.national = national;
        i_ = j + 2;
        t.end = i_;
        return t;
      }
    }
    fail(1756);
  }

  Token number(Token &t) {
    size_t start = i_;
    while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
    // "1..10" in PL/SQL ranges: the point belongs to the range.
    if (i_ < s_.size() && s_[i_] == '.' && peek(1) != '.') {
      ++i_;
      while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      size_t j = i_ + 1;
      if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
      if (j < s_.size() && std::isdigit(static_cast<unsigned char>(s_[j]))) {
        i_ = j;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
      }
    }
    t.kind = Token::Number;
    t.text = std::string(s_.substr(start, i_ - start));
    // Binary float and double literals: 1.5f, 2d.
    if (i_ < s_.size() && (s_[i_] == 'f' || s_[i_] == 'F' || s_[i_] == 'd' || s_[i_] == 'D') &&
        !word_char(static_cast<unsigned char>(peek(1)))) {
      t.text.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(s_[i_]))));
      ++i_;
    }
    t.end = i_;
    return t;
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view source) {
  Lexer lexer(source);
  std::vector<Token> tokens;
  for (;;) {
    tokens.push_back(lexer.next());
    if (tokens.back().kind == Token::End) return tokens;
  }
}

std::vector<std::pair<std::string, size_t>> find_placeholders(std::string_view source, bool *ok) {
  std::vector<std::pair<std::string, size_t>> names;
  if (ok) *ok = true;
  try {
    Lexer lexer(source);
    for (;;) {
      Token t = lexer.next();
      if (t.kind == Token::End) break;
      if (t.kind == Token::Placeholder) names.emplace_back(t.text, t.begin);
    }
  } catch (const SqlError &) {
    if (ok) *ok = false;
  } catch (...) {
    if (ok) *ok = false;
  }
  return names;
}

}  // namespace zec::sql
