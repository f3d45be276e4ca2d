#include "tags/mnemonic_lists.h"

#include <algorithm>
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

namespace {

// A signed 64-bit number written as an optional "-" and decimal digits; false for anything else
// and for a number beyond the range.
bool ReadSigned64(std::string_view text, int64_t& number) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || !AllDigits(text)) return false;
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (char c : text) {
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  number = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

}  // namespace

TNamedNumbers::TNamedNumbers(std::string_view value, std::string_view line) {
  ForEachEntry(value, ';', [&](std::string_view entry) {
    const std::size_t comma = entry.find(',');
    int64_t number = 0;
    if (comma == std::string_view::npos || comma + 1 == entry.size() || !ReadSigned64(entry.substr(0, comma), number)) {
      PrintText("Error in Tags.cfg file: NamedNumbers entry \"", entry, "\" is not a number, a comma and a name");
      PrintText(", in line:\n ", line, "\n\n");
      CountProblem(Problem::kBadDictionaryLine);
      return;
    }
    entries_.emplace_back(number, PaddedText(entry.substr(comma + 1)));
  });
  // By number; of the entries of one number the first stays.
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  entries_.erase(std::unique(entries_.begin(), entries_.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 entries_.end());
}

const PaddedText* TNamedNumbers::Find(int64_t number) const {
  const auto at = std::lower_bound(entries_.begin(), entries_.end(), number,
                                   [](const auto& entry, int64_t wanted) { return entry.first < wanted; });
  return at != entries_.end() && at->first == number ? &at->second : nullptr;
}

MnemonicHit TNonIndValList::FindLargeKey(int32_t key) const {
  for (std::size_t i = 0; i < Keys.size(); ++i) {
    if (Keys[i] == key) return &Values[i];
  }
  return nullptr;
}

}  // namespace orvalis
