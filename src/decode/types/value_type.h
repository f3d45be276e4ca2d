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
// Every layout takes the octets handed to it (`length` of them at `c`, at least 1, all within the
// input), never the walk's read position. A value that cannot be decoded is a failure of the
// table below: the record formats tell its reason, the readable text its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tags/tag_tree.h"

namespace orvalis {

// kNumber: decimal digits, perhaps with a sign or a fraction. kVerbatim: a text the program made
// of letters, digits, blanks and punctuation other than quotation marks, reverse solidi and commas
// (a date, digits, hexadecimal, a name of its own), which neither record format escapes or quotes.
enum class PartKind : uint8_t { kNumber, kVerbatim };

// The part names of a type's values, in order: one empty name for a plain value.
struct PartNames {
  static constexpr int kMostParts = 5;
  std::string_view Names[kMostParts];
  int Count = 0;
};
constexpr PartNames kPlainValue = {{""}, 1};

// What a CSV column holds, as a database would type it (the table definition names the type of
// each dialect).
enum class ColumnType : uint8_t { kText, kInteger, kSmallInteger, kSeconds, kTimestamp, kBigInteger };

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

// The values that cannot be decoded: each with the reason the record formats give (beside the
// octets) and the line the readable text writes in place of the value (none: the readable text
// writes the value as it reads, unchecked).
enum class ValueFailure : uint8_t {
  kDateTimeTooShort,
  kNotADateTime,
  kNumberTooShort,
  kDecNumberTooLong,
  kIndexedTooLong,
  kNonIndexedTooLong,
};
struct ValueFailureRow {
  std::string_view Reason;
  std::string_view TextLine;
};
constexpr ValueFailureRow kValueFailures[] = {
    {"length of DateTime type tag is less than 7 bytes",
     " error: length of DateTime type tag is less than 7 bytes!!!\n"},
    {"not a valid date and time", {}},
    {"length of Number type tag is less than 2 bytes", " error: length of Number type tag is less than 2 bytes!!!\n"},
    {"length of DecNumber type tag is more than 2 bytes",
     " error: length of DecNumber type tag is more than 2 bytes!!!\n"},
    {"length of ValFromIndexedArr type tag is more than 2 bytes",
     " error: length length of ValFromIndexedArr type tag is more than 2 bytes!!!\n"},  // "length" twice, as it always was
    {"length of ValFromNonIndexedArr type tag is more than 2 bytes",
     " error: length of ValFromNonIndexedArr type tag is more than 2 bytes!!!\n"},
};
constexpr std::string_view FailureReason(ValueFailure failure) {
  return kValueFailures[static_cast<int>(failure)].Reason;
}
constexpr std::string_view FailureLine(ValueFailure failure) {
  return kValueFailures[static_cast<int>(failure)].TextLine;
}

}  // namespace orvalis
