// The one pass over well-formed elements: it reads identifier and length octets through the one
// header reader (element_header.h) and moves past the elements without writing anything, and
// tells what failed and where when they do not read. Every pass that only checks structure is
// this pass under a policy: the scan that plans a shared walk, the check of a place to go on
// after damage, the check of a skipped record for damage (decode/walk/).
//
// The rules are the same under every policy:
//   - a definite length lies within what is left of the cursor (the input's end, or the end of
//     the element holding it when contents have a cursor of their own);
//   - a primitive element has a definite length;
//   - an element of indefinite length ends with end-of-contents octets (two zero octets) within
//     the cursor;
//   - nesting goes no deeper than the policy's kDeepest.
// What a policy decides:
//   using Scope               what it knows of where an element lies (a dictionary branch, or
//                             nothing), handed from an element to those nested in it
//   IdentifierRule Identifiers  how identifier octets are read (element_header.h)
//   kLengthOctets             the most length octets followed (a longer long form is a flaw)
//   kDeepest                  the deepest depth read
//   kBoundsContents           true: the contents of a definite-length element are read with a
//                             cursor of their own, which ends at their end; false: they are read
//                             on, and must end exactly where the length says
//   bool Spend()              one more element header may be read; false: the pass stops there
//                             (kBudgetSpent), without a verdict
//   Entry<Scope> Look(scope, id, depth)
//                             whether the tag is declared where it lies, whether the contents of
//                             a constructed element of definite length are passed over element by
//                             element (else at once), and the scope of its nested elements
//   bool RefusesZeroIdentifier()
//                             true: in the contents of an element of definite length, an
//                             identifier octet 00 is a flaw (kZeroIdentifier), as it is to the
//                             walk with Resync: those octets only end contents of indefinite
//                             length. At the top level and in contents of indefinite length
//                             (where 00 00 ends them) it reads as an element either way.
// The contents of an element of indefinite length are always passed over element by element:
// there is no other way to find their end.
#pragma once

#include <cstdint>

#include "decode/ber/byte_cursor.h"
#include "decode/ber/element_header.h"

