#include "decode/walk/resync.h"

#include "decode/ber/element_header.h"

namespace orvalis {
namespace {

enum class Check { kBad, kClean, kEnough };

// One candidate's check: the headers it may still read.
struct CheckBudget {
  uint32_t Left = kCheckedElements;
};

Check CheckContents(ByteCursor& at, const ElementIdentifier& id, const TLeaf& leaf, int depth,
                    CheckBudget& budget);

// A nested element `depth` levels deep, its tag declared in `branch`.
Check CheckNested(ByteCursor& at, const TBranch* branch, int depth, CheckBudget& budget) {
  if (budget.Left == 0) return Check::kEnough;
  --budget.Left;
  ElementIdentifier id;
  if (depth > kMaxDepth || branch == nullptr || ReadIdentifierOctets(at, id) != HeaderRead::kRead) {
    return Check::kBad;
  }
  const TLeaf* leaf = branch->FindById(id.TagId);
  if (leaf == nullptr) return Check::kBad;
  return CheckContents(at, id, *leaf, depth, budget);
}

// The length and contents of an element whose identifier was read: a primitive one of definite
// length within the input, a constructed one whose nested elements end exactly at its end.
Check CheckContents(ByteCursor& at, const ElementIdentifier& id, const TLeaf& leaf, int depth,
                    CheckBudget& budget) {
  ElementLength length;
  if (ReadLengthOctets(at, length) != HeaderRead::kRead) return Check::kBad;
  if (!id.Constructed) return !length.Indefinite && at.Skip(length.Value) ? Check::kClean : Check::kBad;
  const TBranch* branch = leaf.Child.get();
  if (length.Indefinite) {
    for (;;) {
      if (at.Left() < 2) return Check::kBad;
      if (at.AtEndOfContents()) {
        at.Skip(2);
        return Check::kClean;
      }
      const Check nested = CheckNested(at, branch, depth + 1, budget);
      if (nested != Check::kClean) return nested;
    }
  }
  if (length.Value > at.Left()) return Check::kBad;
  const uint64_t end = at.Position() + length.Value;
  while (at.Position() < end) {
    const Check nested = CheckNested(at, branch, depth + 1, budget);
    if (nested != Check::kClean) return nested;
  }
  return at.Position() == end ? Check::kClean : Check::kBad;
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
  CheckBudget budget;
  const Check check = CheckContents(at, id, leaf, depth, budget);
  if (check == Check::kEnough) return true;
  return check == Check::kClean && BeginsCleanly(at, root, block, skipFiller);
}

// The record of tag `tagId` that `block` declares, or null.
const TLeaf* RecordIn(const TLeaf* block, int32_t tagId) {
  if (block == nullptr || !block->Child) return nullptr;
  const TLeaf* leaf = block->Child->FindById(tagId);
  return leaf != nullptr && leaf->Item.OpensRecord ? leaf : nullptr;
}

bool ElementReadsWellFormed(ByteCursor& at, int depth, Malformed& bad);

// The nested elements of an element of indefinite length up to its end-of-contents octets; `at`
// is the element's first octet.
bool IndefiniteReadsWellFormed(ByteCursor& at, int depth, uint64_t begin, Malformed& bad) {
  for (;;) {
    if (at.Left() < 2) {
      bad = {begin, at.End() < at.Size() ? kRunsPastHolder : kNoEndOfContents};
      return false;
    }
    if (at.AtEndOfContents()) return at.Skip(2);
    if (!ElementReadsWellFormed(at, depth + 1, bad)) return false;
  }
}

bool ElementReadsWellFormed(ByteCursor& at, int depth, Malformed& bad) {
  const uint64_t begin = at.Position();
  ElementIdentifier id;
  ElementLength length;
  if (depth > kMaxDepth) {
    bad = {begin, kNestedTooDeep};
    return false;
  }
  const HeaderRead read = ReadIdentifierOctets(at, id) == HeaderRead::kRead ? ReadLengthOctets(at, length)
                                                                           : HeaderRead::kInputEnded;
  if (read != HeaderRead::kRead || (!length.Indefinite && length.Value > at.Left())) {
    bad = {begin, read == HeaderRead::kLengthTooLarge ? kLengthTooLarge : WhyCutShort(at)};
    return false;
  }
  if (length.Indefinite) {
    if (id.Constructed) return IndefiniteReadsWellFormed(at, depth, begin, bad);
    bad = {begin, kPrimitiveIndefinite};
    return false;
  }
  if (id.Constructed) {
    ByteCursor contents = at;
    contents.SetEnd(at.Position() + length.Value);
    if (!ReadsWellFormed(contents, depth + 1, bad)) return false;
  }
  return at.Skip(length.Value);
}

// The octets of the run of `octet` from the read position up to the cursor's end.
uint64_t RunLength(const ByteCursor& at, uint8_t octet) {
  uint64_t count = 0;
  uint8_t next = 0;
  while (at.Peek(count, next) && next == octet) ++count;
  return count;
}

}  // namespace

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

bool ReadsWellFormed(ByteCursor at, int depth, Malformed& bad) {
  while (!at.AtEnd()) {
    if (!ElementReadsWellFormed(at, depth, bad)) return false;
  }
  return true;
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
