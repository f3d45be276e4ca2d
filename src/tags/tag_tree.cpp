#include "tags/tag_tree.h"

namespace orvalis {

TLeaf* const TBranch::kNoLongIds[kIndexedTagIds - kOneOctetTagIds] = {};

TLeaf* TBranch::Append(std::unique_ptr<TLeaf> leaf) {
  TLeaf* added = leaf.get();
  const int32_t tagId = added->Item.TagId;
  const uint32_t number = static_cast<uint32_t>(tagId);
  leaves_.push_back(std::move(leaf));
  TLeaf** entry = nullptr;
  if (number < kOneOctetTagIds) {
    entry = &byId_[number];
  } else if (number < kIndexedTagIds) {
    if (!ownLongIds_) {
      ownLongIds_ = std::make_unique<TLeaf*[]>(kIndexedTagIds - kOneOctetTagIds);  // zeroed
      longIds_ = ownLongIds_.get();
    }
    entry = &ownLongIds_[number - kOneOctetTagIds];
  } else {
    if (!byLargeId_) byLargeId_ = std::make_unique<std::unordered_map<int32_t, TLeaf*>>();
    entry = &byLargeId_->emplace(tagId, nullptr).first->second;
  }
  if (*entry == nullptr) *entry = added;  // the first leaf of a number stays
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

TLeaf* TBranch::FindLargeId(int32_t tagId) const {
  if (!byLargeId_) return nullptr;
  auto found = byLargeId_->find(tagId);
  return found == byLargeId_->end() ? nullptr : found->second;
}

TLeaf* FindByPath(const TBranch& root, const TagPath& path) {
  const TBranch* branch = &root;
  for (int level = 0; level <= path.Depth; ++level) {
    TLeaf* leaf = branch->FindById(path.Ids[level]);
    if (leaf == nullptr) return nullptr;
    if (level == path.Depth) return leaf;
    if (!leaf->Child) return nullptr;
    branch = leaf->Child.get();
  }
  return nullptr;
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

bool IsElementTagId(int32_t tagId) { return tagId >= 0 && tagId <= kLargestElementTagId; }

}  // namespace

bool DeclaresElementPath(const TBranch& root) {
  for (const TLeaf* leaf = root.First; leaf != nullptr; leaf = leaf->Next) {
    if (IsElementTagId(leaf->Item.TagId)) return true;
  }
  return false;
}

bool DeclaresNamedRecordStart(const TBranch& branch) {
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (!IsElementTagId(leaf->Item.TagId)) continue;
    if (leaf->Item.OpensRecord && leaf->Item.LongTagName) return true;
    if (leaf->Child && DeclaresNamedRecordStart(*leaf->Child)) return true;
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
      if (!isNew && first->second->Item.TagId != item.TagId) shared[first->second->Serial] = shared[leaf->Serial] = true;
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
