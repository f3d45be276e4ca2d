#include "decode/record_text.h"

#include <cstdint>

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

void AppendLatin1(TextBuffer& out, uint8_t octet) {
  out.push_back(static_cast<char>(0xC0 | (octet >> 6)));
  out.push_back(static_cast<char>(0x80 | (octet & 0x3F)));
}

}  // namespace

void AppendJsonString(TextBuffer& out, std::string_view octets) {
  out.push_back('"');
  std::size_t plain = 0;  // the start of octets not yet appended that need nothing
  for (std::size_t i = 0; i < octets.size(); ++i) {
    const uint8_t octet = static_cast<uint8_t>(octets[i]);
    const uint8_t need = kNeeds.Json[octet];
    if (need == kAsIs) continue;
    out.append(octets.data() + plain, i - plain);
    plain = i + 1;
    if (need == kLatin1) {
      AppendLatin1(out, octet);
      continue;
    }
    static constexpr char kShort[] = "btn fr";  // \b \t \n \v(none) \f \r for 0x08 to 0x0D
    out.push_back('\\');
    if (octet == '"' || octet == '\\') {
      out.push_back(static_cast<char>(octet));
    } else if (octet >= 0x08 && octet <= 0x0D && octet != 0x0B) {
      out.push_back(kShort[octet - 0x08]);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      const char code[5] = {'u', '0', '0', kHex[octet >> 4], kHex[octet & 0x0F]};
      out.append(code, 5);
    }
  }
  out.append(octets.data() + plain, octets.size() - plain);
  out.push_back('"');
}

void AppendCsvField(TextBuffer& out, std::string_view octets) {
  bool quoted = false;
  bool latin1 = false;
  for (char c : octets) {
    const uint8_t need = kNeeds.Csv[static_cast<uint8_t>(c)];
    quoted = quoted || need == kEscape;
    latin1 = latin1 || need == kLatin1;
  }
  if (!quoted && !latin1) {
    out.append(octets);
    return;
  }
  if (quoted) out.push_back('"');
  for (char c : octets) {
    const uint8_t octet = static_cast<uint8_t>(c);
    if (octet >= 0x80) {
      AppendLatin1(out, octet);
    } else {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
  }
  if (quoted) out.push_back('"');
}

}  // namespace orvalis
