// What a value type is: how the octets of a primitive element of that type are read and laid out
// in every format. Each type is a class in a file of its own in this folder, and a row of the list
// of types (value_types.h), which is all that the dictionary reader, the writers, the CSV columns
// and the table definition know of it. A type class has:
//
//   static constexpr std::string_view kName     its name for Tags.cfg's Type parameter
//   static constexpr PartNames kParts           the names of its parts, as JSON Lines' members and
//                                               CSV's columns ("nature", "digits" ...); one empty
//                                               name for a plain value
//   static ColumnType Column(const TItem&, int part)   what a CSV column of the part holds, for the
//                                               table definition (-g)
//   static constexpr bool kOctetsBeside         true when the record formats may write all its
//                                               octets beside the value (under KEY_hex)
//   static constexpr bool kTakesEmpty           true when a value of 0 octets is a value of the
//                                               type (a NULL, an empty string) and reaches its
//                                               layouts; without it (and for every other type)
//                                               an element of length 0 has no value
//   static void Text(WalkContext&, const TItem&, const uint8_t* c, uint64_t length)
//                                               the readable text: appended to the record's text
//                                               as pieces (text_layout.h), the value's own text
//                                               last (the filter compares that one)
//   static void Dump(WalkContext&, const TItem&, const uint8_t* c, uint64_t length)
//                                               the debug dump's decoded value (most types:
//                                               their readable text, DumpLikeText)
//   template <typename Sink> static void Fields(Sink&, const TItem&, const uint8_t* c, uint64_t length)
//                                               the record formats (JSON Lines, CSV): the value's
//                                               parts told to a sink (field_layout.h)
//   static void LongText(WalkContext&, const TItem&, const uint8_t* c, uint64_t length)
//   static bool LongFilter(WalkContext&, const TItem&, const uint8_t* c, uint64_t length)
//                                               a long value's readable text made in chunks, and
//                                               whether the item's filter value is in that text
//                                               (long_text.h; ShortInAnyLength for a type whose
//                                               text is a few characters however long its value)
//
// Every layout takes the octets handed to it (`length` of them at `c`, at least 1 unless the type
// takes empty values, all within the input), never the walk's read position. A value that cannot
// be decoded is a failure of the table of failures (decode/values/value_failures.h): the record
// formats tell its reason, the readable text its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decode/values/value_failures.h"
#include "tags/tag_tree.h"

namespace orvalis {

// kNumber: decimal digits, perhaps with a sign or a fraction. kVerbatim: a text the program made
// of letters, digits, blanks and punctuation other than quotation marks, reverse solidi and commas
// (a date, digits, hexadecimal, a name of its own), which neither record format escapes or quotes.
// kLiteral: true or false, a JSON literal (a word in CSV).
enum class PartKind : uint8_t { kNumber, kVerbatim, kLiteral };

// The part names of a type's values, in order: one empty name for a plain value.
struct PartNames {
  static constexpr int kMostParts = 9;
  std::string_view Names[kMostParts];
  int Count = 0;
};
constexpr PartNames kPlainValue = {{""}, 1};

// What a CSV column holds, as a database would type it (the table definition names the type of
// each dialect): kTimestamp a date and time without a zone, kTimestampZone one with an offset or
// Z, kNumeric an integer that may pass 2^63 - 1, kInet an IPv4 or IPv6 address.
enum class ColumnType : uint8_t {
  kText,
  kInteger,
  kSmallInteger,
  kSeconds,
  kTimestamp,
  kBigInteger,
  kNumeric,
  kBoolean,
  kTimestampZone,
  kInet,
};

// What the list of types (value_types.h) knows of each type apart from its layouts, by its code:
// for the CSV columns, the table definition and the record formats' keys.
struct ValueTypeInfo {
  std::string_view Name;
  PartNames Parts;
  ColumnType (*Column)(const TItem& item, int part);
  bool OctetsBeside;
};
struct ValueTypeCatalog {
  const ValueTypeInfo* Infos = nullptr;
  std::size_t Count = 0;
  const ValueTypeInfo& Info(TagType code) const {
    const auto index = static_cast<std::size_t>(code);
    return Infos[index < Count ? index : 0];
  }
};

}  // namespace orvalis
