// The tag dictionary in memory: a tree that mirrors the nesting of tags in a billing record.
//
// Each level is a TBranch, a list of sibling TLeaf nodes; each leaf carries the TItem that
// Tags.cfg declared for one tag number at one place in the nesting, and a leaf with declared
// sub-tags has a child branch. A branch owns its leaves, a leaf its item and child branch, an
// item its texts and tables; destroying the root destroys the whole dictionary.
//
// The tree goes down as far as the walk can: to the leaves of depth kMaxDepth, and under such a
// leaf with sub-tags declared, one branch more (the walk must know that they are declared), which
// holds no leaves. The walk never looks below depth kMaxDepth, so that branch keeps only the
// TagNames declared at or below it, with their paths, for the filter file (TBranch::DeepNames).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/padded_text.h"
#include "tags/mnemonic_lists.h"

namespace orvalis {

// How a tag's primitive value is decoded: the code of its value type, the type's place in the list
// of types (decode/types/value_types.h); 0 when the dictionary gives none.
enum class TagType : uint8_t { None = 0 };

// The value types a dictionary may name with its Type parameter, by their codes: Names[code] for
// codes 1 to Count - 1 (the list of types gives them to the reader).
struct ValueTypeNames {
  const std::string_view* Names = nullptr;
  std::size_t Count = 0;
  // The code of a type's name; false for a name that is none of them.
  bool Find(std::string_view name, TagType& code) const {
    for (std::size_t i = 1; i < Count; ++i) {
      if (name == Names[i]) {
        code = static_cast<TagType>(i);
        return true;
      }
    }
    return false;
  }
};

// The deepest nesting the walkers accept: depths 0 to kMaxDepth.
constexpr int kMaxDepth = 20;

// The tag numbers of the element being walked and of all that enclose it, outermost first.
struct TagPath {
  int32_t Ids[kMaxDepth + 1] = {};
  int Depth = -1;  // index of the innermost entry; -1 when empty
};
// Paths are equal when they hold the same tag numbers; what lies past Depth does not count.
inline bool operator==(const TagPath& a, const TagPath& b) {
  if (a.Depth != b.Depth) return false;
  for (int level = 0; level <= a.Depth; ++level) {
    if (a.Ids[level] != b.Ids[level]) return false;
  }
  return true;
}

class TBranch;

// What is known of one tag number at one path.
class TItem {
 public:
  explicit TItem(int32_t tagId) : TagId(tagId) {}

  // Applies one Tags.cfg parameter. `line` is the line cut at its "=", used only in messages.
  // Returns -1 after the unknown-type message, 0 otherwise.
  int SetParameter(std::string_view line, std::string_view name, std::string_view value,
                   const ValueTypeNames& types);

  // What the walk reads of every element comes first.
  int32_t TagId;
  TagType Type = TagType::None;
  bool OpensRecord = false;  // TagName is "record": the element opens a billing record
  std::optional<PaddedText> LongTagName;
  std::optional<std::string> TagName;
  std::unique_ptr<TIndValList> IndArr;
  std::unique_ptr<TNonIndValList> NonIndArr;
  std::optional<std::string> FilterValue;
  // Occurs: how many occurrences of the tag within its holder get CSV columns.
  uint32_t Occurs = 1;
  // NamedNumbers: the names of an Enumerated's values and of a BitString's bits.
  std::unique_ptr<TNamedNumbers> NamedNumbers;
  // Numeric=true: the item's integers may pass 2^63 - 1 (its columns are numeric, not bigint).
  bool Numeric = false;
};

// The largest Occurs a dictionary may give.
constexpr uint32_t kMaxOccurs = 1000;

class TLeaf {
 public:
  TLeaf(TItem item, TBranch* owner) : Item(std::move(item)), Owner(owner) {}

  TItem Item;  // kept in the leaf, so that a lookup reaches it with no further step
  TLeaf* Prev = nullptr;
  TLeaf* Next = nullptr;
  TBranch* Owner;                 // the branch that holds this leaf
  std::unique_ptr<TBranch> Child;  // the sub-tags declared under this one, if any
  // The leaf's place among the leaves of its tree, in the order the dictionary declared them
  // (0, 1, 2 ...): what a writer keeps of each leaf is kept beside the tree, by this number.
  uint32_t Serial = 0;
};

class TBranch {
 public:
  explicit TBranch(TLeaf* parent) : Parent(parent) {}
  TBranch(const TBranch&) = delete;
  TBranch& operator=(const TBranch&) = delete;

