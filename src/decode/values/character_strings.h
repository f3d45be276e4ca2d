// The octets of the ASN.1 character strings: the 8-bit ones (IA5String, VisibleString and the
// like), taken octet by octet, and the Unicode ones, UTF8String (UTF-8), BMPString (UTF-16,
// big-endian: a surrogate pair stands for a character above U+FFFF, a lone surrogate for none) and
// UniversalString (UCS-4, big-endian), written as UTF-8. A NUL character (U+0000), which no
// database's text holds, cannot be decoded in any of them.
#pragma once

#include <cstdint>
#include <cstring>

#include "decode/values/asn1_values.h"

namespace orvalis {

// The 8-bit strings: any octets but 00.
inline ValueCheck CheckCharacters(const uint8_t* c, uint64_t length) {
  if (length != 0 && std::memchr(c, 0, static_cast<std::size_t>(length)) != nullptr) {
    return Fails(ValueFailure::kNulCharacter);
  }
  return {};
}

enum class UnicodeForm : uint8_t { kUtf8, kUtf16, kUcs4 };

// Whether the octets are a sound text of the form: whole characters, none of them NUL.
ValueCheck CheckUnicode(UnicodeForm form, const uint8_t* c, uint64_t length);

// The room the UTF-8 of `length` octets of the form takes at most.
constexpr uint64_t Utf8Room(UnicodeForm form, uint64_t length) {
  return form == UnicodeForm::kUtf16 ? length / 2 * 3 : length;  // a pair's four octets give four
}

// Writes a checked text as UTF-8 and returns the end.
char* PutUtf8(char* out, UnicodeForm form, const uint8_t* c, uint64_t length);

// The end of a chunk of a checked text that begins at `from` and takes at most `most` octets
// (a multiple of 4) without cutting a character of UTF-16 or UCS-4 in two; UTF-8 is cut anywhere
// (the record formats escape only its single octets).
uint64_t UnicodeChunkEnd(UnicodeForm form, const uint8_t* c, uint64_t length, uint64_t from, uint64_t most);

}  // namespace orvalis
