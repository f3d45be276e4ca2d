#include "decode/walk/resync.h"

#include "decode/ber/element_header.h"

namespace orvalis {
namespace {

// The check of a candidate's nested elements: every tag declared under the path of the element
// holding it (the scope is that element's branch, null when it declares none), all length octets
// followed, the contents of a definite length read on and required to end at its end, no
// identifier octet 00 in them (the walk with Resync calls it damage), at most kCheckedElements
// headers.
struct CandidateCheck {
  using Scope = const TBranch*;
  static constexpr int kLengthOctets = kMaxLengthOctets;
  static constexpr int kDeepest = kMaxDepth;
  static constexpr bool kBoundsContents = false;

  uint32_t Left = kCheckedElements;

  static bool RefusesZeroIdentifier() { return true; }
  bool Spend() {
    if (Left == 0) return false;
    --Left;
    return true;
  }
  static Entry<Scope> Look(Scope branch, const ElementIdentifier& id, int) {
    const TLeaf* leaf = branch != nullptr ? branch->FindById(id.TagId) : nullptr;
    if (leaf == nullptr) return {false, false, nullptr};
    return {true, true, leaf->Child.get()};
  }
};

// The check of a record passed over unseen: no dictionary, all length octets followed, the
// contents of a definite length read with a cursor of their own and holding no identifier octet
// 00, no budget.
struct SkippedRecordCheck {
  struct Scope {};
  static constexpr int kLengthOctets = kMaxLengthOctets;
  static constexpr int kDeepest = kMaxDepth;
  static constexpr bool kBoundsContents = true;

