#include "decode/writers/record_text.h"

#include <cstdint>
#include <cstring>

#include "common/padded_text.h"
#include "common/text_format.h"

namespace orvalis {
namespace {

// What each octet needs: kAsIs, kEscape (JSON) or kQuote (CSV), kLatin1 (two octets of UTF-8).
enum Need : uint8_t { kAsIs, kEscape, kLatin1 };
struct NeedTable {
  uint8_t Json[256];
  uint8_t Csv[256];
};
constexpr NeedTable MakeNeedTable() {
  NeedTable table{};
  for (int octet = 0; octet < 256; ++octet) {
    const uint8_t high = octet >= 0x80 ? uint8_t{kLatin1} : uint8_t{kAsIs};
    table.Json[octet] = octet < 0x20 || octet == '"' || octet == '\\' ? uint8_t{kEscape} : high;
    table.Csv[octet] = octet == ',' || octet == '"' || octet == '\r' || octet == '\n' ? uint8_t{kEscape} : high;
  }
  return table;
}
constexpr NeedTable kNeeds = MakeNeedTable();

// A dictionary text plain for a format is copied as it is: no octet of it may need more there.
constexpr bool PlainOctetsNeedNothing() {
  for (int octet = 0; octet < 256; ++octet) {
    const uint8_t kinds = PaddedText::KindsOf(static_cast<char>(octet));
    if ((JsonTakesAsIs(kinds) && kNeeds.Json[octet] != kAsIs) || (CsvTakesAsIs(kinds) && kNeeds.Csv[octet] != kAsIs)) {
      return false;
    }
  }
  return true;
}
static_assert(PlainOctetsNeedNothing(), "a dictionary text plain for a format would need escaping or quoting there");

void AppendLatin1(TextBuffer& out, uint8_t octet) {
  out.push_back(static_cast<char>(0xC0 | (octet >> 6)));
  out.push_back(static_cast<char>(0x80 | (octet & 0x3F)));
}

// True when one of the eight octets of a word needs more than a copy in JSON: below 0x20, a
// quotation mark, a reverse solidus or above 0x7F.
inline bool WordNeedsJsonWork(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  const uint64_t below20 = (word - kOnes * 0x20) & ~word;
  const uint64_t quote = word ^ (kOnes * '"');
  const uint64_t backslash = word ^ (kOnes * '\\');
  const uint64_t isQuote = (quote - kOnes) & ~quote;
  const uint64_t isBackslash = (backslash - kOnes) & ~backslash;
  return ((below20 | isQuote | isBackslash | word) & kHighs) != 0;
}

uint64_t LoadWord(const char* at) {
  uint64_t word;
  std::memcpy(&word, at, 8);
  return word;
}

// True when one of the eight octets of a word has the value `octet`.
inline uint64_t HasOctet(uint64_t word, uint8_t octet) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  const uint64_t x = word ^ (kOnes * octet);
  return (x - kOnes) & ~x;
}

// True when one of the eight octets needs more than a copy in CSV: a comma, a quotation mark, a
// carriage return, a line feed, or above 0x7F.
inline bool WordNeedsCsvWork(uint64_t word) {
  const uint64_t found = HasOctet(word, ',') | HasOctet(word, '"') | HasOctet(word, '\r') | HasOctet(word, '\n');
  return ((found | word) & 0x8080808080808080ull) != 0;
}

// Writes one octet as JSON needs it and returns the end of what it wrote (at most six characters).
char* PutJsonOctet(char* out, uint8_t octet) {
  switch (kNeeds.Json[octet]) {
    case kAsIs:
      *out++ = static_cast<char>(octet);
      return out;
    case kLatin1:
      *out++ = static_cast<char>(0xC0 | (octet >> 6));
      *out++ = static_cast<char>(0x80 | (octet & 0x3F));
      return out;
    default:
      break;
  }
  static constexpr char kShort[] = "btn fr";  // \b \t \n (\v has none) \f \r for 0x08 to 0x0D
  *out++ = '\\';
  if (octet == '"' || octet == '\\') {
    *out++ = static_cast<char>(octet);
  } else if (octet >= 0x08 && octet <= 0x0D && octet != 0x0B) {
    *out++ = kShort[octet - 0x08];
  } else {
    static constexpr char kHex[] = "0123456789abcdef";
    const char code[5] = {'u', '0', '0', kHex[octet >> 4], kHex[octet & 0x0F]};
    std::memcpy(out, code, 5);
    out += 5;
  }
  return out;
}

// The octets of a text in pieces of this many, each with room for its worst case.
constexpr std::size_t kJsonPiece = 4096;

}  // namespace

