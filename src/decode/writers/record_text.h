// How the record writers write a text: as a JSON string, or as a CSV field (RFC 4180). Both
// write octets above 0x7F as the characters U+0080 to U+00FF (ISO 8859-1 read as Unicode) in
// UTF-8, so that every line is valid UTF-8 and every octet can be had back: a character below
// U+0100 is one octet.
#pragma once

#include <string_view>

#include "common/padded_text.h"
#include "common/text_buffer.h"

namespace orvalis {

// True for a dictionary text that the format takes as it is (neither escaped, quoted nor mapped):
// the record writers then copy it whole.
constexpr bool JsonTakesAsIs(uint8_t kinds) {
  return (kinds & (PaddedText::kControl | PaddedText::kQuote | PaddedText::kBackslash | PaddedText::kHigh)) == 0;
}
constexpr bool CsvTakesAsIs(uint8_t kinds) {
  return (kinds & (PaddedText::kLineEnd | PaddedText::kQuote | PaddedText::kComma | PaddedText::kHigh)) == 0;
}
inline bool PlainForJson(const PaddedText& text) { return JsonTakesAsIs(text.Kinds()); }
inline bool PlainForCsv(const PaddedText& text) { return CsvTakesAsIs(text.Kinds()); }

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

// True for a text that a spreadsheet would take for a formula: one that begins with "=", "+", "-",
// "@", a tab or a carriage return. With InertFormulas=true such a text cell gets a leading "'".
inline bool LooksLikeFormula(std::string_view text) {
  if (text.empty()) return false;
  const char first = text.front();
  return first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' || first == '\r';
}

// AppendCsvField, with a leading "'" inside the field for a text that looks like a formula when
// `inert`.
void AppendCsvText(TextBuffer& out, std::string_view octets, bool inert);

// A text of valid UTF-8 (a UTF8String's, a BMPString's made UTF-8): in JSON its octets escaped as
// JSON requires, without the quotes; in CSV as a field (quoted when it must be, a formula made
// inert when `inert`), or its octets without the quotes. Octets above 0x7F are written as they are.
void AppendJsonUtf8(TextBuffer& out, std::string_view text);
void AppendCsvUtf8(TextBuffer& out, std::string_view text, bool inert);
void AppendCsvUtf8Octets(TextBuffer& out, std::string_view text);

// A name (a TagName, a file's name) as a JSON string or as a CSV field: its octets as they are
// when they are valid UTF-8 (escaped or quoted as the format needs), else every octet above 0x7F
// as one character, as AppendJsonString and AppendCsvField write any octets. So a name is the same
// text in the CSV header, the JSON keys, the table definition and the manifest.
void AppendJsonName(TextBuffer& out, std::string_view name);
void AppendCsvName(TextBuffer& out, std::string_view name, bool inert = false);
// (`inert`: a leading "'" for a name that looks like a formula, as AppendCsvText.) AppendCsvName's
// octets without the quotes:
void AppendCsvNameOctets(TextBuffer& out, std::string_view name);

}  // namespace orvalis
