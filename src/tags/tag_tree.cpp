#include "tags/tag_tree.h"

#include <algorithm>
#include <iterator>

namespace orvalis {

TLeaf* const TBranch::kNoLongIds[kIndexedTagIds - kOneOctetTagIds] = {};

TLeaf* TBranch::Append(std::unique_ptr<TLeaf> leaf) {
  TLeaf* added = leaf.get();
  leaves_.push_back(std::move(leaf));
  if (added->Item.Class != TagClass::kAny && !byClass_) {
    // The branch names classes from now on: its leaves move to the tables by class, and the plain
    // tables are left empty, so that the walk's common lookup finds nothing here.
    byClass_ = std::make_unique<ClassTables>();
    std::fill(std::begin(byId_), std::end(byId_), nullptr);
    longIds_ = kNoLongIds;
    ownLongIds_.reset();
    largeIds_.clear();
    byLargeId_.reset();
    for (const auto& earlier : leaves_) {
      if (earlier.get() != added) IndexByClass(earlier.get());
    }
  }
  if (byClass_) {
    IndexByClass(added);
  } else {
    TLeaf** entry = CommonEntry(added->Item.TagId);
    if (*entry == nullptr) *entry = added;  // the first leaf of a number stays
  }
  added->Prev = Last;
  added->Next = nullptr;
  if (Last != nullptr) {
    Last->Next = added;
  } else {
    First = added;
  }
  Last = added;
  return added;
}

TLeaf** TBranch::CommonEntry(int32_t tagId) {
  const uint32_t number = static_cast<uint32_t>(tagId);
  if (number < kOneOctetTagIds) return &byId_[number];
  if (number < kIndexedTagIds) {
    if (!ownLongIds_) {
      ownLongIds_ = std::make_unique<TLeaf*[]>(kIndexedTagIds - kOneOctetTagIds);  // zeroed
      longIds_ = ownLongIds_.get();
    }
    return &ownLongIds_[number - kOneOctetTagIds];
  }
  if (number < kIndexedLargeIds) {
    if (largeIds_.size() <= number - kIndexedTagIds) largeIds_.resize(number - kIndexedTagIds + 1);
    return &largeIds_[number - kIndexedTagIds];
  }
  if (!byLargeId_) byLargeId_ = std::make_unique<std::unordered_map<int32_t, TLeaf*>>();
  return &byLargeId_->emplace(tagId, nullptr).first->second;
}

TLeaf* TBranch::FindLargeId(int32_t tagId) const {
  const uint32_t number = static_cast<uint32_t>(tagId);
  if (number < kIndexedLargeIds) {
    return number - kIndexedTagIds < largeIds_.size() ? largeIds_[number - kIndexedTagIds] : nullptr;
  }
  if (!byLargeId_) return nullptr;
  auto found = byLargeId_->find(tagId);
  return found == byLargeId_->end() ? nullptr : found->second;
}

const TBranch::ClassLeaves* TBranch::LeavesOf(int32_t tagId) const {
  const uint32_t number = static_cast<uint32_t>(tagId);
  if (number < byClass_->Small.size()) return &byClass_->Small[number];
  auto found = byClass_->Large.find(tagId);
  return found == byClass_->Large.end() ? nullptr : &found->second;
}

void TBranch::IndexByClass(TLeaf* leaf) {
  const int32_t tagId = leaf->Item.TagId;
  const uint32_t number = static_cast<uint32_t>(tagId);
  ClassLeaves* leaves = nullptr;
  if (number < kIndexedTagIds) {
    if (byClass_->Small.size() <= number) byClass_->Small.resize(number + 1, ClassLeaves{});
    leaves = &byClass_->Small[number];
  } else {
    leaves = &byClass_->Large.emplace(tagId, ClassLeaves{}).first->second;
  }
  TLeaf*& entry = (*leaves)[static_cast<std::size_t>(leaf->Item.Class)];
  if (entry == nullptr) entry = leaf;  // the first leaf of a component stays
}

TLeaf* TBranch::FindOfClass(int32_t tagId, TagClass elementClass) const {
  const ClassLeaves* leaves = LeavesOf(tagId);
  if (leaves == nullptr) return nullptr;
  TLeaf* ofClass = (*leaves)[static_cast<std::size_t>(elementClass)];
  return ofClass != nullptr ? ofClass : (*leaves)[0];
}

TLeaf* TBranch::FindDeclared(int32_t tagId, TagClass declared) const {
  if (!byClass_) return declared == TagClass::kAny ? FindCommon(tagId) : nullptr;
  const ClassLeaves* leaves = LeavesOf(tagId);
  return leaves != nullptr ? (*leaves)[static_cast<std::size_t>(declared)] : nullptr;
}

const TBranch* BranchOfPath(const TBranch& root, const TagPath& path, int depth) {
  const TBranch* branch = &root;
  for (int level = 0; level < depth && branch != nullptr; ++level) {
    const int32_t component = path.Ids[level];
    const TLeaf* leaf = branch->FindDeclared(TagIdOf(component), ClassOf(component));
    branch = leaf != nullptr ? leaf->Child.get() : nullptr;
  }
  return branch;
}

TLeaf* FindByPath(const TBranch& root, const TagPath& path, TagClass elementClass) {
  if (path.Depth < 0) return nullptr;
  const TBranch* branch = BranchOfPath(root, path, path.Depth);
  return branch != nullptr ? branch->Find(TagIdOf(path.Ids[path.Depth]), elementClass) : nullptr;
}

std::string LeafPathText(const TLeaf& leaf) {
  std::vector<const TLeaf*> chain;
  for (const TLeaf* up = &leaf; up != nullptr; up = up->Owner->Parent) chain.push_back(up);
  std::string path;
  for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
    if (at != chain.rbegin()) path.push_back('.');
    AppendTagComponent(path, (*at)->Item.TagId, (*at)->Item.Class);
  }
  return path;
}

