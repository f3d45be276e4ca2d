#include "decode/values/character_strings.h"

#include <string_view>

#include "common/text_format.h"

namespace orvalis {
namespace {

uint32_t Unit16(const uint8_t* c) { return uint32_t{c[0]} << 8 | c[1]; }
uint32_t Unit32(const uint8_t* c) {
  return uint32_t{c[0]} << 24 | uint32_t{c[1]} << 16 | uint32_t{c[2]} << 8 | c[3];
}
bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char* PutCodePoint(char* out, uint32_t code) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | code >> 6);
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | code >> 12);
    *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | code >> 18);
    *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

}  // namespace

ValueCheck CheckUnicode(UnicodeForm form, const uint8_t* c, uint64_t length) {
  switch (form) {
    case UnicodeForm::kUtf8:
      if (!IsValidUtf8(std::string_view(reinterpret_cast<const char*>(c), static_cast<std::size_t>(length)))) {
        return Fails(ValueFailure::kNotUtf8);
      }
      return CheckCharacters(c, length);
    case UnicodeForm::kUtf16:
      if (length % 2 != 0) return Fails(ValueFailure::kBmpStringOddLength);
      for (uint64_t at = 0; at < length; at += 2) {
        const uint32_t unit = Unit16(c + at);
        if (unit == 0) return Fails(ValueFailure::kNulCharacter);
        if (IsLowSurrogate(unit)) return Fails(ValueFailure::kLoneSurrogate);
        if (!IsHighSurrogate(unit)) continue;
        if (at + 2 >= length || !IsLowSurrogate(Unit16(c + at + 2))) return Fails(ValueFailure::kLoneSurrogate);
        at += 2;
      }
      return {};
    case UnicodeForm::kUcs4:
      if (length % 4 != 0) return Fails(ValueFailure::kUniversalStringLength);
      for (uint64_t at = 0; at < length; at += 4) {
        const uint32_t code = Unit32(c + at);
        if (code == 0) return Fails(ValueFailure::kNulCharacter);
        if (code > 0x10FFFF || IsHighSurrogate(code) || IsLowSurrogate(code)) {
          return Fails(ValueFailure::kBeyondUnicode);
        }
      }
      return {};
  }
  return {};
}

char* PutUtf8(char* out, UnicodeForm form, const uint8_t* c, uint64_t length) {
  switch (form) {
    case UnicodeForm::kUtf8:
      std::memcpy(out, c, static_cast<std::size_t>(length));
      return out + length;
    case UnicodeForm::kUtf16:
      for (uint64_t at = 0; at < length; at += 2) {
        uint32_t code = Unit16(c + at);
        if (IsHighSurrogate(code)) {
          code = 0x10000 + ((code - 0xD800) << 10) + (Unit16(c + at + 2) - 0xDC00);
          at += 2;
        }
        out = PutCodePoint(out, code);
      }
      return out;
    case UnicodeForm::kUcs4:
      for (uint64_t at = 0; at < length; at += 4) out = PutCodePoint(out, Unit32(c + at));
      return out;
  }
  return out;
}

uint64_t UnicodeChunkEnd(UnicodeForm form, const uint8_t* c, uint64_t length, uint64_t from, uint64_t most) {
  const uint64_t end = length - from < most ? length : from + most;
  if (end == length || form != UnicodeForm::kUtf16) return end;
  return IsHighSurrogate(Unit16(c + end - 2)) ? end - 2 : end;
}

}  // namespace orvalis
