// TBCDString, IMSI and IMEI: TBCD digits, two to an octet, the low nibble first; F only as the
// last nibble, a filler after an odd count (decode/values/telephony_values.h). A TBCDString's
// nibbles A to E are the symbols * # a b c; an IMSI's and an IMEI's cannot be decoded, nor can an
// IMSI of other than 3 to 8 octets or an IMEI (or IMEISV) of other than 8. An empty TBCDString is
// a value, no digits.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/telephony_values.h"

namespace orvalis {
namespace tbcd_layout {

inline void AppendDigits(WalkContext& walk, const TbcdDigits& digits) {
  char* out = PutTbcd(BeginPiece(walk, static_cast<std::size_t>(2 * digits.Count) + 1), digits);
  *out++ = '\n';
  EndPiece(walk, out);
}

template <typename Sink>
void PutDigits(Sink& sink, const TbcdDigits& digits) {
  if (digits.Count >= kLongValue) {
    return sink.LongVerbatim(digits.Octets, digits.Count, digits.Odd ? LongForm::kOddTbcd : LongForm::kTbcd);
  }
  sink.End(PutTbcd(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * digits.Count)), digits));
}

// A digit line too long for a piece, sought by the filter in chunks.
inline bool LongDigitsHold(WalkContext& walk, const TItem& item, const TbcdDigits& digits) {
  return LongLineHolds(walk, item, [&](SearchChunks& out) {
    PutLongForm(out, digits.Octets, digits.Count, digits.Odd ? LongForm::kOddTbcd : LongForm::kTbcd);
  });
}

// A type of TBCD digits read by `Read`.
template <typename Read>
struct DigitsType {
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const TbcdDigits digits = Read::Digits(c, length);
    if (digits.Check.Failed) return SetFailureWithOctets(walk, digits.Check.Failure, c, length);
    AppendDigits(walk, digits);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const TbcdDigits digits = Read::Digits(c, length);
    if (digits.Check.Failed) return field_layout::PutFailure(sink, digits.Check.Failure, c, length);
    PutDigits(sink, digits);
  }
};

}  // namespace tbcd_layout

struct TbcdStringType : tbcd_layout::DigitsType<TbcdStringType> {
  static constexpr std::string_view kName = "TBCDString";
  static constexpr bool kTakesEmpty = true;
  static TbcdDigits Digits(const uint8_t* c, uint64_t length) { return ReadTbcd(c, length, false); }
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const TbcdDigits digits = Digits(c, length);
    if (digits.Check.Failed) return SetFailureWithOctets(walk, digits.Check.Failure, c, length);
    RefusePiece(walk);  // more than a piece's room
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const TbcdDigits digits = Digits(c, length);
    if (digits.Check.Failed) return FailureWithOctetsHolds(walk, item, digits.Check.Failure, c, length);
    return tbcd_layout::LongDigitsHold(walk, item, digits);
  }
};

struct ImsiType : tbcd_layout::DigitsType<ImsiType>, LongValuesFail<ValueFailure::kImsiLength> {
  static constexpr std::string_view kName = "IMSI";
  static TbcdDigits Digits(const uint8_t* c, uint64_t length) {
    if (length < 3 || length > 8) {
      TbcdDigits digits;
      digits.Check = Fails(ValueFailure::kImsiLength);
      return digits;
    }
    return ReadTbcd(c, length, true);
  }
};

struct ImeiType : tbcd_layout::DigitsType<ImeiType>, LongValuesFail<ValueFailure::kImeiLength> {
  static constexpr std::string_view kName = "IMEI";
  static TbcdDigits Digits(const uint8_t* c, uint64_t length) {
    if (length != 8) {
      TbcdDigits digits;
      digits.Check = Fails(ValueFailure::kImeiLength);
      return digits;
    }
    return ReadTbcd(c, length, true);
  }
};

}  // namespace orvalis
