// Long values in the record formats: a JSON string's octets and a CSV cell made in chunks (see
// decode/types/long_text.h), each handed on as it is made.
#pragma once

#include <string_view>

#include "common/text_buffer.h"
#include "decode/types/long_text.h"
#include "decode/values/character_strings.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

// Writes a JSON string's octets in chunks into the record's text, without its quotes.
void PutLongJsonText(WalkContext& walk, std::string_view octets);

// The UTF-8 of a checked Unicode text of a form: its own octets, or made in `scratch`.
std::string_view Utf8Text(TextBuffer& scratch, UnicodeForm form, const uint8_t* c, uint64_t length);

// The long-value form of a Unicode text's cell.
constexpr LongForm LongFormOf(UnicodeForm form) {
  return form == UnicodeForm::kUtf8 ? LongForm::kUtf8 : form == UnicodeForm::kUtf16 ? LongForm::kUtf16 : LongForm::kUcs4;
}

// Writes a checked Unicode text as a JSON string's UTF-8 in chunks into the record's text, without
// its quotes; `scratch` holds each chunk's UTF-8.
void PutLongJsonUnicode(WalkContext& walk, TextBuffer& scratch, UnicodeForm form, const uint8_t* c, uint64_t length);

// Writes a long CSV cell into the record's text, chunk by chunk; a text that looks like a formula
// gets a leading "'" when `inert` (InertFormulas=true).
void PutLongCsvCell(WalkContext& walk, const LongCell& cell, bool inert);

}  // namespace orvalis
