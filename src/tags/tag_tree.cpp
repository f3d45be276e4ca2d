#include "tags/tag_tree.h"

namespace orvalis {

TLeaf* TBranch::Append(std::unique_ptr<TLeaf> leaf) {
  TLeaf* added = leaf.get();
  added->Prev = Last;
  added->Next = nullptr;
  if (Last != nullptr) {
    Last->Next = added;
  } else {
    First = added;
  }
  Last = added;
  leaves_.push_back(std::move(leaf));
  const int32_t tagId = added->Item.TagId;
  if (tagId >= 0 && tagId < kIndexedTagIds) {
    if (byId_[tagId] == nullptr) byId_[tagId] = added;
  } else {
    byLargeId_.emplace(tagId, added);  // keeps the first leaf of a number
  }
  return added;
}

TLeaf* TBranch::FindLargeId(int32_t tagId) const {
  auto found = byLargeId_.find(tagId);
  return found == byLargeId_.end() ? nullptr : found->second;
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
  return 0;
}

}  // namespace orvalis
