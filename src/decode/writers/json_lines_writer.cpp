#include "decode/writers/json_lines_writer.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "decode/writers/json_lines_schemas.h"

namespace orvalis {

std::unique_ptr<FormatWalk> JsonLinesWalk(WalkContext& walk, const TBranch& root) {
  using namespace json_lines;
  if (walk.Settings.JsonSchema == 2) return LinesWalkOfSchema2(walk, root);
  return std::make_unique<WalkOf<JsonLinesWriter<1>, JsonKeys>>(walk, std::make_shared<const JsonKeys>(root));
}

std::unique_ptr<FormatWalk> OutsideFieldsWalk(WalkContext& walk, const TBranch& root) {
  using namespace json_lines;
  if (walk.Settings.JsonSchema == 2) return OutsideWalkOfSchema2(walk, root);
  return std::make_unique<WalkOf<OutsideFieldsWriter<1>, JsonKeys>>(walk, std::make_shared<const JsonKeys>(root));
}

namespace {

std::string PathText(const TLeaf& leaf) {
  std::string path = std::to_string(leaf.Item.TagId);
  for (const TLeaf* up = leaf.Owner->Parent; up != nullptr; up = up->Owner->Parent) {
    path = std::to_string(up->Item.TagId) + "." + path;
  }
  return path;
}

// The name that `key` would repeat as a later occurrence of it ("X" of "X#2"), or empty.
std::string_view RepeatedName(std::string_view key) {
  const std::size_t hash = key.rfind('#');
  if (hash == std::string_view::npos || hash == 0 || hash + 1 == key.size() || key[hash + 1] == '0') return {};
  uint64_t number = 0;
  for (std::size_t at = hash + 1; at < key.size(); ++at) {
    if (key[at] < '0' || key[at] > '9' || number > 1000000) return {};
    number = number * 10 + static_cast<uint64_t>(key[at] - '0');
  }
  return number >= 2 ? key.substr(0, hash) : std::string_view();
}

bool BranchKeysAreSound(const TBranch& branch, const std::vector<bool>& shared, const ValueTypeCatalog& types,
                        std::string& problem) {
  std::unordered_map<std::string_view, const TLeaf*> named;
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Item.TagName && !shared[leaf->Serial]) named.emplace(*leaf->Item.TagName, leaf);
  }
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (!leaf->Item.TagName || shared[leaf->Serial]) continue;
    const std::string_view key = *leaf->Item.TagName;
    const TLeaf* other = nullptr;
    constexpr std::string_view kHex = "_hex";
    if (key.size() > kHex.size() && key.substr(key.size() - kHex.size()) == kHex) {
      const auto found = named.find(key.substr(0, key.size() - kHex.size()));
      if (found != named.end() && types.Info(found->second->Item.Type).OctetsBeside) other = found->second;
    }
    if (const std::string_view repeated = RepeatedName(key); other == nullptr && !repeated.empty()) {
      const auto found = named.find(repeated);
      if (found != named.end()) other = found->second;
    }
    if (other != nullptr) {
      problem = "the fields at " + PathText(*other) + " and " + PathText(*leaf) +
                " would both have the JSON key \"" + std::string(key) + "\": give one of them another TagName";
      return false;
    }
  }
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Child && !BranchKeysAreSound(*leaf->Child, shared, types, problem)) return false;
  }
  return true;
}

}  // namespace

bool JsonKeysAreSound(const TBranch& root, std::string& problem, const ValueTypeCatalog& types) {
  return BranchKeysAreSound(root, SharedTagNames(root), types, problem);
}

}  // namespace orvalis
