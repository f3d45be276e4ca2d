// The tag dictionary in memory: a tree that mirrors the nesting of tags in a billing record.
//
// Each level is a TBranch, a list of sibling TLeaf nodes; each leaf carries the TItem that
// Tags.cfg declared for one tag number at one place in the nesting, and a leaf with declared
// sub-tags has a child branch. A branch owns its leaves, a leaf its item and child branch, an
// item its texts and tables; destroying the root destroys the whole dictionary.
//
// A path component may name its class (a2: [APPLICATION 2]); a bare number stands for any class.
// Where a branch names classes, an element takes the leaf of its class and number, else the leaf
// of its number declared without a class: such a branch finds its leaves through tables of its
// own (TBranch::Find), and its plain tables, which the walk's common element looks in, stay empty.
//
// The tree goes down as far as the walk can: to the leaves of depth kMaxDepth, and under such a
// leaf with sub-tags declared, one branch more (the walk must know that they are declared), which
// holds no leaves. The walk never looks below depth kMaxDepth, so that branch keeps only the
// TagNames declared at or below it, with their paths, for the filter file (TBranch::DeepNames).
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/padded_text.h"
#include "common/text_format.h"
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
  // The code of the type whose value is an element's whole contents, constructed or not (its
  // contents are not walked); None when the list has none.
  TagType KeepsContents = TagType::None;
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

// The class a path component names: any (a bare number), or the class of an identifier octet
// (its bits 8 and 7, plus one).
enum class TagClass : uint8_t { kAny = 0, kUniversal, kApplication, kContext, kPrivate };
constexpr int kTagClasses = 5;

// The class of an element by its first identifier octet.
constexpr TagClass ClassOfIdentifier(uint8_t firstOctet) { return static_cast<TagClass>((firstOctet >> 6) + 1); }

// The letter that names a class in a path component (u, a, c, p); 0 for any class.
constexpr char ClassLetter(TagClass tagClass) {
  constexpr char kLetters[kTagClasses] = {0, 'u', 'a', 'c', 'p'};
  return kLetters[static_cast<int>(tagClass)];
}

// Appends a path component: the class letter, if any, and the tag number.
template <typename Text>
void AppendTagComponent(Text& out, int32_t tagId, TagClass tagClass) {
  char text[16];  // a letter, a sign and ten digits at most
  char* end = text;
  if (const char letter = ClassLetter(tagClass)) *end++ = letter;
  end = std::to_chars(end, text + sizeof text, tagId).ptr;
  out.append(text, static_cast<std::size_t>(end - text));
}

// A component of a walked path: the element's tag number (at most 21 bits), and above it the class
// the component shows: the class its leaf declares (any for a bare number), or for a tag not found,
// its element's class where the branch it was sought in names classes, else any. A component of
// any class is its tag number, so that in a dictionary without class letters a path holds tag
// numbers alone.
constexpr int kComponentClassShift = 24;
constexpr int32_t kComponentTagIdMask = (1 << kComponentClassShift) - 1;
constexpr int32_t ComponentOf(int32_t tagId, TagClass shown) {
  return tagId | static_cast<int32_t>(static_cast<uint32_t>(shown) << kComponentClassShift);
}
constexpr int32_t TagIdOf(int32_t component) { return component & kComponentTagIdMask; }
constexpr TagClass ClassOf(int32_t component) {
  return static_cast<TagClass>(static_cast<uint32_t>(component) >> kComponentClassShift);
}

// The components of the element being walked and of all that enclose it, outermost first.
struct TagPath {
  int32_t Ids[kMaxDepth + 1] = {};
  int Depth = -1;  // index of the innermost entry; -1 when empty
};
// Paths are equal when they hold the same components; what lies past Depth does not count.
inline bool operator==(const TagPath& a, const TagPath& b) {
  if (a.Depth != b.Depth) return false;
  for (int level = 0; level <= a.Depth; ++level) {
    if (a.Ids[level] != b.Ids[level]) return false;
  }
  return true;
}

// Appends a walked path's component as AppendTagComponent does: a tag number of any class at once.
template <typename Text>
[[gnu::noinline]] void AppendClassComponent(Text& out, int32_t component) {
  AppendTagComponent(out, TagIdOf(component), ClassOf(component));
}
template <typename Text>
[[gnu::always_inline]] inline void AppendPathComponent(Text& out, int32_t component) {
  if (component > kComponentTagIdMask) return AppendClassComponent(out, component);
  AppendDecimal(out, static_cast<int64_t>(component));
}

class TBranch;

