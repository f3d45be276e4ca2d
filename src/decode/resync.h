// Filler and damage: what SkipFiller passes over where a top-level element would begin, and where
// Resync lets the walk go on after damage. Both read through the one header reader, without
// walking: the walk (walk_steps.h) and the scan that plans a shared walk (stretch_walk.cpp) use
// them.
//
// Filler is a run of 0x00 octets or of 0xFF octets where a top-level element would begin, unless
// the dictionary declares a top-level tag that such octets begin (tag 0 for 0x00, tag 127 for
// 0xFF 0xFF). Between the nested elements of a block it is not filler: there a run of 0x00 reads
// as the end-of-contents octets or empty elements of tag 0, as the block's length says, and a
// padded block is written by the exchange as a whole, padding after it.
//
// A place to go on after damage (a candidate) is an element at or after the search's first
// octet that
//   - is constructed, and is a record of the block the damage happened in, else an element the
//     top level declares, else a record of another block (tried in this order at each offset);
//   - has nested elements whose tags are all declared under its path, read as well-formed elements
//     up to its end (its length, or its end-of-contents octets), no deeper than the walk goes;
//   - is followed by a clean beginning: the input's end, end-of-contents octets (in a block),
//     filler (with SkipFiller), or an element whose identifier and length octets read and whose
//     tag the top level (or the block) declares (whether its contents read is that element's own
//     matter: damage there is found when the walk reaches it, and costs no record before it).
// The earliest candidate wins. A check reads at most kCheckedElements headers: a candidate with
// more nested elements is taken on the strength of those, so the search stays linear in the input.
#pragma once

#include <cstdint>

#include "decode/byte_cursor.h"
#include "tags/tag_tree.h"

namespace orvalis {

// What failed at a place of damage, for the console line.
constexpr const char kInputEndsInside[] = "the element there runs past the end of the file";
constexpr const char kRunsPastHolder[] = "the element there runs past the end of the element that holds it";
constexpr const char kLengthTooLarge[] = "the element there has a length too large";
constexpr const char kNestedTooDeep[] = "the element there is nested deeper than 21 levels";
constexpr const char kPrimitiveIndefinite[] = "the element there is primitive with indefinite length";
constexpr const char kNoEndOfContents[] = "the element there has no end-of-contents octets";

// Why an element whose octets ran out at the cursor's end could not be read: the end of the
// element holding it (an end set), or the input's.
inline const char* WhyCutShort(const ByteCursor& at) { return at.End() < at.Size() ? kRunsPastHolder : kInputEndsInside; }

// An element that does not read as well-formed: its first octet and what failed.
struct Malformed {
  uint64_t At = 0;
  const char* Why = "";
};

// Reads the elements from the read position up to the cursor's end, `depth` levels deep, as
// well-formed elements (without the dictionary: identifier and length octets, lengths within
// what holds them, end-of-contents octets, nesting no deeper than the walk goes). False, with the
// innermost element that does not read, at the first such.
bool ReadsWellFormed(ByteCursor at, int depth, Malformed& bad);

// The most element headers one candidate's check reads.
constexpr uint32_t kCheckedElements = 4096;

// True when the octet at the read position begins filler: 0x00 or 0xFF, and no top-level tag that
// it would begin is declared.
inline bool AtFiller(const ByteCursor& at, const TBranch& root) {
  uint8_t octet = 0;
  if (!at.Peek(0, octet)) return false;
  if (octet == 0x00) return root.FindById(0) == nullptr;
  return octet == 0xFF && root.FindById(127) == nullptr;
}

// Moves past the run of the octet at the read position, up to `end`; returns the octets passed.
inline uint64_t SkipRun(ByteCursor& at, uint64_t end) {
  uint8_t first = 0;
  uint8_t octet = 0;
  if (!at.Peek(0, first)) return 0;
  const uint64_t begin = at.Position();
  while (at.Position() < end && at.Peek(0, octet) && octet == first) at.Skip(1);
  return at.Position() - begin;
}

// Where the walk goes on after damage.
struct ResumePoint {
  uint64_t At = 0;                // a candidate's first octet, or the input's end
  const TLeaf* Block = nullptr;   // the block the record found is read in; null at the top level
};

// The earliest candidate from `from` on. `damagedIn` is the block the damage happened in (null
// when none). `input` may stand anywhere; it does not move.
ResumePoint FindResumePoint(const ByteCursor& input, const TBranch& root, const TLeaf* damagedIn,
                            uint64_t from, bool skipFiller);

// The block that the element at the path's top holds the damaged element in: the top-level leaf
// of path entry 0 when the path is deeper than the top level and that leaf declares a record
// among its sub-tags; null otherwise.
const TLeaf* BlockOfPath(const TBranch& root, const TagPath& path);

}  // namespace orvalis
