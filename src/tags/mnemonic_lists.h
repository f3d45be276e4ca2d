// Mnemonic tables: small numbers in a billing record that stand for named values.
//
// IndArr lists the names by position ("Zero,One,,Three"); NonIndArr pairs explicit keys with
// names ("1,Local;2,National;16,International"); NamedNumbers pairs signed 64-bit numbers with
// names ("-1,minusOne;0,normal"), for the values of an INTEGER or ENUMERATED and the bits of a BIT
// STRING.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/padded_text.h"

namespace orvalis {

// An entry's text; an entry written without text has none (it prints as "(null)").
using MnemonicText = std::optional<PaddedText>;

// The result of a lookup: not found, or found with the entry (whose text may be absent).
using MnemonicHit = const MnemonicText*;

class TIndValList {
 public:
  explicit TIndValList(std::string_view value);
  int32_t Count() const { return static_cast<int32_t>(Values.size()); }
  MnemonicHit Lookup(uint32_t number) const {
    return number < Values.size() ? &Values[number] : nullptr;
  }

  std::vector<MnemonicText> Values;
};

class TNonIndValList {
 public:
  // Reports each malformed entry on standard output and leaves it out.
  explicit TNonIndValList(std::string_view value);
  int32_t Count() const { return static_cast<int32_t>(Keys.size()); }
  // The first entry with the key: a key that a value of one or two octets can have is found
  // through a table, any other by going through the entries.
  MnemonicHit Lookup(int32_t key) const {
    if (key >= 0 && static_cast<std::size_t>(key) < firstOfKey_.size()) {
      const int32_t entry = firstOfKey_[static_cast<std::size_t>(key)];
      return entry < 0 ? nullptr : &Values[static_cast<std::size_t>(entry)];
    }
    return FindLargeKey(key);
  }

  std::vector<int32_t> Keys;
  std::vector<MnemonicText> Values;

 private:
  // The largest value of one or two octets, 16 * 255 + 255, and one: the table's largest size.
  static constexpr int32_t kIndexedKeys = 4336;
  MnemonicHit FindLargeKey(int32_t key) const;

  std::vector<int32_t> firstOfKey_;  // for keys below its size, the first entry's index or -1
};

// The named numbers of NamedNumbers=N,name;N,name;...: N is an optional "-" and decimal digits
// (a signed 64-bit number), the name what follows the entry's first comma (commas included, not
// empty). The first entry of a number wins; a bad entry is reported and left out.
class TNamedNumbers {
 public:
  // Reports each malformed entry on standard output (naming `line`, the line cut at its "=") and
  // leaves it out.
  TNamedNumbers(std::string_view value, std::string_view line);
  // The name of a number, or null.
  const PaddedText* Find(int64_t number) const;
  std::size_t Count() const { return entries_.size(); }
  // The entries, by number.
  const std::vector<std::pair<int64_t, PaddedText>>& Entries() const { return entries_; }

 private:
  std::vector<std::pair<int64_t, PaddedText>> entries_;  // by number, each number once
};

}  // namespace orvalis