void AppendJsonString(TextBuffer& out, std::string_view octets) {
  out.push_back('"');
  AppendJsonOctets(out, octets);
  out.push_back('"');
}

void AppendJsonOctets(TextBuffer& out, std::string_view octets) {
  const char* from = octets.data();
  std::size_t left = octets.size();
  do {
    const std::size_t piece = left < kJsonPiece ? left : kJsonPiece;
    char* const start = out.extend(6 * piece + 8);  // every octet escaped, and a word to spare
    char* to = start;
    std::size_t i = 0;
    while (i + 8 <= piece) {
      uint64_t word;
      std::memcpy(&word, from + i, 8);
      if (!WordNeedsJsonWork(word)) {
        std::memcpy(to, &word, 8);
        to += 8;
        i += 8;
        continue;
      }
      for (const std::size_t wordEnd = i + 8; i < wordEnd; ++i) to = PutJsonOctet(to, static_cast<uint8_t>(from[i]));
    }
    for (; i < piece; ++i) to = PutJsonOctet(to, static_cast<uint8_t>(from[i]));
    out.truncate(out.size() - (6 * piece + 8) + static_cast<std::size_t>(to - start));
    from += piece;
    left -= piece;
  } while (left != 0);
}

void AppendCsvField(TextBuffer& out, std::string_view octets) {
  // Most fields need nothing: they are found so eight octets at a time and copied whole.
  std::size_t i = 0;
  while (i + 8 <= octets.size() && !WordNeedsCsvWork(LoadWord(octets.data() + i))) i += 8;
  while (i < octets.size() && kNeeds.Csv[static_cast<uint8_t>(octets[i])] == kAsIs) ++i;
  if (i == octets.size()) {
    out.append(octets);
    return;
  }
  const bool quoted = CsvFieldNeedsQuotes(octets);
  if (quoted) out.push_back('"');
  AppendCsvOctets(out, octets);
  if (quoted) out.push_back('"');
}

namespace {

// A CSV cell: quoted when it must be, a formula made inert on request, its octets put by `put`.
void AppendCsvCell(TextBuffer& out, std::string_view text, bool inert,
                   void (*put)(TextBuffer&, std::string_view)) {
  const bool quoted = CsvFieldNeedsQuotes(text);
  if (quoted) out.push_back('"');
  if (inert && LooksLikeFormula(text)) out.push_back('\'');
  put(out, text);
  if (quoted) out.push_back('"');
}

}  // namespace

void AppendCsvText(TextBuffer& out, std::string_view octets, bool inert) {
  if (!inert || !LooksLikeFormula(octets)) return AppendCsvField(out, octets);
  AppendCsvCell(out, octets, true, AppendCsvOctets);
}

bool CsvFieldNeedsQuotes(std::string_view octets) {
  bool quoted = false;
  for (char c : octets) quoted = quoted || kNeeds.Csv[static_cast<uint8_t>(c)] == kEscape;
  return quoted;
}

void AppendCsvOctets(TextBuffer& out, std::string_view octets) {
  for (char c : octets) {
    const uint8_t octet = static_cast<uint8_t>(c);
    if (octet >= 0x80) {
      AppendLatin1(out, octet);
    } else {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
  }
}

void AppendJsonUtf8(TextBuffer& out, std::string_view text) {
  char* const start = out.extend(6 * text.size());
  char* to = start;
  for (char c : text) {
    const uint8_t octet = static_cast<uint8_t>(c);
    if (octet >= 0x80) {
      *to++ = c;
    } else {
      to = PutJsonOctet(to, octet);
    }
  }
  out.truncate(out.size() - 6 * text.size() + static_cast<std::size_t>(to - start));
}

void AppendCsvUtf8Octets(TextBuffer& out, std::string_view text) {
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
}

void AppendCsvUtf8(TextBuffer& out, std::string_view text, bool inert) {
  AppendCsvCell(out, text, inert, AppendCsvUtf8Octets);
}

void AppendJsonName(TextBuffer& out, std::string_view name) {
  if (!IsValidUtf8(name)) return AppendJsonString(out, name);
  out.push_back('"');
  AppendJsonUtf8(out, name);
  out.push_back('"');
}

void AppendCsvNameOctets(TextBuffer& out, std::string_view name) {
  if (!IsValidUtf8(name)) return AppendCsvOctets(out, name);
  AppendCsvUtf8Octets(out, name);
}

void AppendCsvName(TextBuffer& out, std::string_view name, bool inert) {
  AppendCsvCell(out, name, inert, AppendCsvNameOctets);
}

}  // namespace orvalis
