#include "debugdump/dump_values.h"

#include <initializer_list>
#include <string_view>

#include "common/text_format.h"
#include "decode/values/value_readers.h"
#include "decode/writers/text_values.h"

namespace orvalis {
namespace {

// The indentation of the Number lines.
constexpr std::string_view kIndent = "\n                   ";

std::string_view TagNameOf(const TItem& item) {
  return item.TagName ? std::string_view(*item.TagName) : std::string_view("(null)");
}

// Appends a piece made of the texts given, in order.
void AppendPieceOf(WalkContext& walk, std::initializer_list<std::string_view> texts) {
  std::size_t room = 0;
  for (std::string_view text : texts) room += text.size();
  char* out = BeginPiece(walk, room);
  for (std::string_view text : texts) out = PutText(out, text);
  EndPiece(walk, out);
}

// Writes an octet as two upper-case hexadecimal digits.
char* PutHexOctet(char* out, uint8_t octet) { return PutOctetPairs(out, &octet, 1); }

// The text of a telephone number before its digit line: the TagName, the nature of address and
// the numbering plan, each with the bits it is read from.
void AppendNumberHead(WalkContext& walk, const TItem& item, const AddressValue& address) {
  const std::string_view name = TagNameOf(item);
  constexpr std::string_view kNature = " Nature of Addr.=";
  constexpr std::string_view kPlan = " numbering plan ind.=";
  char* out = BeginPiece(walk, name.size() + 2 * kIndent.size() + 4 + kNature.size() + kLongestNatureOfAddress +
                                   kPlan.size());
  out = PutText(out, name);
  out = PutText(out, kIndent);
  out = PutHexOctet(out, address.Nature);
  out = PutText(out, kNature);
  out = PutNatureOfAddress(out, address.Nature);
  out = PutText(out, kIndent);
  out = PutHexOctet(out, static_cast<uint8_t>(address.Plan << 4));
  EndPiece(walk, PutText(out, kPlan));
  AppendPieceOf(walk, {NumberingPlanName(address.Plan), "\n                      address digits="});
}

// The text of received digits before their digit line: the TagName and the nature of address.
void AppendReceivedDigitsHead(WalkContext& walk, const TItem& item, const AddressValue& address) {
  const std::string_view name = TagNameOf(item);
  constexpr std::string_view kNature = "\n**** **** Nature of Addr.=";
  constexpr std::string_view kPlan = "\n**** **** numbering plan ind.=";
  char* out = BeginPiece(walk, name.size() + kNature.size() + kLongestNatureOfAddress + kPlan.size());
  out = PutNatureOfAddress(PutText(PutText(out, name), kNature), address.Nature);
  EndPiece(walk, PutText(out, kPlan));
}

}  // namespace

void DumpDecodedValue(WalkContext& walk, const TItem& item, uint64_t length) {
  const uint8_t* c = walk.Input.Here();
  if (item.Type == TagType::Number) {
    const AddressValue address = ReadNumber(c, length);
    if (address.TooShort()) {
      DecodeValue(walk, item, length);  // the readable text's error line
      return;
    }
    AppendNumberHead(walk, item, address);
    AppendDigitLineAndFilter(walk, item, address, length);
  } else if (item.Type == TagType::ReceivedDigits) {
    const AddressValue address = ReadReceivedDigits(c, length);
    AppendReceivedDigitsHead(walk, item, address);
    AppendDigitLineAndFilter(walk, item, address, length);
  } else {
    DecodeValue(walk, item, length);
  }
}

}  // namespace orvalis