  static bool RefusesZeroIdentifier() { return true; }
  static bool Spend() { return true; }
  static Entry<Scope> Look(Scope, const ElementIdentifier&, int) { return {true, true, {}}; }
};

enum class Check { kBad, kClean, kEnough };

// The length and contents of a candidate `depth` levels deep, of tag `leaf`, whose identifier was
// read into `id`: its nested elements declared under it and ending exactly at its end.
Check CheckContents(ByteCursor& at, const ElementIdentifier& id, const TLeaf& leaf, int depth) {
  CandidateCheck check;
  StructureFault fault;
  const uint64_t begin = at.Position();  // the fault's place is not used
  if (PassOverRest(at, begin, id, {true, true, leaf.Child.get()}, depth, check, fault)) return Check::kClean;
  return fault.What == Flaw::kBudgetSpent ? Check::kEnough : Check::kBad;
}

bool Declares(const TBranch* branch, int32_t tagId) {
  return branch != nullptr && branch->FindById(tagId) != nullptr;
}

// True when what follows a candidate begins cleanly (see resync.h).
bool BeginsCleanly(ByteCursor at, const TBranch& root, const TLeaf* block, bool skipFiller) {
  if (at.AtEnd()) return true;
  if (block != nullptr && at.AtEndOfContents()) return true;
  if (skipFiller && FillerAt(at, root).Octets != 0) return true;
  ElementIdentifier id;
  ElementLength length;
  if (ReadIdentifierOctets(at, id) != HeaderRead::kRead) return false;
  if (!Declares(&root, id.TagId) && !(block != nullptr && Declares(block->Child.get(), id.TagId))) return false;
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
                 const TBranch& root, const TLeaf* block, bool skipFiller) {
  if (!HoldsAnElement(at)) return false;
  const Check check = CheckContents(at, id, leaf, depth);
  if (check == Check::kEnough) return true;
  return check == Check::kClean && BeginsCleanly(at, root, block, skipFiller);
}

// The record of tag `tagId` that `block` declares, or null.
const TLeaf* RecordIn(const TLeaf* block, int32_t tagId) {
  if (block == nullptr || !block->Child) return nullptr;
  const TLeaf* leaf = block->Child->FindById(tagId);
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
bool IsFrameCandidate(ByteCursor at, const TBranch& root) {
  CdrHeader header;
  if (!ReadCdrHeader(at, header) || header.Format != kBerFormat || header.Length == 0 || header.Length > at.Left()) {
    return false;
  }
  ByteCursor frame = at.Contents(header.Length);
  at.Skip(header.Length);
  ElementIdentifier id;
  if (ReadIdentifierOctets(frame, id) != HeaderRead::kRead || !id.Constructed) return false;
  const TLeaf* top = root.FindById(id.TagId);
  if (top == nullptr || !HoldsAnElement(frame)) return false;
  ElementLength length;
  ByteCursor lengthAt = frame;
  if (ReadLengthOctets(lengthAt, length) != HeaderRead::kRead) return false;
  if (!length.Indefinite && length.Value != lengthAt.Left()) return false;  // it must fill the CDR
  const Check check = CheckContents(frame, id, *top, 0);
  if (check == Check::kBad || (check == Check::kClean && !frame.AtEnd())) return false;
  return FrameBeginsCleanly(at);
}

}  // namespace

ResumePoint FindFrameResumePoint(const ByteCursor& input, const TBranch& root, uint64_t from) {
  ByteCursor at = input;
  const uint64_t end = at.End();
  for (uint64_t offset = from; offset < end; ++offset) {
    at.MoveTo(offset);
    if (IsFrameCandidate(at, root)) return {offset, nullptr};
  }
  return {end, nullptr};
}

FillerRun FillerAt(const ByteCursor& at, const TBranch& root) {
  uint8_t octet = 0;
  if (!at.Peek(0, octet) || (octet != 0x00 && octet != 0xFF)) return {};
  const uint64_t count = RunLength(at, octet);
  if (octet == 0x00) return {count, octet, false};
  if (count == 1) return {root.FindById(127) == nullptr ? 1u : 0u, octet, false};
  uint8_t after = 0;
  if (at.Peek(count, after) && after >= kHighTagNumber && after <= 0x7F && root.FindById(after) != nullptr) {
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
    case Flaw::kNoEndOfContents: return holderEnds ? kRunsPastHolder : kNoEndOfContents;
    default: return holderEnds ? kRunsPastHolder : kInputEndsInside;
  }
}

bool ReadsWellFormed(ByteCursor at, int depth, Malformed& bad) {
  SkippedRecordCheck check;
  StructureFault fault;
  if (PassOverElements(at, depth, {}, check, fault)) return true;
  bad = {fault.At, WhyMalformed(fault.What, fault.HolderEnds)};
  return false;
}

const TLeaf* BlockOfPath(const TBranch& root, const TagPath& path) {
  if (path.Depth < 1) return nullptr;
  const TLeaf* top = root.FindById(path.Ids[0]);
  if (top == nullptr || !top->Child) return nullptr;
  for (const TLeaf* leaf = top->Child->First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Item.OpensRecord) return top;
  }
  return nullptr;
}

ResumePoint FindResumePoint(const ByteCursor& input, const TBranch& root, const TLeaf* damagedIn,
                            uint64_t from, bool skipFiller) {
  ByteCursor at = input;
  const uint64_t end = at.End();
  for (uint64_t offset = from; offset < end; ++offset) {
    at.MoveTo(offset);
    ElementIdentifier id;
    if (ReadIdentifierOctets(at, id) != HeaderRead::kRead || !id.Constructed) continue;
    if (const TLeaf* record = RecordIn(damagedIn, id.TagId)) {
      if (IsCandidate(at, id, *record, 1, root, damagedIn, skipFiller)) return {offset, damagedIn};
    }
    if (const TLeaf* top = root.FindById(id.TagId)) {
      if (IsCandidate(at, id, *top, 0, root, nullptr, skipFiller)) return {offset, nullptr};
    }
    for (const TLeaf* block = root.First; block != nullptr; block = block->Next) {
      const TLeaf* record = block == damagedIn ? nullptr : RecordIn(block, id.TagId);
      if (record != nullptr && IsCandidate(at, id, *record, 1, root, block, skipFiller)) return {offset, block};
    }
  }
  return {end, nullptr};
}

}  // namespace orvalis
