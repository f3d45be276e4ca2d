#include "decode/walk/resync.h"

#include "decode/ber/element_header.h"

namespace orvalis {
namespace {

// Where a checked element lies: the branch that declares the tags there (null: none), or the
// contents of an element kept whole (Opaque), whose elements are passed over without a look at
// the dictionary, entered only where their end is to be found (an indefinite length).
struct CheckScope {
  const TBranch* Branch = nullptr;
  bool Kept = false;
};
constexpr CheckScope kKeptScope = {nullptr, true};

// The leaf of an element in `branch`, as the walk finds it.
const TLeaf* LeafIn(const TBranch* branch, const ElementIdentifier& id) {
  return branch != nullptr ? branch->Find(id.TagId, ClassOfIdentifier(id.FirstOctet)) : nullptr;
}

// What a check makes of an element of `leaf`: a constructed element whose contents are kept whole
// is passed over as the walk passes over it, else its contents are read in its branch.
Entry<CheckScope> EntryOf(const TLeaf& leaf, const ElementIdentifier& id) {
  if (id.Constructed && leaf.Item.KeepsContents) return {true, false, kKeptScope};
  return {true, true, {leaf.Child.get(), false}};
}

// The check of a candidate's nested elements: every tag declared under the path of the element
// holding it (the scope's branch is that element's, null when it declares none), all length octets
// followed, the contents of a definite length read on and required to end at its end, no
// identifier octet 00 in them (the walk with Resync calls it damage), at most kCheckedElements
// headers.
struct CandidateCheck {
  using Scope = CheckScope;
  static constexpr int kLengthOctets = kMaxLengthOctets;
  static constexpr int kDeepest = kMaxDepth;
  static constexpr bool kBoundsContents = false;

  IdentifierRule Identifiers;
  uint32_t Left = kCheckedElements;

  static bool RefusesZeroIdentifier() { return true; }
  bool Spend() {
    if (Left == 0) return false;
    --Left;
    return true;
  }
  static Entry<Scope> Look(Scope scope, const ElementIdentifier& id, int) {
    if (scope.Kept) return {true, false, kKeptScope};
    const TLeaf* leaf = LeafIn(scope.Branch, id);
    if (leaf == nullptr) return {false, false, {}};
    return EntryOf(*leaf, id);
  }
};

// The check of a record passed over unseen: the dictionary asked only which elements keep their
// contents whole, all length octets followed, the contents of a definite length read with a cursor
// of their own and holding no identifier octet 00, no budget.
struct SkippedRecordCheck {
  using Scope = CheckScope;
  static constexpr int kLengthOctets = kMaxLengthOctets;
  static constexpr int kDeepest = kMaxDepth;
  static constexpr bool kBoundsContents = true;

  IdentifierRule Identifiers;

