// AddressString and BCDDirectoryNumber: a telephone address of 3GPP billing modules, its first
// octet's nature of address (type of number) and numbering plan, named as TS 29.002 and TS 24.008
// name them, a BCDDirectoryNumber's octet 3a (presentation and screening) when the first octet's
// extension bit is 0, then TBCD digits. The readable text is one line, the names and codes joined
// by "; ", the digits last (the filter seeks in them); the record formats have a part for each.
#pragma once

#include "decode/types/address_layout.h"
#include "decode/types/failure_line.h"
#include "decode/types/tbcd.h"

namespace orvalis {
namespace telephony_address_layout {

// The names of an address's codes, by TS 29.002 or TS 24.008.
struct Names {
  std::string_view (*Nature)(uint8_t);
  std::string_view (*Plan)(uint8_t);
};

// The text before the digits: "nature; plan; " (and "presentation; screening; ").
inline void AppendHead(WalkContext& walk, const TelephonyAddress& address, const Names& names) {
  constexpr std::string_view kBetween = "; ";
  address_layout::AppendPieceOf(walk, {names.Nature(address.Nature), kBetween, names.Plan(address.Plan), kBetween});
  if (address.HasOctet3a) {
    address_layout::AppendPieceOf(walk, {PresentationName(address.Presentation), kBetween,
                                         ScreeningName(address.Screening), kBetween});
  }
}

// A named code's two parts, its name and its code, from part `at`.
template <typename Sink>
void PutNamedCode(Sink& sink, int at, std::string_view name, uint8_t code) {
  sink.Part(at);
  sink.Text(name);
  sink.Part(at + 1);
  field_layout::PutDecimal(sink, PartKind::kNumber, code);
}

// The address type of the names and the reader given, with octet 3a parts or not.
template <typename Address>
struct AddressType {
  // The codes are small numbers; the names and digits text.
  static ColumnType Column(const TItem&, int part) {
    const std::string_view name = Address::kParts.Names[part];
    constexpr std::string_view kCode = "Code";
    return name.size() > kCode.size() && name.substr(name.size() - kCode.size()) == kCode ? ColumnType::kSmallInteger
                                                                                          : ColumnType::kText;
  }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const TelephonyAddress address = Address::Read(c, length);
    if (address.Check.Failed) return SetFailureWithOctets(walk, address.Check.Failure, c, length);
    AppendHead(walk, address, Address::kNames);
    tbcd_layout::AppendDigits(walk, address.Digits);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const TelephonyAddress address = Address::Read(c, length);
    if (address.Check.Failed) return field_layout::PutFailure(sink, address.Check.Failure, c, length);
    sink.Parts(Address::kParts);
    PutNamedCode(sink, 0, Address::kNames.Nature(address.Nature), address.Nature);
    PutNamedCode(sink, 2, Address::kNames.Plan(address.Plan), address.Plan);
    int digitsPart = 4;
    if constexpr (Address::kParts.Count == 9) {
      if (address.HasOctet3a) {
        PutNamedCode(sink, 4, PresentationName(address.Presentation), address.Presentation);
        PutNamedCode(sink, 6, ScreeningName(address.Screening), address.Screening);
      } else {
        for (int part = 4; part < 8; ++part) {
          sink.Part(part);
          sink.Null();
        }
      }
      digitsPart = 8;
    }
    sink.Part(digitsPart);
    tbcd_layout::PutDigits(sink, address.Digits);
    sink.EndParts();
  }
  // The head as any, the digit line refused: too long for a piece.
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const TelephonyAddress address = Address::Read(c, length);
    if (address.Check.Failed) return SetFailureWithOctets(walk, address.Check.Failure, c, length);
    AppendHead(walk, address, Address::kNames);
    RefusePiece(walk);
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const TelephonyAddress address = Address::Read(c, length);
    if (address.Check.Failed) return FailureWithOctetsHolds(walk, item, address.Check.Failure, c, length);
    return tbcd_layout::LongDigitsHold(walk, item, address.Digits);
  }
};

}  // namespace telephony_address_layout

struct AddressStringType : telephony_address_layout::AddressType<AddressStringType> {
  static constexpr std::string_view kName = "AddressString";
  static constexpr PartNames kParts = {{"nature", "natureCode", "plan", "planCode", "digits"}, 5};
  static constexpr telephony_address_layout::Names kNames = {AddressNatureName, AddressPlanName};
  static TelephonyAddress Read(const uint8_t* c, uint64_t length) { return ReadAddressString(c, length); }
};

struct BcdDirectoryNumberType : telephony_address_layout::AddressType<BcdDirectoryNumberType> {
  static constexpr std::string_view kName = "BCDDirectoryNumber";
  static constexpr PartNames kParts = {
      {"nature", "natureCode", "plan", "planCode", "presentation", "presentationCode", "screening", "screeningCode",
       "digits"},
      9};
  static constexpr telephony_address_layout::Names kNames = {BcdTypeOfNumberName, BcdPlanName};
  static TelephonyAddress Read(const uint8_t* c, uint64_t length) { return ReadBcdDirectoryNumber(c, length); }
};

}  // namespace orvalis