namespace orvalis {

// What failed where a pass over elements stopped.
enum class Flaw : uint8_t {
  kNone,
  kCutShort,             // the element's octets run past the cursor's end
  kLengthTooLarge,       // a long-form length that does not fit in 64 bits
  kLengthNotFollowed,    // more length octets than the policy follows
  kNestedTooDeep,        // deeper than the policy's kDeepest
  kPrimitiveIndefinite,  // a primitive element of indefinite length
  kNoEndOfContents,      // fewer than two octets left before an element of indefinite length ends
  kContentsOverrun,      // nested elements that end past the length's end (contents read on)
  kZeroIdentifier,       // an identifier octet 00 in contents of definite length (a policy that refuses it)
  kTagNumberTooLarge,    // identifier octets of any length that carry a tag number above 2097151
  kTagNumberPadded,      // identifier octets of any length whose first subsequent octet is 80
  kUndeclared,           // a tag the policy does not declare there
  kBudgetSpent,          // the policy's budget of headers ran out: no verdict
};

// Where a pass stopped: the first octet of the innermost element that does not read, what failed,
// and whether the cursor it ran out of ends at the end of an element holding it (else at the
// input's end).
struct StructureFault {
  uint64_t At = 0;
  Flaw What = Flaw::kNone;
  bool HolderEnds = false;
};

// What a policy makes of an element whose identifier octets were read.
template <typename Scope>
struct Entry {
  bool Declared = true;
  bool Enters = false;  // a constructed element of definite length: its contents are passed over element by element
  Scope Inner{};        // the scope of its nested elements
};

// True when the length octets read and a definite length lies within what is left of `at`: the
// rule of every walk and pass.
inline bool LengthWithinLeft(HeaderRead read, const ElementLength& length, const ByteCursor& at) {
  return read == HeaderRead::kRead && (length.Indefinite || length.Value <= at.Left());
}

// The flaw of identifier octets that did not read.
inline Flaw IdentifierFlaw(HeaderRead read) {
  switch (read) {
    case HeaderRead::kTagNumberTooLarge: return Flaw::kTagNumberTooLarge;
    case HeaderRead::kTagNumberPadded: return Flaw::kTagNumberPadded;
    default: return Flaw::kCutShort;
  }
}

// The flaw of length octets that did not read or do not fit (LengthWithinLeft false).
inline Flaw LengthFlaw(HeaderRead read) {
  switch (read) {
    case HeaderRead::kLengthTooLarge: return Flaw::kLengthTooLarge;
    case HeaderRead::kTooManyLengthOctets: return Flaw::kLengthNotFollowed;
    default: return Flaw::kCutShort;
  }
}

namespace structure {

inline bool Fail(StructureFault& fault, const ByteCursor& at, uint64_t begin, Flaw what) {
  fault = {begin, what, at.HolderEnds()};
  return false;
}

}  // namespace structure

// Where an element lies: in the contents of an element of definite length, or elsewhere (the
// top level, contents of indefinite length).
enum class Holder : uint8_t { kOther, kDefinite };

template <typename Policy>
bool PassOverElement(ByteCursor& at, int depth, typename Policy::Scope scope, Policy& policy, StructureFault& fault,
                     Holder holder = Holder::kOther);

// The elements from the read position up to the cursor's end, `depth` levels deep: the contents
// of an element of definite length.
template <typename Policy>
bool PassOverElements(ByteCursor& at, int depth, typename Policy::Scope scope, Policy& policy,
                      StructureFault& fault) {
  while (!at.AtEnd()) {
    if (!PassOverElement(at, depth, scope, policy, fault, Holder::kDefinite)) return false;
  }
  return true;
}

// The contents of indefinite length of the element `depth` levels deep that begins at `begin`,
// from the read position: the elements nested in it, in `inner`, up to the end-of-contents octets,
// which it moves past.
template <typename Policy>
bool PassOverIndefiniteContents(ByteCursor& at, uint64_t begin, int depth, typename Policy::Scope inner,
                                Policy& policy, StructureFault& fault) {
  for (;;) {
    if (at.Left() < 2) return structure::Fail(fault, at, begin, Flaw::kNoEndOfContents);
    if (at.AtEndOfContents()) return at.Skip(2);
    if (!PassOverElement(at, depth + 1, inner, policy, fault)) return false;
  }
}

// The length octets and contents of the element `depth` levels deep that begins at `begin`, whose
// identifier octets were read into `id` and which the policy looked at (`entry`).
template <typename Policy>
bool PassOverRest(ByteCursor& at, uint64_t begin, const ElementIdentifier& id,
                  const Entry<typename Policy::Scope>& entry, int depth, Policy& policy, StructureFault& fault) {
  ElementLength length;
  const HeaderRead read = ReadLengthOctets(at, length, Unexplained{}, Policy::kLengthOctets);
  if (!LengthWithinLeft(read, length, at)) return structure::Fail(fault, at, begin, LengthFlaw(read));
  if (length.Indefinite) {
    if (!id.Constructed) return structure::Fail(fault, at, begin, Flaw::kPrimitiveIndefinite);
    return PassOverIndefiniteContents(at, begin, depth, entry.Inner, policy, fault);
  }
  if (!id.Constructed || !entry.Enters) return at.Skip(length.Value);
  if constexpr (Policy::kBoundsContents) {
    ByteCursor contents = at.Contents(length.Value);
    if (!PassOverElements(contents, depth + 1, entry.Inner, policy, fault)) return false;
    at.CatchUp(contents);
    return true;
  } else {
    const uint64_t end = at.Position() + length.Value;
    while (at.Position() < end) {
      if (!PassOverElement(at, depth + 1, entry.Inner, policy, fault, Holder::kDefinite)) return false;
    }
    return at.Position() == end || structure::Fail(fault, at, begin, Flaw::kContentsOverrun);
  }
}

// Moves past one element `depth` levels deep, which lies in `scope` and in `holder`; false, with the
// fault, where it does not read as well-formed or the policy stops.
template <typename Policy>
bool PassOverElement(ByteCursor& at, int depth, typename Policy::Scope scope, Policy& policy, StructureFault& fault,
                     Holder holder) {
  const uint64_t begin = at.Position();
  if (!policy.Spend()) return structure::Fail(fault, at, begin, Flaw::kBudgetSpent);
  if (depth > Policy::kDeepest) return structure::Fail(fault, at, begin, Flaw::kNestedTooDeep);
  ElementIdentifier id;
  const HeaderRead read = ReadIdentifierOctets(at, id, policy.Identifiers);
  if (read != HeaderRead::kRead) return structure::Fail(fault, at, begin, IdentifierFlaw(read));
  if (holder == Holder::kDefinite && IsEndOfContentsOctet(id) && policy.RefusesZeroIdentifier()) {
    return structure::Fail(fault, at, begin, Flaw::kZeroIdentifier);
  }
  const Entry<typename Policy::Scope> entry = policy.Look(scope, id, depth);
  if (!entry.Declared) return structure::Fail(fault, at, begin, Flaw::kUndeclared);
  return PassOverRest(at, begin, id, entry, depth, policy, fault);
}

}  // namespace orvalis
