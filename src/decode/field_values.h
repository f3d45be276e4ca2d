// A primitive value as the record writers (JSON Lines, CSV) take it: one part or several named
// parts (a telephone number's nature of address, numbering plan and digits), each a number, a
// text or nothing, decoded by the type that the dictionary gives the tag. A value that cannot be
// decoded is an error with the raw octets instead. The readable text's decoders stay apart
// (decode/value_decoders.cpp); both read the octets by the same rules.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/text_buffer.h"
#include "tags/tag_tree.h"

namespace orvalis {

// kVerbatim: a text the program made of letters, digits, blanks and punctuation other than
// quotation marks, reverse solidi and commas (a date, digits, hexadecimal), which neither format
// escapes or quotes; kText: any octets (a string's, a dictionary text).
enum class PartKind : uint8_t { kNumber, kVerbatim, kText, kNull };

// Set whole by the decoder (no initialisers: a value is made for every element).
struct ValuePart {
  std::string_view Name;  // empty for the one part of a plain value
  PartKind Kind;
  std::string_view Text;  // the number's digits, or the text's octets (any octet, unescaped)
};

struct FieldValue {
  static constexpr int kMostParts = 5;
  ValuePart Parts[kMostParts];
  int Count = 0;
  bool Object = false;     // named parts (an object in JSON, a column per part in CSV)
  std::string_view Error;  // not empty: the value could not be decoded; Hex holds its octets
  std::string_view Hex;    // the raw octets in hexadecimal, where the parts do not hold them all
};

// The part names of a type's values, in order: one empty name for a plain value.
struct PartNames {
  std::string_view Names[FieldValue::kMostParts];
  int Count = 0;
};
PartNames PartNamesOf(TagType type);

// Decodes `length` octets (at least 1) by the item's type. Texts it formats go to `scratch`
// (emptied first), which the value's views then point into, as they point into `content`.
void DecodeFieldValue(const TItem& item, const uint8_t* content, uint64_t length, TextBuffer& scratch,
                      FieldValue& value);

// Appends the octets in upper-case hexadecimal.
void AppendHexText(TextBuffer& out, const uint8_t* content, uint64_t length);

}  // namespace orvalis
