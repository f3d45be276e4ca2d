#include "asn1/asn1_lexer.h"

namespace orvalis {
namespace asn1 {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// How a character that starts no word is shown in a message.
std::string Shown(char c) {
  if (c >= 0x21 && c <= 0x7E) return std::string("\"") + c + "\"";
  static const char kDigits[] = "0123456789ABCDEF";
  const auto octet = static_cast<unsigned char>(c);
  return std::string("the octet ") + kDigits[octet >> 4] + kDigits[octet & 15] + "h";
}

}  // namespace

const Token& Lexer::Peek(std::size_t ahead) {
  while (held_ <= ahead) {
    ahead_[(first_ + held_) % kLookahead] = Scan();
    ++held_;
  }
  return ahead_[(first_ + ahead) % kLookahead];
}

Token Lexer::Take() {
  const Token token = Peek();
  if (token.Kind != TokenKind::kEnd) {
    first_ = (first_ + 1) % kLookahead;
    --held_;
  }
  return token;
}

void Lexer::Fail(uint32_t line, uint32_t column, const std::string& what) const {
  throw SyntaxError({file_, line, column}, what);
}

void Lexer::Advance(std::size_t count) {
  for (std::size_t i = 0; i < count && at_ < text_.size(); ++i) {
    if (text_[at_++] == '\n') {
      ++line_;
      lineStart_ = at_;
    }
  }
}

Token Lexer::Make(TokenKind kind, std::size_t begin, uint32_t line, uint32_t column) const {
  Token token;
  token.Kind = kind;
  token.Text = text_.substr(begin, at_ - begin);
  token.Line = line;
  token.Column = column;
  return token;
}

// "--" to the end of the line or to the next "--".
void Lexer::PassOverLineComment() {
  Advance(2);
  while (at_ < text_.size() && text_[at_] != '\n' && text_[at_] != '\r') {
    if (text_.compare(at_, 2, "--") == 0) {
      Advance(2);
      return;
    }
    Advance(1);
  }
}

// "/*" to its "*/", comments nested inside counted.
void Lexer::PassOverBlockComment() {
  const uint32_t line = line_;
  const uint32_t column = static_cast<uint32_t>(at_ - lineStart_ + 1);
  uint64_t depth = 0;
  while (at_ < text_.size()) {
    if (text_.compare(at_, 2, "/*") == 0) {
      ++depth;
      Advance(2);
    } else if (text_.compare(at_, 2, "*/") == 0) {
      Advance(2);
      if (--depth == 0) return;
    } else {
      Advance(1);
    }
  }
  Fail(line, column, "the comment \"/*\" here has no \"*/\"");
}

void Lexer::PassOverBlanksAndComments() {
  while (at_ < text_.size()) {
    if (IsBlank(text_[at_])) {
      Advance(1);
    } else if (text_.compare(at_, 2, "--") == 0) {
      PassOverLineComment();
    } else if (text_.compare(at_, 2, "/*") == 0) {
      PassOverBlockComment();
    } else {
      return;
    }
  }
}

// "..." with "" for a quotation mark inside, or '...'B / '...'H; either may span lines.
Token Lexer::ScanQuoted(char quote) {
  const std::size_t begin = at_;
  const uint32_t line = line_;
  const uint32_t column = static_cast<uint32_t>(at_ - lineStart_ + 1);
  Advance(1);
  for (;;) {
    if (at_ >= text_.size()) Fail(line, column, std::string("the text begun here has no closing ") + quote);
    if (text_[at_] != quote) {
      Advance(1);
      continue;
    }
    Advance(1);
    if (quote == '"' && at_ < text_.size() && text_[at_] == '"') {
      Advance(1);
      continue;
    }
    break;
  }
  if (quote == '"') return Make(TokenKind::kText, begin, line, column);
  if (at_ < text_.size() && (text_[at_] == 'B' || text_[at_] == 'H')) {
    Advance(1);
    return Make(TokenKind::kBits, begin, line, column);
  }
  Fail(line, column, "a bit or hexadecimal string ends in 'B or 'H");
}

Token Lexer::Scan() {
  PassOverBlanksAndComments();
  const std::size_t begin = at_;
  const uint32_t line = line_;
  const uint32_t column = static_cast<uint32_t>(at_ - lineStart_ + 1);
  if (at_ >= text_.size()) return Make(TokenKind::kEnd, begin, line, column);
  const char c = text_[at_];
  if (IsLetter(c)) {
    Advance(1);
    while (at_ < text_.size()) {
      const char next = text_[at_];
      const bool joined = next == '-' && at_ + 1 < text_.size() &&
                          (IsLetter(text_[at_ + 1]) || IsDigit(text_[at_ + 1]));
      if (!IsLetter(next) && !IsDigit(next) && !joined) break;
      Advance(1);
    }
    return Make(TokenKind::kWord, begin, line, column);
  }
  if (IsDigit(c)) {
    while (at_ < text_.size() && IsDigit(text_[at_])) Advance(1);
    return Make(TokenKind::kNumber, begin, line, column);
  }
  if (c == '"' || c == '\'') return ScanQuoted(c);
  struct Multiple {
    std::string_view Text;
    TokenKind Kind;
  };
  static constexpr Multiple kMultiple[] = {{"::=", TokenKind::kAssign},     {"...", TokenKind::kEllipsis},
                                           {"..", TokenKind::kRange},       {"[[", TokenKind::kOpenVersion},
                                           {"]]", TokenKind::kCloseVersion}};
  for (const Multiple& m : kMultiple) {
    if (text_.compare(at_, m.Text.size(), m.Text) == 0) {
      Advance(m.Text.size());
      return Make(m.Kind, begin, line, column);
    }
  }
  if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E) {
    Fail(line, column, Shown(c) + " is no part of ASN.1 text");
  }
  Advance(1);
  return Make(TokenKind::kSymbol, begin, line, column);
}

}  // namespace asn1
}  // namespace orvalis