int SetFilter(TBranch& branch, std::string_view name, std::string_view value, bool& filterFound) {
  for (TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    TItem& item = leaf->Item;
    if (item.TagName && *item.TagName == name) {
      item.FilterValue = std::string(value);
      filterFound = true;
    }
    if (leaf->Child) SetFilter(*leaf->Child, name, value, filterFound);
  }
  if (branch.DeepNames) {
    for (const auto& pathAndName : *branch.DeepNames) {
      if (pathAndName.second == name) filterFound = true;
    }
  }
  return 0;
}

void ClearFilter(TBranch& branch) {
  for (TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    leaf->Item.FilterValue.reset();
    if (leaf->Child) ClearFilter(*leaf->Child);
  }
}

namespace {

bool IsElementTagId(int32_t tagId, int32_t largest) { return tagId >= 0 && tagId <= largest; }

}  // namespace

bool DeclaresLongTagNumber(const TBranch& branch) {
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    const int32_t tagId = leaf->Item.TagId;
    if (tagId > kLargestElementTagId && tagId <= kLargestLongTagId) return true;
    if (leaf->Child && DeclaresLongTagNumber(*leaf->Child)) return true;
  }
  return false;
}

bool NamesClassesAnywhere(const TBranch& branch) {
  if (branch.NamesClasses()) return true;
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Child && NamesClassesAnywhere(*leaf->Child)) return true;
  }
  return false;
}

bool DeclaresElementPath(const TBranch& root, int32_t largest) {
  for (const TLeaf* leaf = root.First; leaf != nullptr; leaf = leaf->Next) {
    if (IsElementTagId(leaf->Item.TagId, largest)) return true;
  }
  return false;
}

bool DeclaresNamedRecordStart(const TBranch& branch, int32_t largest) {
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (!IsElementTagId(leaf->Item.TagId, largest)) continue;
    if (leaf->Item.OpensRecord && leaf->Item.LongTagName) return true;
    if (leaf->Child && DeclaresNamedRecordStart(*leaf->Child, largest)) return true;
  }
  return false;
}

uint32_t LeafCount(const TBranch& branch) {
  uint32_t count = 0;
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Serial >= count) count = leaf->Serial + 1;
    if (leaf->Child) {
      const uint32_t below = LeafCount(*leaf->Child);
      if (below > count) count = below;
    }
  }
  return count;
}

namespace {

void MarkSharedTagNames(const TBranch& branch, std::vector<bool>& shared) {
  std::unordered_map<std::string_view, const TLeaf*> firstOfName;
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    const TItem& item = leaf->Item;
    if (item.TagName) {
      auto [first, isNew] = firstOfName.emplace(*item.TagName, leaf);
      const TItem& other = first->second->Item;
      if (!isNew && (other.TagId != item.TagId || other.Class != item.Class)) {
        shared[first->second->Serial] = shared[leaf->Serial] = true;
      }
    }
    if (leaf->Child) MarkSharedTagNames(*leaf->Child, shared);
  }
}

}  // namespace

std::vector<bool> SharedTagNames(const TBranch& root) {
  std::vector<bool> shared(LeafCount(root));
  MarkSharedTagNames(root, shared);
  return shared;
}

}  // namespace orvalis
