// The module reader: constraints (their SIZE and value ranges kept, the rest passed over), values
// and what else is passed over, bracket by bracket.
#include <cstdint>
#include <string>

#include "asn1/asn1_parser.h"

namespace orvalis {
namespace asn1 {
namespace {

bool Opens(const Token& token) {
  return token.Is("{") || token.Is("(") || token.Is("[") || token.Kind == TokenKind::kOpenVersion;
}
bool Closes(const Token& token) {
  return token.Is("}") || token.Is(")") || token.Is("]") || token.Kind == TokenKind::kCloseVersion;
}

// Decimal digits as a number of 64 bits; false when they do not fit.
bool DigitsValue(std::string_view digits, bool negative, int64_t& number) {
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t value = 0;
  for (const char digit : digits) {
    const auto d = static_cast<uint64_t>(digit - '0');
    if (value > (limit - d) / 10) return false;
    value = value * 10 + d;
  }
  number = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
  return true;
}

}  // namespace

bool Parser::ReadSignedNumber(int64_t& number) {
  const bool negative = Peek().Is("-") && Peek(1).Kind == TokenKind::kNumber;
  const Token& digits = negative ? Peek(1) : Peek();
  if (digits.Kind != TokenKind::kNumber) return false;
  if (!DigitsValue(digits.Text, negative, number)) Fail(digits, "the number " + std::string(digits.Text) + " does not fit in 64 bits");
  if (negative) Take();
  Take();
  return true;
}

// A number, MIN, MAX or a value's name; a number beyond 64 bits is no bound (MIN or MAX).
Bound Parser::ReadBound() {
  Bound bound;
  const bool negative = Peek().Is("-") && Peek(1).Kind == TokenKind::kNumber;
  const Token& digits = negative ? Peek(1) : Peek();
  if (digits.Kind == TokenKind::kNumber) {
    bound.What = DigitsValue(digits.Text, negative, bound.Number) ? Bound::Is::kNumber
                 : negative                                          ? Bound::Is::kMin
                                                                     : Bound::Is::kMax;
    if (negative) Take();
  } else if (Peek().Is("MIN")) {
    bound.What = Bound::Is::kMin;
  } else if (Peek().Is("MAX")) {
    bound.What = Bound::Is::kMax;
  } else {
    bound.What = Bound::Is::kName;
    bound.Name = std::string(Peek().Text);
  }
  Take();
  return bound;
}

// A single value or a range at the constraint's place: kept in `into` when `keep`. False when no
// value begins there.
bool Parser::ReadRangePart(Limits& into, bool keep) {
  const Token& next = Peek();
  const bool starts = next.Kind == TokenKind::kNumber || (next.Is("-") && Peek(1).Kind == TokenKind::kNumber) ||
                      next.Is("MIN") || next.Is("MAX") ||
                      (IsLowerWord(next) && !Peek(1).Is("{") && !Peek(1).Is(":"));
  if (!starts) return false;
  RangePart part;
  part.Lower = ReadBound();
  if (Peek().Is("<") && Peek(1).Kind == TokenKind::kRange) {
    Take();
    part.Lower.Shift = 1;
  }
  if (Peek().Kind == TokenKind::kRange) {
    Take();
    if (TakeIf("<")) part.Upper.Shift = -1;
    part.Upper = ReadBound();
    if (part.Upper.Shift == 0 && Peek().Kind == TokenKind::kEnd) Unexpected(Peek(), "a range's upper end");
  } else {
    part.Upper = part.Lower;
  }
  if (keep) into.push_back(std::move(part));
  return true;
}

void Parser::ReadConstraints(Type& type) {
  while (Peek().Is("(")) ReadConstraint(type);
}

// ( ... ): the first SIZE gives the type's size, the ranges of its root its values; WITH
// COMPONENT(S), tables and sets are passed over.
void Parser::ReadConstraint(Type& type) {
  const Token open = Take();
  const NestingGuard guard(*this, open);
  bool extension = false;
  for (;;) {
    const Token& next = Peek();
    if (next.Is(")")) break;
    if (next.Kind == TokenKind::kEnd) Unexpected(next, "the \")\" of the constraint begun at line " + std::to_string(open.Line));
    if (next.Is("(")) {
      ReadConstraint(type);
    } else if (next.Is("SIZE") && Peek(1).Is("(")) {
      Take();
      Limits size;
      ReadLimits(size);
      if (!extension && type.Size.empty()) type.Size = std::move(size);
    } else if (next.Is("WITH")) {
      Take();
      ExpectWord("COMPONENT or COMPONENTS after WITH");
      if (Opens(Peek())) PassOverBalanced();
    } else if (next.Kind == TokenKind::kEllipsis) {
      Take();
      extension = true;
    } else if (Opens(next)) {
      PassOverBalanced();
    } else if (Closes(next)) {
      Unexpected(next, "\")\" to close the constraint begun at line " + std::to_string(open.Line));
    } else if (!ReadRangePart(type.Range, !extension && (type.Kind == TypeKind::kInteger ||
                                                            type.Kind == TypeKind::kReference))) {
      Take();
    }
  }
  Take();
}

// SIZE's ( ... ): its root's values and ranges.
void Parser::ReadLimits(Limits& limits) {
  const Token open = Expect("(", "after SIZE");
  const NestingGuard guard(*this, open);
  bool extension = false;
  for (;;) {
    const Token& next = Peek();
    if (next.Is(")")) break;
    if (next.Kind == TokenKind::kEnd) Unexpected(next, "the \")\" of the SIZE begun at line " + std::to_string(open.Line));
    if (next.Is("(")) {
      ReadLimits(limits);
    } else if (next.Kind == TokenKind::kEllipsis) {
      Take();
      extension = true;
    } else if (Opens(next)) {
      PassOverBalanced();
    } else if (Closes(next)) {
      Unexpected(next, "\")\" to close the SIZE begun at line " + std::to_string(open.Line));
    } else if (!ReadRangePart(limits, !extension)) {
      Take();
    }
  }
  Take();
}

// From an opening bracket to the one that closes it, whatever lies between.
void Parser::PassOverBalanced() {
  const Token open = Take();
  uint64_t depth = 1;
  while (depth > 0) {
    const Token next = Take();
    if (next.Kind == TokenKind::kEnd) Fail(open, "the " + ShownWord(open) + " here is never closed");
    if (Opens(next)) ++depth;
    if (Closes(next)) --depth;
  }
}

// Up to (not taking) one of the words at this level of brackets.
void Parser::PassOverUntil(std::string_view a, std::string_view b, std::string_view c) {
  for (;;) {
    const Token& next = Peek();
    if (next.Is(a) || next.Is(b) || (!c.empty() && next.Is(c))) return;
    if (next.Kind == TokenKind::kEnd) Unexpected(next, "\"" + std::string(a) + "\" or \"" + std::string(b) + "\"");
    if (Closes(next)) Unexpected(next, "\"" + std::string(a) + "\" or \"" + std::string(b) + "\"");
    if (Opens(next)) {
      PassOverBalanced();
    } else {
      Take();
    }
  }
}

// A value after "::=": { ... }, a number, a name, a text, a bit string, alternative : value.
void Parser::PassOverValue() {
  do {
    const Token& next = Peek();
    if (next.Kind == TokenKind::kEnd) Unexpected(next, "a value");
    if (Opens(next)) {
      PassOverBalanced();
      continue;
    }
    if (next.Is("-")) Take();
    Take();
    while (Peek().Is(".") && Peek(1).Kind == TokenKind::kWord) {  // Module.value
      Take();
      Take();
    }
  } while (TakeIf(":"));
}

}  // namespace asn1
}  // namespace orvalis
