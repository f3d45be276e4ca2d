// Number: a telephone number. The first octet holds the odd-count indicator (bit 8) and the
// nature of address, the second the numbering plan (bits 7 to 5); the digits follow, two to an
// octet. Three lines in the readable text; the dump lays out its head in its own way.
#pragma once

#include "decode/types/address_layout.h"

namespace orvalis {

struct NumberType {
  static constexpr std::string_view kName = "Number";
  static constexpr PartNames kParts = {{"nature", "natureCode", "plan", "planCode", "digits"}, 5};
  static ColumnType Column(const TItem& item, int part) { return address_layout::Column(item, part, kParts); }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const AddressValue address = ReadNumber(c, length);
    if (address.TooShort()) return SetFailureLine(walk, ValueFailure::kNumberTooShort);
    AppendTextHead(walk, address);
    address_layout::AppendDigitLine(walk, address);
  }
  static void Dump(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const AddressValue address = ReadNumber(c, length);
    if (address.TooShort()) return Text(walk, item, c, length);  // the readable text's error line
    AppendDumpHead(walk, item, address);
    if (length >= kLongValue) {
      RefusePiece(walk);  // the digit line is too long for a piece
      return;
    }
    address_layout::AppendDigitLine(walk, address);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const AddressValue address = ReadNumber(c, length);
    if (address.TooShort()) return field_layout::PutFailure(sink, ValueFailure::kNumberTooShort, c, length);
    sink.Parts(kParts);
    address_layout::PutNature(sink, address.Nature);
    sink.Part(2);
    field_layout::PutVerbatim(sink, NumberingPlanName(address.Plan));
    sink.Part(3);
    char* out = sink.Begin(PartKind::kNumber, 1);  // 0 to 7
    *out = static_cast<char>('0' + address.Plan);
    sink.End(out + 1);
    sink.Part(4);
    address_layout::PutDigits(sink, address.Digits, address.DigitOctets, address.Odd);
    sink.EndParts();
  }
  // The head as any, the digit line refused: too long for a piece.
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    AppendTextHead(walk, ReadNumber(c, length));
    RefusePiece(walk);
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    return address_layout::LongDigitLineHolds(walk, item, ReadNumber(c, length));
  }

 private:
  // The text before the digit line. Two pieces in one go: neither can reach the piece limit, so
  // neither is ever refused.
  [[gnu::always_inline]] static void AppendTextHead(WalkContext& walk, const AddressValue& address) {
    constexpr std::string_view kNature = "Nature of Addr.\t\t";
    constexpr std::string_view kPlan = "\n\t\t\t\tnumbering plan ind.\t";
    constexpr std::string_view kDigits = "\n\t\t\t\taddress digits\t\t";
    char* out = BeginPiece(walk, kNature.size() + kLongestNatureOfAddress + kPlan.size() + kLongestNumberingPlan +
                                     kDigits.size());
    out = PutNatureOfAddress(PutText(out, kNature), address.Nature);
    out = PutText(PutText(PutText(out, kPlan), NumberingPlanName(address.Plan)), kDigits);
    EndPiece(walk, out);
  }

  // The dump's text before the digit line: the TagName, the nature of address and the numbering
  // plan, each with the bits it is read from.
  static void AppendDumpHead(WalkContext& walk, const TItem& item, const AddressValue& address) {
    constexpr std::string_view kIndent = "\n                   ";
    constexpr std::string_view kNature = " Nature of Addr.=";
    constexpr std::string_view kPlan = " numbering plan ind.=";
    const std::string_view name = address_layout::TagNameOf(item);
    char* out = BeginPiece(walk, name.size() + 2 * kIndent.size() + 4 + kNature.size() + kLongestNatureOfAddress +
                                     kPlan.size());
    out = PutText(out, name);
    out = PutText(out, kIndent);
    out = PutOctetPairs(out, &address.Nature, 1);
    out = PutText(out, kNature);
    out = PutNatureOfAddress(out, address.Nature);
    out = PutText(out, kIndent);
    const uint8_t plan = static_cast<uint8_t>(address.Plan << 4);
    out = PutOctetPairs(out, &plan, 1);
    EndPiece(walk, PutText(out, kPlan));
    address_layout::AppendPieceOf(walk, {NumberingPlanName(address.Plan), "\n                      address digits="});
  }
};

}  // namespace orvalis
