// Long values in the record formats: a JSON string's octets and a CSV cell made in chunks (see
// decode/types/long_text.h), each handed on as it is made.
#pragma once

#include <string_view>

#include "decode/types/long_text.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

// Writes a JSON string's octets in chunks into the record's text, without its quotes.
void PutLongJsonText(WalkContext& walk, std::string_view octets);

// Writes a long CSV cell into the record's text, chunk by chunk; a text that looks like a formula
// gets a leading "'" when `inert` (InertFormulas=true).
void PutLongCsvCell(WalkContext& walk, const LongCell& cell, bool inert);

}  // namespace orvalis
