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
constexpr uint8_t kHighTagNumber = 0x1F;  // the tag number follows in one more octet
// The first length octet of the indefinite form.
constexpr uint8_t kIndefiniteLength = 0x80;
// The most length octets that the long form can announce.
constexpr int kMaxLengthOctets = 127;

enum class HeaderRead {
  kRead,
  kInputEnded,         // the input ended inside the octets
  kLengthTooLarge,     // a long-form length whose value does not fit in 64 bits (all its octets read)
  kTooManyLengthOctets,  // more length octets than the caller follows (none of them read)
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
struct Unexplained {
  void IdentifierOctet(uint8_t) {}
  void TagNumberOctet(int32_t) {}
  void FirstLengthOctet(uint8_t) {}
  void LengthOctet(uint8_t) {}
  void LengthEnds(const ElementLength&) {}
};

// The identifier octets: the tag number is the low five bits of the first octet, or the low seven
// bits of the one octet that follows when those five bits are all ones.
template <typename Explain = Unexplained>
inline HeaderRead ReadIdentifierOctets(ByteCursor& at, ElementIdentifier& id, Explain&& explain = {}) {
  uint8_t octet = 0;
  if (!at.Peek(0, octet)) return HeaderRead::kInputEnded;
  explain.IdentifierOctet(octet);
  at.Skip(1);
  id.FirstOctet = octet;
  id.Constructed = (octet & kConstructedBit) != 0;
  id.TagId = octet & kTagNumberMask;
  if (id.TagId != kHighTagNumber) return HeaderRead::kRead;
  if (!at.Peek(0, octet)) return HeaderRead::kInputEnded;
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
