// Filler and damage: what SkipFiller passes over where a top-level element would begin, and where
// Resync lets the walk go on after damage. Both read through the one header reader, without
// walking: the walk (walk_steps.h) and the scan that plans a shared walk (stretch_walk.cpp) use
// them.
//
// Filler is decided by the octets where a top-level element would begin:
//   - a run of 0x00 octets, whatever the dictionary declares: an identifier octet 0x00 is the
//     universal class's tag 0, which BER keeps for end-of-contents, never an element's own;
//   - a run of two or more 0xFF octets, whatever the dictionary declares, except its last octet
//     when the octet after the run is 0x1F to 0x7F and the top level declares that tag number:
//     0xFF followed by such an octet is how an encoder writes a private constructed tag of 31 to
//     127, so an element begins at the last 0xFF;
//   - a single 0xFF octet, unless the top level declares tag 127 (which 0xFF begins).
// With identifier octets of any length (LongTagNumbers) the last 0xFF of a run, single or not,
// begins an element instead when the identifier octets there read as a tag number of 31 or more
// that the top level declares for a private element.
// Between the nested elements of a block it is not filler: there a run of 0x00 reads as the
// end-of-contents octets of a block of indefinite length, and a padded block is written by the
// exchange as a whole, padding after it. In contents of definite length, an identifier octet 0x00
// is damage with Resync (without it, an empty element of tag 0).
//
// A place to go on after damage (a candidate) is an element at or after the search's first
// octet that
//   - is constructed, and is a record of the block the damage happened in, else an element the
//     top level declares, else a record of another block (tried in this order at each offset),
//     each found by its class and tag number as the walk finds it;
//   - holds at least one nested element (an empty element is no record: two octets such as
//     A1 00 turn up in any value);
//   - has nested elements whose tags are all declared under its path, read as well-formed elements
//     up to its end (its length, or its end-of-contents octets), no deeper than the walk goes,
//     none with identifier octet 00 in contents of definite length (damage to the walk); of an
//     element whose contents are kept whole (Opaque), only what finds its end is read;
//   - is followed by a clean beginning: the input's end, end-of-contents octets (in a block),
//     filler (with SkipFiller), or an element whose identifier and length octets read and whose
//     tag the top level (or the block) declares (whether its contents read is that element's own
//     matter: damage there is found when the walk reaches it, and costs no record before it).
// The earliest candidate wins. A check reads at most kCheckedElements headers: a candidate with
// more nested elements is taken on the strength of those, so the search stays linear in the input.
#pragma once

#include <cstdint>

#include "decode/ber/byte_cursor.h"
#include "decode/ber/structure.h"
#include "decode/frames/cdr_frames.h"
#include "tags/tag_tree.h"

namespace orvalis {

// What failed at a place of damage, for the console line.
constexpr const char kInputEndsInside[] = "the element there runs past the end of the file";
constexpr const char kRunsPastHolder[] = "the element there runs past the end of the element that holds it";
constexpr const char kLengthTooLarge[] = "the element there has a length too large";
constexpr const char kNestedTooDeep[] = "the element there is nested deeper than 21 levels";
constexpr const char kPrimitiveIndefinite[] = "the element there is primitive with indefinite length";
constexpr const char kNoEndOfContents[] = "the element there has no end-of-contents octets";
constexpr const char kPrimitiveRecord[] = "the element there has a record's tag but is primitive";
constexpr const char kZeroIdentifier[] =
    "the element there has identifier octet 00, which only ends contents of indefinite length";
constexpr const char kTagNumberTooLarge[] = "the element there has a tag number above 2097151";
constexpr const char kTagNumberPadded[] = "the element there has a tag number whose first subsequent octet is 80";
constexpr const char kCdrLengthDisagrees[] = "the CDR there gives a length that its record does not have";

// What failed, for the console line: a flaw a pass over elements found (decode/ber/structure.h),
// or the walk's own. Octets that ran out (kCutShort, kNoEndOfContents) ran out at the end of the
// element holding them when `holderEnds`, else at the input's end.
const char* WhyMalformed(Flaw flaw, bool holderEnds);

// An element that does not read as well-formed: its first octet and what failed.
struct Malformed {
  uint64_t At = 0;
  const char* Why = "";
};

// Reads the elements from the read position up to the cursor's end (contents of definite length),
// `depth` levels deep in `branch` (null: none declared there), as well-formed elements, identifier
// octets read by `rule` (identifier and length octets, lengths within what holds them,
// end-of-contents octets, no identifier octet 00 in contents of definite length, nesting no deeper
// than the walk goes; the dictionary is asked only which elements keep their contents whole, whose
// contents are read only as far as their end needs). False, with the innermost element that does
// not read, at the first such. The check of a record passed over unseen.
bool ReadsWellFormed(ByteCursor at, int depth, const TBranch* branch, IdentifierRule rule, Malformed& bad);

// The most element headers one candidate's check reads.
constexpr uint32_t kCheckedElements = 4096;

// The filler at a place where a top-level element would begin: one run of one octet.
struct FillerRun {
  uint64_t Octets = 0;          // 0: no filler here
  uint8_t Octet = 0;            // 0x00 or 0xFF
  bool ElementFollows = false;  // the run's last 0xFF begins an element: no filler after this run
};

// The filler at the read position (see above), identifier octets read by `rule`; the cursor does
// not move.
FillerRun FillerAt(const ByteCursor& at, const TBranch& root, IdentifierRule rule);

// Where the walk goes on after damage.
struct ResumePoint {
  uint64_t At = 0;                // a candidate's first octet, or the input's end
  const TLeaf* Block = nullptr;   // the block the record found is read in; null at the top level
};

// The earliest candidate from `from` on, identifier octets read by `rule`. `damagedIn` is the
// block the damage happened in (null when none). `input` may stand anywhere; it does not move.
ResumePoint FindResumePoint(const ByteCursor& input, const TBranch& root, const TLeaf* damagedIn,
                            uint64_t from, bool skipFiller, IdentifierRule rule);

// In a file of CDRs (decode/frames/cdr_frames.h): the earliest CDR from `from` on whose header
// gives the BER format and a length that its record fills, the record a candidate at the top level
// (as above), followed by the end of the input or another CDR header that reads; the input's end
// when there is none. `input` may stand anywhere; it does not move.
ResumePoint FindFrameResumePoint(const ByteCursor& input, const TBranch& root, uint64_t from, IdentifierRule rule);

// The block that the element at the path's top holds the damaged element in: the top-level leaf
// of path entry 0 (as the path shows it) when the path is deeper than the top level and that leaf
// declares a record among its sub-tags; null otherwise.
const TLeaf* BlockOfPath(const TBranch& root, const TagPath& path);

}  // namespace orvalis
