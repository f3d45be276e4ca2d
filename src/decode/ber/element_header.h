// The identifier and length octets of an element: the one reader of them, used by every walk and
// by the scan that plans a shared walk.
//
// Two calls, not one: between the identifier and the length a walk looks the tag up, starts
// records and says its messages. Each call reads through the cursor and tells what it found or how
// it failed; an explanation (the debug dump's) is told of every octet as it is read, before the
// cursor moves past it, and of a long form's length once its octets are read.
#pragma once

#include <cstdint>

#include "decode/ber/byte_cursor.h"

namespace orvalis {

// Identifier octet bits.
constexpr uint8_t kConstructedBit = 0x20;
constexpr uint8_t kTagNumberMask = 0x1F;
constexpr uint8_t kHighTagNumber = 0x1F;  // the tag number follows in subsequent octets
// Bit 8 of a subsequent identifier octet: another one follows (with identifier octets of any length).
constexpr uint8_t kMoreTagNumberOctets = 0x80;
// The most subsequent identifier octets read with identifier octets of any length, and the largest
// tag number they carry (seven bits each).
constexpr int kMostTagNumberOctets = 3;
constexpr int32_t kLargestTagNumber = (1 << (7 * kMostTagNumberOctets)) - 1;  // 2097151
// The first length octet of the indefinite form.
constexpr uint8_t kIndefiniteLength = 0x80;
// The most length octets that the long form can announce.
constexpr int kMaxLengthOctets = 127;

// How the tag number of a first identifier octet 1F (or 3F, 5F ...) is read.
//   kOneSubsequentOctet  the low seven bits of the one octet that follows, whatever its bit 8 says
//                        (the default, exactly as files were always read)
//   kAnyLength           subsequent octets up to one whose bit 8 is clear, seven bits each, most
//                        significant first: at most kMostTagNumberOctets of them, the first not 80
//                        (a tag number of 31 or less in this form is read as it says)
enum class IdentifierRule : uint8_t { kOneSubsequentOctet, kAnyLength };

enum class HeaderRead {
  kRead,
  kInputEnded,         // the input ended inside the octets
  kLengthTooLarge,     // a long-form length whose value does not fit in 64 bits (all its octets read)
  kTooManyLengthOctets,  // more length octets than the caller follows (none of them read)
  kTagNumberTooLarge,  // kAnyLength: a subsequent octet kMostTagNumberOctets says that more follow
  kTagNumberPadded,    // kAnyLength: the first subsequent octet is 80, a leading zero
};

struct ElementIdentifier {
  uint8_t FirstOctet = 0;  // as read: its class bits, the constructed bit, the tag number or 1F
  bool Constructed = false;
  int32_t TagId = 0;
};

// True for the identifier octet 00 (universal class, primitive, tag 0): the first of the
// end-of-contents octets, which end contents of indefinite length and begin no element.
inline bool IsEndOfContentsOctet(const ElementIdentifier& id) { return id.FirstOctet == 0; }

struct ElementLength {
  bool Indefinite = false;
  bool LongForm = false;
  uint64_t Value = 0;
};

// An explanation that says nothing: the walks that only read.
struct TagNumberOctets;
struct Unexplained {
  void IdentifierOctet(uint8_t) {}
  void TagNumberOctet(int32_t) {}
  void SubsequentOctets(const ByteCursor&, const TagNumberOctets&) {}
  void FirstLengthOctet(uint8_t) {}
  void LengthOctet(uint8_t) {}
  void LengthEnds(const ElementLength&) {}
};

// The subsequent identifier octets of any length (IdentifierRule::kAnyLength) at a read position:
// how they read, the tag number they carry when they do, and how many of them were looked at (all
// of them, or up to the one that does not read). Kept apart, so that the explanation (the debug
// dump's) is told of them at once, and that the common identifiers' reading stays as it was.
struct TagNumberOctets {
  HeaderRead Read = HeaderRead::kRead;
  int32_t TagId = 0;
  int Octets = 0;
};
[[gnu::noinline]] inline TagNumberOctets PeekTagNumberOctets(const ByteCursor& at) {
  int32_t number = 0;
  for (int count = 1;; ++count) {
    uint8_t octet = 0;
    if (!at.Peek(static_cast<uint64_t>(count - 1), octet)) return {HeaderRead::kInputEnded, 0, count - 1};
    if (count == 1 && octet == kMoreTagNumberOctets) return {HeaderRead::kTagNumberPadded, 0, 1};
    number = (number << 7) | (octet & 0x7F);
    if ((octet & kMoreTagNumberOctets) == 0) return {HeaderRead::kRead, number, count};
    if (count == kMostTagNumberOctets) return {HeaderRead::kTagNumberTooLarge, 0, count};
  }
}

// The identifier octets: the tag number is the low five bits of the first octet, or when those
// five bits are all ones, read from the octets that follow by `rule`. One subsequent octet whose bit
// 8 is clear gives the same tag number by either rule: it is read and explained alike
// (TagNumberOctet), and only another goes on by the rule (explained at once: SubsequentOctets).
// The rule is taken where it lies, so that it is looked at only there.
template <typename Explain = Unexplained>
inline HeaderRead ReadIdentifierOctets(ByteCursor& at, ElementIdentifier& id, const IdentifierRule& rule,
                                       Explain&& explain = {}) {
  uint8_t octet = 0;
  if (!at.Peek(0, octet)) return HeaderRead::kInputEnded;
  explain.IdentifierOctet(octet);
  at.Skip(1);
  id.FirstOctet = octet;
  id.Constructed = (octet & kConstructedBit) != 0;
  id.TagId = octet & kTagNumberMask;
  if (id.TagId != kHighTagNumber) return HeaderRead::kRead;
  if (!at.Peek(0, octet)) return HeaderRead::kInputEnded;
  if ((octet & kMoreTagNumberOctets) != 0 && rule == IdentifierRule::kAnyLength) {
    const TagNumberOctets subsequent = PeekTagNumberOctets(at);
    explain.SubsequentOctets(at, subsequent);
    at.Skip(static_cast<uint64_t>(subsequent.Octets));
    id.TagId = subsequent.TagId;
    return subsequent.Read;
  }
  id.TagId = octet & 0x7F;
  explain.TagNumberOctet(id.TagId);
  at.Skip(1);
  return HeaderRead::kRead;
}

// The length octets: the short form, the long form (N octets, big-endian, at most maxOctets of
// them followed) or the indefinite form.
template <typename Explain = Unexplained>
inline HeaderRead ReadLengthOctets(ByteCursor& at, ElementLength& length, Explain&& explain = {},
                                   int maxOctets = kMaxLengthOctets) {
  uint8_t octet = 0;
  if (!at.Peek(0, octet)) return HeaderRead::kInputEnded;
  explain.FirstLengthOctet(octet);
  at.Skip(1);
  length = ElementLength{};
  if (octet < 0x80) {
    length.Value = octet;
    return HeaderRead::kRead;
  }
  if (octet == kIndefiniteLength) {
    length.Indefinite = true;
    return HeaderRead::kRead;
  }
  length.LongForm = true;
  const int count = octet & 0x7F;
  if (count > maxOctets) return HeaderRead::kTooManyLengthOctets;
  bool tooLarge = false;
  for (int i = 0; i < count; ++i) {
    if (!at.Peek(0, octet)) return HeaderRead::kInputEnded;
    explain.LengthOctet(octet);
    at.Skip(1);
    if (length.Value > (UINT64_MAX >> 8)) tooLarge = true;
    length.Value = (length.Value << 8) | octet;
  }
  explain.LengthEnds(length);
  return tooLarge ? HeaderRead::kLengthTooLarge : HeaderRead::kRead;
}

}  // namespace orvalis