  // Links the leaf after the last one and takes ownership of it. Does not touch its Owner.
  TLeaf* Append(std::unique_ptr<TLeaf> leaf);
  // The first leaf whose item has the tag number, or null.
  TLeaf* FindById(int32_t tagId) const {
    const uint32_t number = static_cast<uint32_t>(tagId);  // a negative one is above them all
    if (number < kOneOctetTagIds) return byId_[number];
    if (number < kIndexedTagIds) return longIds_[number - kOneOctetTagIds];
    return FindLargeId(tagId);
  }
  int32_t Count() const { return static_cast<int32_t>(leaves_.size()); }

  TLeaf* Parent;  // the leaf whose Child this branch is; null for the root
  TLeaf* First = nullptr;
  TLeaf* Last = nullptr;
  // In the root: the leaves declared in the whole tree so far (the next leaf's Serial), and the
  // value types its Type parameters may name.
  uint32_t LeavesDeclared = 0;
  ValueTypeNames Types;

  // Only in the branch below a leaf of depth kMaxDepth, which holds no leaves: the TagName of
  // each tag declared at or below it, under the tag's path from the branch down (its tag numbers
  // in decimal, each followed by a full stop). Null while there is none.
  std::unique_ptr<std::unordered_map<std::string, std::string>> DeepNames;

 private:
  // Tag numbers 0 to 31 (those of a one-octet identifier, the walk's common case) are found
  // through a table held in the branch, with one load; 32 to 127 (a longer identifier) through a
  // table that the branch gets with its first such tag; the others, which only a dictionary can
  // declare, through a map that it gets likewise. A branch of a few tags stays small.
  static constexpr uint32_t kOneOctetTagIds = 32;
  static constexpr uint32_t kIndexedTagIds = 128;
  TLeaf* FindLargeId(int32_t tagId) const;

  std::vector<std::unique_ptr<TLeaf>> leaves_;  // in chain order
  TLeaf* byId_[kOneOctetTagIds] = {};           // the first leaf of each one-octet tag number
  static TLeaf* const kNoLongIds[];              // the empty table of 32 to 127, shared
  TLeaf* const* longIds_ = kNoLongIds;          // the first leaf of each of 32 to 127, from entry 0
  std::unique_ptr<TLeaf*[]> ownLongIds_;        // the branch's own, once it has such a number
  std::unique_ptr<std::unordered_map<int32_t, TLeaf*>> byLargeId_;  // the first leaf of each other
};

// The leaf reached by following path entries 0 to Depth from the root, or null.
TLeaf* FindByPath(const TBranch& root, const TagPath& path);

// Gives every item in the tree whose TagName equals name a copy of value as its FilterValue,
// and raises filterFound when at least one took it or a TagName below depth kMaxDepth equals
// name. Returns 0.
int SetFilter(TBranch& branch, std::string_view name, std::string_view value, bool& filterFound);

// One more than the largest Serial of the tree's leaves: the size of a table kept by Serial.
uint32_t LeafCount(const TBranch& root);

// By Serial: true for each leaf whose TagName a sibling of another tag number declares too.
std::vector<bool> SharedTagNames(const TBranch& root);

// Takes the FilterValue from every item in the tree.
void ClearFilter(TBranch& branch);

// The largest tag number that identifier octets carry (the low five bits of the first octet, or
// the seven bits of the octet after it): a tag of another number, which only a dictionary can
// declare, is never an element's.
constexpr int32_t kLargestElementTagId = 127;

// True when the dictionary declares a path that an element can have: the root holds a tag of a
// number from 0 to kLargestElementTagId. False for a dictionary of no tag at all, such as a file
// of lines without a path (a main configuration file's), where every element is not found.
bool DeclaresElementPath(const TBranch& root);

// True when a walk that names elements by their LongTagName (the record formats') can open a
// record: a tag whose TagName is "record" and which has a LongTagName, on a path that an element
// can have.
bool DeclaresNamedRecordStart(const TBranch& root);

}  // namespace orvalis