// What is known of one tag number at one path.
class TItem {
 public:
  explicit TItem(int32_t tagId, TagClass tagClass = TagClass::kAny) : TagId(tagId), Class(tagClass) {}

  // Applies one Tags.cfg parameter. `line` is the line cut at its "=", used only in messages.
  // Returns -1 after the unknown-type message, 0 otherwise.
  int SetParameter(std::string_view line, std::string_view name, std::string_view value,
                   const ValueTypeNames& types);

  // What the walk reads of every element comes first.
  int32_t TagId;
  TagClass Class;  // the class its path component names; kAny for a bare number
  TagType Type = TagType::None;
  bool OpensRecord = false;  // TagName is "record": the element opens a billing record
  // Its Type keeps the contents whole (Opaque): they are the element's value, constructed or not,
  // and are not walked.
  bool KeepsContents = false;
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
  // Kind: the name of a record start's kind of record (the ASN.1 alternative or type it stands
  // for), which the record formats tell with RecordKindColumn=true; none: its path tells it.
  std::optional<std::string> Kind;
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

// The sub-tags that the walk reads under a leaf: none where its contents are kept whole (Opaque),
// whatever the dictionary declares below it.
const TBranch* SubTagsOf(const TLeaf& leaf);

class TBranch {
 public:
  explicit TBranch(TLeaf* parent) : Parent(parent) {}
  TBranch(const TBranch&) = delete;
  TBranch& operator=(const TBranch&) = delete;

  // Links the leaf after the last one and takes ownership of it. Does not touch its Owner. A leaf
  // whose path component names a class makes the branch one that names classes.
  TLeaf* Append(std::unique_ptr<TLeaf> leaf);
  // The walk's common lookup: in a branch that names no classes, the first leaf of the tag number;
  // null in a branch that names classes (Find decides there), whose path component may then show a
  // class.
  TLeaf* FindCommon(int32_t tagId) const {
    const uint32_t number = static_cast<uint32_t>(tagId);  // a negative one is above them all
    if (number < kOneOctetTagIds) return byId_[number];
    if (number < kIndexedTagIds) return longIds_[number - kOneOctetTagIds];
    return FindLargeId(tagId);
  }
  // The leaf an element of the tag number and class `elementClass` (of its identifier) takes: in
  // a branch that names classes, the leaf of that class and number, else the one of the number
  // declared without a class; elsewhere the leaf of the number.
  TLeaf* Find(int32_t tagId, TagClass elementClass) const {
    TLeaf* leaf = FindCommon(tagId);
    if (leaf != nullptr || !byClass_) return leaf;
    return FindOfClass(tagId, elementClass);
  }
  // The leaf declared with exactly this component: the number and the class its letter names
  // (kAny: a bare number); null when none is.
  TLeaf* FindDeclared(int32_t tagId, TagClass declared) const;
  // The leaf of the tag number declared without a class letter.
  TLeaf* FindById(int32_t tagId) const { return FindDeclared(tagId, TagClass::kAny); }
  // True when a leaf of the branch names its class.
  bool NamesClasses() const { return byClass_ != nullptr; }
  int32_t Count() const { return static_cast<int32_t>(leaves_.size()); }

  TLeaf* Parent;  // the leaf whose Child this branch is; null for the root
  TLeaf* First = nullptr;
  TLeaf* Last = nullptr;
  // In the root: the leaves declared in the whole tree so far (the next leaf's Serial), and the
  // value types its Type parameters may name.
  uint32_t LeavesDeclared = 0;
  ValueTypeNames Types;

  // Only in the branch below a leaf of depth kMaxDepth, which holds no leaves: the TagName of
  // each tag declared at or below it, under the tag's path from the branch down (its components,
  // each followed by a full stop). Null while there is none.
  std::unique_ptr<std::unordered_map<std::string, std::string>> DeepNames;

 private:
  // Tag numbers 0 to 31 (those of a one-octet identifier, the walk's common case) are found
  // through a table held in the branch, with one load; 32 to 127 (a longer identifier) through a
  // table that the branch gets with its first such tag; larger ones, from identifier octets of any
  // length, through a table up to kIndexedLargeIds that it gets likewise, and the others (which
  // only a dictionary can declare) through a map. A branch of a few tags stays small. A branch
  // that names classes keeps these empty and finds its leaves through its own tables instead.
  static constexpr uint32_t kOneOctetTagIds = 32;
  static constexpr uint32_t kIndexedTagIds = 128;
  static constexpr uint32_t kIndexedLargeIds = 4096;
  TLeaf* FindLargeId(int32_t tagId) const;
  TLeaf** CommonEntry(int32_t tagId);

