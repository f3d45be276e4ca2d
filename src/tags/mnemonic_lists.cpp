#include "tags/mnemonic_lists.h"

#include <cstdio>

#include "common/console.h"
#include "common/text_format.h"

namespace orvalis {
namespace {

// Splits a value at each separator. A final separator ends the last entry without starting a
// new one, and an empty value has no entries.
template <typename Visit>
void ForEachEntry(std::string_view value, char separator, Visit&& visit) {
  std::size_t start = 0;
  while (start < value.size()) {
    std::size_t end = value.find(separator, start);
    if (end == std::string_view::npos) end = value.size();
    visit(value.substr(start, end - start));
    start = end + 1;
  }
}

MnemonicText TextOf(std::string_view piece) {
  if (piece.empty()) return std::nullopt;
  return PaddedText(piece);
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int32_t KeyOf(std::string_view digits) {
  int64_t key = 0;
  for (char c : digits) {
    key = key * 10 + (c - '0');
    if (key > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(key);
}

}  // namespace

TIndValList::TIndValList(std::string_view value) {
  ForEachEntry(value, ',', [&](std::string_view piece) { Values.push_back(TextOf(piece)); });
}

TNonIndValList::TNonIndValList(std::string_view value) {
  // Each message shows the value as far as its first "," or ";", not the entry at fault.
  std::string_view head = value.substr(0, value.find_first_of(",;"));
  ForEachEntry(value, ';', [&](std::string_view piece) {
    std::size_t comma = piece.find(',');
    if (comma == std::string_view::npos || !AllDigits(piece.substr(0, comma))) {
      PrintText("Error when decoding Tags.cfg line: ", head.substr(0, head.find('\0')), "\n");
      CountProblem(Problem::kBadDictionaryLine);
      return;
    }
    Keys.push_back(KeyOf(piece.substr(0, comma)));
    Values.push_back(TextOf(piece.substr(comma + 1)));
  });
  int32_t largest = -1;
  for (int32_t key : Keys) {
    if (key < kIndexedKeys && key > largest) largest = key;
  }
  firstOfKey_.assign(static_cast<std::size_t>(largest + 1), -1);
  for (std::size_t i = Keys.size(); i-- > 0;) {
    if (Keys[i] < kIndexedKeys) firstOfKey_[static_cast<std::size_t>(Keys[i])] = static_cast<int32_t>(i);
  }
}

MnemonicHit TNonIndValList::FindLargeKey(int32_t key) const {
  for (std::size_t i = 0; i < Keys.size(); ++i) {
    if (Keys[i] == key) return &Values[i];
  }
  return nullptr;
}

}  // namespace orvalis
