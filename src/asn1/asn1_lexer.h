// The words of an ASN.1 module, one at a time, with their line and column; comments ("--" to the
// end of the line or the next "--", "/* */" nested) and white space passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "asn1/asn1_syntax.h"

namespace orvalis {
namespace asn1 {

enum class TokenKind : uint8_t {
  kEnd,           // the end of the text
  kWord,          // a reference or identifier: a letter, then letters, digits and single hyphens
  kNumber,        // decimal digits
  kText,          // "..." (a character string value)
  kBits,          // '...'B or '...'H
  kAssign,        // ::=
  kEllipsis,      // ...
  kRange,         // ..
  kOpenVersion,   // [[
  kCloseVersion,  // ]]
  kSymbol,        // any other one character: { } ( ) [ ] , ; | ^ < > @ ! . : & - and so on
};

struct Token {
  TokenKind Kind = TokenKind::kEnd;
  std::string_view Text;
  uint32_t Line = 0;
  uint32_t Column = 0;
  bool Is(std::string_view text) const { return Kind != TokenKind::kEnd && Kind != TokenKind::kText && Text == text; }
};

// A fault in a module's text, at its place: what the reader says, with the file, line and column.
class SyntaxError : public std::runtime_error {
 public:
  SyntaxError(Place where, const std::string& what) : std::runtime_error(what), Where(where) {}
  Place Where;
};

// Reads the words of one module file's text, which must outlive it.
class Lexer {
 public:
  Lexer(std::string_view text, uint32_t file) : text_(text), file_(file) {}

  // The word `ahead` words after the next one (0: the next); at most kLookahead - 1 ahead.
  const Token& Peek(std::size_t ahead = 0);
  // The next word, taken.
  Token Take();
  // The place of a word of this file.
  Place PlaceOf(const Token& token) const { return {file_, token.Line, token.Column}; }
  uint32_t File() const { return file_; }

  static constexpr std::size_t kLookahead = 4;

 private:
  Token Scan();
  void PassOverBlanksAndComments();
  void PassOverLineComment();
  void PassOverBlockComment();
  Token ScanQuoted(char quote);
  Token Make(TokenKind kind, std::size_t begin, uint32_t line, uint32_t column) const;
  void Advance(std::size_t count);
  [[noreturn]] void Fail(uint32_t line, uint32_t column, const std::string& what) const;

  std::string_view text_;
  uint32_t file_;
  std::size_t at_ = 0;
  uint32_t line_ = 1;
  std::size_t lineStart_ = 0;
  Token ahead_[kLookahead];
  std::size_t first_ = 0;  // the ring's first word
  std::size_t held_ = 0;   // the words scanned ahead
};

}  // namespace asn1
}  // namespace orvalis