  // The leaves of one tag number in a branch that names classes: [0] the one declared without a
  // class, [c] the one of class c.
  using ClassLeaves = std::array<TLeaf*, kTagClasses>;
  struct ClassTables {
    std::vector<ClassLeaves> Small;  // by tag number, below kIndexedTagIds
    std::unordered_map<int32_t, ClassLeaves> Large;
  };
  const ClassLeaves* LeavesOf(int32_t tagId) const;
  TLeaf* FindOfClass(int32_t tagId, TagClass elementClass) const;
  void IndexByClass(TLeaf* leaf);

  std::vector<std::unique_ptr<TLeaf>> leaves_;  // in chain order
  TLeaf* byId_[kOneOctetTagIds] = {};           // the first leaf of each one-octet tag number
  static TLeaf* const kNoLongIds[];              // the empty table of 32 to 127, shared
  TLeaf* const* longIds_ = kNoLongIds;          // the first leaf of each of 32 to 127, from entry 0
  std::unique_ptr<TLeaf*[]> ownLongIds_;        // the branch's own, once it has such a number
  std::vector<TLeaf*> largeIds_;                 // the first leaf of each of 128 on, from entry 0
  std::unique_ptr<std::unordered_map<int32_t, TLeaf*>> byLargeId_;  // the first leaf of each other
  std::unique_ptr<ClassTables> byClass_;         // once a leaf names its class
};

inline const TBranch* SubTagsOf(const TLeaf& leaf) { return leaf.Item.KeepsContents ? nullptr : leaf.Child.get(); }

// The branch that the path's components 0 to `depth` - 1 lead to from the root (the leaves the
// walk found there); null where they lead to none.
const TBranch* BranchOfPath(const TBranch& root, const TagPath& path, int depth);

// The leaf reached by following path entries 0 to Depth from the root, or null: the components
// above the last as the path shows them (the leaves found there), the last's tag number as an
// element of `elementClass` takes it (TBranch::Find).
TLeaf* FindByPath(const TBranch& root, const TagPath& path, TagClass elementClass);

// The class the path shows for an element of `elementClass` not found in `branch` (null: none
// declared there): its own where the branch names classes, else any.
inline TagClass ShownClassOfUnfound(const TBranch* branch, TagClass elementClass) {
  return branch != nullptr && branch->NamesClasses() ? elementClass : TagClass::kAny;
}

// The path of a leaf as the dictionary declares it: its components from the top level down,
// joined by full stops ("1.c9.0").
std::string LeafPathText(const TLeaf& leaf);

// Gives every item in the tree whose TagName equals name a copy of value as its FilterValue,
// and raises filterFound when at least one took it or a TagName below depth kMaxDepth equals
// name. Returns 0.
int SetFilter(TBranch& branch, std::string_view name, std::string_view value, bool& filterFound);

// One more than the largest Serial of the tree's leaves: the size of a table kept by Serial.
uint32_t LeafCount(const TBranch& root);

// By Serial: true for each leaf whose TagName a sibling of another tag number or class declares
// too.
std::vector<bool> SharedTagNames(const TBranch& root);

// Takes the FilterValue from every item in the tree.
void ClearFilter(TBranch& branch);

// The largest tag number that identifier octets carry as files were always read (the low five
// bits of the first octet, or the seven bits of the octet after it), and with identifier octets of
// any length (LongTagNumbers): a tag of another number, which only a dictionary can declare, is
// never an element's.
constexpr int32_t kLargestElementTagId = 127;
constexpr int32_t kLargestLongTagId = 2097151;

// True when the dictionary declares a tag number from kLargestElementTagId + 1 to
// kLargestLongTagId at any depth the walk reaches: identifier octets of any length are read then.
bool DeclaresLongTagNumber(const TBranch& root);

// True when a path component of the dictionary names a class, at any depth the walk reaches.
bool NamesClassesAnywhere(const TBranch& root);

// True when the dictionary declares a path that an element can have: the root holds a tag of a
// number from 0 to `largest` (kLargestElementTagId, or kLargestLongTagId when identifier octets of
// any length are read). False for a dictionary of no tag at all, such as a file of lines without
// a path (a main configuration file's), where every element is not found.
bool DeclaresElementPath(const TBranch& root, int32_t largest = kLargestElementTagId);

// True when a walk that names elements by their LongTagName (the record formats') can open a
// record: a tag whose TagName is "record" and which has a LongTagName, on a path that an element
// can have.
bool DeclaresNamedRecordStart(const TBranch& root, int32_t largest = kLargestElementTagId);

}  // namespace orvalis
