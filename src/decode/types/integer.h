// Integer and Enumerated: an ASN.1 INTEGER or ENUMERATED, two's complement of 1 to 9 octets
// (decode/values/asn1_values.h). Integer is the number; Enumerated the name that the item's
// NamedNumbers give it, with the number (a number without a name: the number, its name null).
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/asn1_values.h"

namespace orvalis {
namespace integer_layout {

// An integer's column: bigint, or numeric where the dictionary says its values may pass 2^63 - 1.
inline ColumnType NumberColumn(const TItem& item) {
  return item.Numeric ? ColumnType::kNumeric : ColumnType::kBigInteger;
}

template <typename Sink>
void PutNumber(Sink& sink, const IntegerValue& value) {
  sink.End(PutInteger(sink.Begin(PartKind::kNumber, kLongestInteger), value));
}

// The name of a value among the item's NamedNumbers, or null.
inline const PaddedText* NameOf(const TItem& item, const IntegerValue& value) {
  return item.NamedNumbers && value.InSigned64() ? item.NamedNumbers->Find(value.Signed()) : nullptr;
}

}  // namespace integer_layout

struct IntegerType : LongValuesFail<ValueFailure::kIntegerTooLong> {
  static constexpr std::string_view kName = "Integer";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem& item, int) { return integer_layout::NumberColumn(item); }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const IntegerValue value = ReadInteger(c, length);
    if (value.Check.Failed) return SetFailureWithOctets(walk, value.Check.Failure, c, length);
    char* out = PutInteger(BeginPiece(walk, kLongestInteger + 1), value);
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const IntegerValue value = ReadInteger(c, length);
    if (value.Check.Failed) return field_layout::PutFailure(sink, value.Check.Failure, c, length);
    integer_layout::PutNumber(sink, value);
  }
};

struct EnumeratedType : LongValuesFail<ValueFailure::kIntegerTooLong> {
  static constexpr std::string_view kName = "Enumerated";
  static constexpr PartNames kParts = {{"name", "number"}, 2};
  static ColumnType Column(const TItem& item, int part) {
    return part == 1 ? integer_layout::NumberColumn(item) : ColumnType::kText;
  }

  // "name (number)", or the number alone.
  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const IntegerValue value = ReadInteger(c, length);
    if (value.Check.Failed) return SetFailureWithOctets(walk, value.Check.Failure, c, length);
    const PaddedText* name = integer_layout::NameOf(item, value);
    if (name == nullptr) {
      char* out = PutInteger(BeginPiece(walk, kLongestInteger + 1), value);
      *out++ = '\n';
      return EndShortPiece(walk, out);
    }
    char* out = PutText(BeginPiece(walk, name->size() + PaddedText::kPadding + kLongestInteger + 4), *name);
    *out++ = ' ';
    *out++ = '(';
    out = PutInteger(out, value);
    *out++ = ')';
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem& item, const uint8_t* c, uint64_t length) {
    const IntegerValue value = ReadInteger(c, length);
    if (value.Check.Failed) return field_layout::PutFailure(sink, value.Check.Failure, c, length);
    sink.Parts(kParts);
    sink.Part(0);
    if (const PaddedText* name = integer_layout::NameOf(item, value)) {
      sink.Text(*name);
    } else {
      sink.Null();
    }
    sink.Part(1);
    integer_layout::PutNumber(sink, value);
    sink.EndParts();
  }
};

}  // namespace orvalis
