// ReceivedDigits: digits with their nature of address: the first octet holds the odd-count
// indicator and the nature, the digits follow from the second. Two lines in the readable text;
// the dump lays out its head in its own way.
#pragma once

#include "decode/types/address_layout.h"

namespace orvalis {

struct ReceivedDigitsType {
  static constexpr std::string_view kName = "ReceivedDigits";
  static constexpr PartNames kParts = {{"nature", "natureCode", "digits"}, 3};
  static ColumnType Column(const TItem& item, int part) { return address_layout::Column(item, part, kParts); }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const AddressValue address = ReadReceivedDigits(c, length);
    AppendTextHead(walk, address);
    address_layout::AppendDigitLine(walk, address);
  }
  static void Dump(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const AddressValue address = ReadReceivedDigits(c, length);
    AppendDumpHead(walk, item, address);
    if (length >= kLongValue) {
      RefusePiece(walk);  // the digit line is too long for a piece
      return;
    }
    address_layout::AppendDigitLine(walk, address);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const AddressValue address = ReadReceivedDigits(c, length);
    sink.Parts(kParts);
    address_layout::PutNature(sink, address.Nature);
    sink.Part(2);
    address_layout::PutDigits(sink, address.Digits, address.DigitOctets, address.Odd);
    sink.EndParts();
  }
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    AppendTextHead(walk, ReadReceivedDigits(c, length));
    RefusePiece(walk);
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    return address_layout::LongDigitLineHolds(walk, item, ReadReceivedDigits(c, length));
  }

 private:
  [[gnu::always_inline]] static void AppendTextHead(WalkContext& walk, const AddressValue& address) {
    constexpr std::string_view kNature = "Nature of Addr.\t\t";
    constexpr std::string_view kDigits = "\n\t\t\t\taddress digits.\t\t";
    char* out = BeginPiece(walk, kNature.size() + kLongestNatureOfAddress + kDigits.size());
    out = PutNatureOfAddress(PutText(out, kNature), address.Nature);
    EndPiece(walk, PutText(out, kDigits));
  }

  // The dump's text before the digit line: the TagName and the nature of address.
  static void AppendDumpHead(WalkContext& walk, const TItem& item, const AddressValue& address) {
    constexpr std::string_view kNature = "\n**** **** Nature of Addr.=";
    constexpr std::string_view kPlan = "\n**** **** numbering plan ind.=";
    const std::string_view name = address_layout::TagNameOf(item);
    char* out = BeginPiece(walk, name.size() + kNature.size() + kLongestNatureOfAddress + kPlan.size());
    out = PutNatureOfAddress(PutText(PutText(out, name), kNature), address.Nature);
    EndPiece(walk, PutText(out, kPlan));
  }
};

}  // namespace orvalis