  static bool RefusesZeroIdentifier() { return true; }
  static bool Spend() { return true; }
  static Entry<Scope> Look(Scope scope, const ElementIdentifier& id, int) {
    if (scope.Kept) return {true, false, kKeptScope};
    const TLeaf* leaf = LeafIn(scope.Branch, id);
    if (leaf == nullptr) return {true, true, {}};
    return EntryOf(*leaf, id);
  }
};

enum class Check { kBad, kClean, kEnough };

// The length and contents of a candidate `depth` levels deep, of tag `leaf`, whose identifier was
// read into `id`: its nested elements declared under it and ending exactly at its end.
Check CheckContents(ByteCursor& at, const ElementIdentifier& id, const TLeaf& leaf, int depth, IdentifierRule rule) {
  CandidateCheck check{rule};
  StructureFault fault;
  const uint64_t begin = at.Position();  // the fault's place is not used
  if (PassOverRest(at, begin, id, EntryOf(leaf, id), depth, check, fault)) return Check::kClean;
  return fault.What == Flaw::kBudgetSpent ? Check::kEnough : Check::kBad;
}

// True when what follows a candidate begins cleanly (see resync.h).
bool BeginsCleanly(ByteCursor at, const TBranch& root, const TLeaf* block, bool skipFiller, IdentifierRule rule) {
  if (at.AtEnd()) return true;
  if (block != nullptr && at.AtEndOfContents()) return true;
  if (skipFiller && FillerAt(at, root, rule).Octets != 0) return true;
  ElementIdentifier id;
  ElementLength length;
  if (ReadIdentifierOctets(at, id, rule) != HeaderRead::kRead) return false;
  if (LeafIn(&root, id) == nullptr && !(block != nullptr && LeafIn(block->Child.get(), id) != nullptr)) return false;
  return ReadLengthOctets(at, length) == HeaderRead::kRead;
}

// True when the contents of the element at `at`, whose identifier was read, begin with an
// element: neither a length of 0 nor end-of-contents octets at once.
bool HoldsAnElement(ByteCursor at) {
  ElementLength length;
  if (ReadLengthOctets(at, length) != HeaderRead::kRead) return false;
  return length.Indefinite ? !at.AtEndOfContents() : length.Value != 0;
}

// True when the constructed element at `at` (its identifier read into `id`), of tag `leaf`, is a
// candidate `depth` levels deep, in `block` or at the top level.
bool IsCandidate(ByteCursor at, const ElementIdentifier& id, const TLeaf& leaf, int depth,
                 const TBranch& root, const TLeaf* block, bool skipFiller, IdentifierRule rule) {
  if (!HoldsAnElement(at)) return false;
  const Check check = CheckContents(at, id, leaf, depth, rule);
  if (check == Check::kEnough) return true;
  return check == Check::kClean && BeginsCleanly(at, root, block, skipFiller, rule);
}

// The record of the element `id` that `block` declares, or null.
const TLeaf* RecordIn(const TLeaf* block, const ElementIdentifier& id) {
  if (block == nullptr || !block->Child) return nullptr;
  const TLeaf* leaf = LeafIn(block->Child.get(), id);
  return leaf != nullptr && leaf->Item.OpensRecord ? leaf : nullptr;
}

// The octets of the run of `octet` from the read position up to the cursor's end.
uint64_t RunLength(const ByteCursor& at, uint8_t octet) {
  uint64_t count = 0;
  uint8_t next = 0;
  while (at.Peek(count, next) && next == octet) ++count;
  return count;
}

// True when what follows a CDR begins cleanly: the input's end, or a CDR header of a format the
// file knows whose record lies within the input.
bool FrameBeginsCleanly(ByteCursor at) {
  CdrHeader header;
  if (at.AtEnd()) return true;
  return ReadCdrHeader(at, header) && RecordFormatName(header.Format) != nullptr && header.Length <= at.Left();
}

// True when a CDR of the BER format begins at the read position, its record a candidate at the top
// level that fills it.
bool IsFrameCandidate(ByteCursor at, const TBranch& root, IdentifierRule rule) {
  CdrHeader header;
  if (!ReadCdrHeader(at, header) || header.Format != kBerFormat || header.Length == 0 || header.Length > at.Left()) {
    return false;
  }
  ByteCursor frame = at.Contents(header.Length);
  at.Skip(header.Length);
  ElementIdentifier id;
  if (ReadIdentifierOctets(frame, id, rule) != HeaderRead::kRead || !id.Constructed) return false;
  const TLeaf* top = LeafIn(&root, id);
  if (top == nullptr || !HoldsAnElement(frame)) return false;
  ElementLength length;
  ByteCursor lengthAt = frame;
  if (ReadLengthOctets(lengthAt, length) != HeaderRead::kRead) return false;
  if (!length.Indefinite && length.Value != lengthAt.Left()) return false;  // it must fill the CDR
  const Check check = CheckContents(frame, id, *top, 0, rule);
  if (check == Check::kBad || (check == Check::kClean && !frame.AtEnd())) return false;
  return FrameBeginsCleanly(at);
}

}  // namespace

namespace {

// With identifier octets of any length: true when the identifier octets at the last octet of a
// run of 0xFF (`count` of them from `at`) read as a tag number of 31 or more that the top level
// declares for a private element.
bool LongElementAfterRun(const ByteCursor& at, uint64_t count, const TBranch& root) {
  ByteCursor last = at;
  last.Skip(count - 1);
  ElementIdentifier id;
  return ReadIdentifierOctets(last, id, IdentifierRule::kAnyLength) == HeaderRead::kRead &&
         id.TagId >= kHighTagNumber && LeafIn(&root, id) != nullptr;
}

}  // namespace

ResumePoint FindFrameResumePoint(const ByteCursor& input, const TBranch& root, uint64_t from, IdentifierRule rule) {
  ByteCursor at = input;
  const uint64_t end = at.End();
  for (uint64_t offset = from; offset < end; ++offset) {
    at.MoveTo(offset);
    if (IsFrameCandidate(at, root, rule)) return {offset, nullptr};
  }
  return {end, nullptr};
}

FillerRun FillerAt(const ByteCursor& at, const TBranch& root, IdentifierRule rule) {
  uint8_t octet = 0;
  if (!at.Peek(0, octet) || (octet != 0x00 && octet != 0xFF)) return {};
  const uint64_t count = RunLength(at, octet);
  if (octet == 0x00) return {count, octet, false};
  if (rule == IdentifierRule::kAnyLength) {
    if (LongElementAfterRun(at, count, root)) return {count - 1, octet, count > 1};
    return {count, octet, false};
  }
  if (count == 1) return {root.Find(127, TagClass::kPrivate) == nullptr ? 1u : 0u, octet, false};
  uint8_t after = 0;
  if (at.Peek(count, after) && after >= kHighTagNumber && after <= 0x7F &&
      root.Find(after, TagClass::kPrivate) != nullptr) {
    return {count - 1, octet, true};
  }
  return {count, octet, false};
}

const char* WhyMalformed(Flaw flaw, bool holderEnds) {
  switch (flaw) {
    case Flaw::kLengthTooLarge: return kLengthTooLarge;
    case Flaw::kNestedTooDeep: return kNestedTooDeep;
    case Flaw::kPrimitiveIndefinite: return kPrimitiveIndefinite;
    case Flaw::kZeroIdentifier: return kZeroIdentifier;
    case Flaw::kTagNumberTooLarge: return kTagNumberTooLarge;
    case Flaw::kTagNumberPadded: return kTagNumberPadded;
    case Flaw::kNoEndOfContents: return holderEnds ? kRunsPastHolder : kNoEndOfContents;
    default: return holderEnds ? kRunsPastHolder : kInputEndsInside;
  }
}

bool ReadsWellFormed(ByteCursor at, int depth, const TBranch* branch, IdentifierRule rule, Malformed& bad) {
  SkippedRecordCheck check{rule};
  StructureFault fault;
  if (PassOverElements(at, depth, {branch, false}, check, fault)) return true;
  bad = {fault.At, WhyMalformed(fault.What, fault.HolderEnds)};
  return false;
}

const TLeaf* BlockOfPath(const TBranch& root, const TagPath& path) {
  if (path.Depth < 1) return nullptr;
  const TLeaf* top = root.FindDeclared(TagIdOf(path.Ids[0]), ClassOf(path.Ids[0]));
  if (top == nullptr || !top->Child) return nullptr;
  for (const TLeaf* leaf = top->Child->First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Item.OpensRecord) return top;
  }
  return nullptr;
}

ResumePoint FindResumePoint(const ByteCursor& input, const TBranch& root, const TLeaf* damagedIn,
                            uint64_t from, bool skipFiller, IdentifierRule rule) {
  ByteCursor at = input;
  const uint64_t end = at.End();
  for (uint64_t offset = from; offset < end; ++offset) {
    at.MoveTo(offset);
    ElementIdentifier id;
    if (ReadIdentifierOctets(at, id, rule) != HeaderRead::kRead || !id.Constructed) continue;
    if (const TLeaf* record = RecordIn(damagedIn, id)) {
      if (IsCandidate(at, id, *record, 1, root, damagedIn, skipFiller, rule)) return {offset, damagedIn};
    }
    if (const TLeaf* top = LeafIn(&root, id)) {
      if (IsCandidate(at, id, *top, 0, root, nullptr, skipFiller, rule)) return {offset, nullptr};
    }
    for (const TLeaf* block = root.First; block != nullptr; block = block->Next) {
      const TLeaf* record = block == damagedIn ? nullptr : RecordIn(block, id);
      if (record != nullptr && IsCandidate(at, id, *record, 1, root, block, skipFiller, rule)) return {offset, block};
    }
  }
  return {end, nullptr};
}

}  // namespace orvalis
