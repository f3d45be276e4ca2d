// How the record writers write a text: as a JSON string, or as a CSV field (RFC 4180). Both
// write octets above 0x7F as the characters U+0080 to U+00FF (ISO 8859-1 read as Unicode) in
// UTF-8, so that every line is valid UTF-8 and every octet can be had back: a character below
// U+0100 is one octet.
#pragma once

#include <string_view>

#include "common/text_buffer.h"

namespace orvalis {

// Appends the octets as a JSON string, quotes included: a quotation mark, a reverse solidus and
// the control characters (below 0x20) escaped, the octets above 0x7F as above.
void AppendJsonString(TextBuffer& out, std::string_view octets);

// AppendJsonString without the quotes around the text.
void AppendJsonOctets(TextBuffer& out, std::string_view octets);

// True when a CSV field of these octets is quoted; AppendCsvField's octets without the quotes.
bool CsvFieldNeedsQuotes(std::string_view octets);
void AppendCsvOctets(TextBuffer& out, std::string_view octets);

// Appends the octets as one CSV field: quoted when it holds a comma, a quotation mark, a carriage
// return or a line feed, with every quotation mark inside doubled; the octets above 0x7F as above.
void AppendCsvField(TextBuffer& out, std::string_view octets);

}  // namespace orvalis
