// The value types, a row each: the list that the dictionary reader, the writers, the CSV columns
// and the table definition find every type through. A new type is a class in a file of its own
// (value_type.h says what it has) and a row here. The list is a type, so the walk's writers call
// each type's layouts without indirection; a list with more rows (a test's) is used alike.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "decode/types/bit_string.h"
#include "decode/types/boolean.h"
#include "decode/types/character_strings.h"
#include "decode/types/date_time.h"
#include "decode/types/dec_number.h"
#include "decode/types/duration.h"
#include "decode/types/hex_number.h"
#include "decode/types/integer.h"
#include "decode/types/ip_address.h"
#include "decode/types/line_code.h"
#include "decode/types/mnemonics.h"
#include "decode/types/null.h"
#include "decode/types/number.h"
#include "decode/types/opaque.h"
#include "decode/types/object_identifier.h"
#include "decode/types/plmn_id.h"
#include "decode/types/received_digits.h"
#include "decode/types/seconds.h"
#include "decode/types/string_value.h"
#include "decode/types/tbcd.h"
#include "decode/types/telephony_addresses.h"
#include "decode/types/times.h"
#include "decode/types/untyped.h"
#include "decode/types/value_type.h"
#include "tags/tag_tree.h"

namespace orvalis {

namespace value_type_traits {
template <typename T, typename = void>
struct HasDump : std::false_type {};
template <typename T>
struct HasDump<T, std::void_t<decltype(&T::Dump)>> : std::true_type {};
template <typename T, typename = void>
struct HasLong : std::false_type {};
template <typename T>
struct HasLong<T, std::void_t<decltype(&T::LongText), decltype(&T::LongFilter)>> : std::true_type {};
template <typename T, typename = void>
struct OctetsBeside : std::false_type {};
template <typename T>
struct OctetsBeside<T, std::void_t<decltype(T::kOctetsBeside)>> : std::bool_constant<T::kOctetsBeside> {};
template <typename T, typename = void>
struct KeepsContents : std::false_type {};
template <typename T>
struct KeepsContents<T, std::void_t<decltype(T::kKeepsContents)>> : std::bool_constant<T::kKeepsContents> {};
template <typename T, typename = void>
struct TakesEmpty : std::false_type {};
template <typename T>
struct TakesEmpty<T, std::void_t<decltype(T::kTakesEmpty)>> : std::bool_constant<T::kTakesEmpty> {};
}  // namespace value_type_traits


// The first row is the tag without a type (code 0); the codes of the others are their places.
template <typename... Rows>
struct ValueTypeList {
  static constexpr std::size_t kCount = sizeof...(Rows);
  static_assert(kCount >= 1 && kCount <= 255, "a type's code is one octet");

  static constexpr ValueTypeInfo kInfo[kCount] = {
      {Rows::kName, Rows::kParts, &Rows::Column, value_type_traits::OctetsBeside<Rows>::value}...};

  // The names for the dictionary reader: kNames[code].
  static constexpr std::string_view kNames[kCount] = {Rows::kName...};
  static ValueTypeNames Names() { return {kNames, kCount, KeepsContentsCode()}; }

  static constexpr ValueTypeCatalog Catalog() { return {kInfo, kCount}; }

  // True for a code whose type takes a value of 0 octets (kTakesEmpty); a code beyond the list
  // is the first row's, which does not.
  static constexpr bool kTakesEmpty[kCount] = {value_type_traits::TakesEmpty<Rows>::value...};
  static bool TakesEmpty(TagType code) {
    const auto index = static_cast<std::size_t>(code);
    return index < kCount && kTakesEmpty[index];
  }

  // Calls visit(Row{}) for the row of the code (a code beyond the list: the first row's), through
  // one jump on the code.
  template <typename Visit>
  [[gnu::always_inline]] static void VisitRow(TagType code, Visit&& visit) {
    const auto index = static_cast<std::size_t>(code);
    switch (index < kCount ? index : 0) {
#define ORVALIS_ROW_CASE(I) \
  case I:                   \
    if constexpr (I < kCount) return visit(RowAt<I>{}); \
    break;
#define ORVALIS_ROW_CASES8(I) \
  ORVALIS_ROW_CASE(I) ORVALIS_ROW_CASE(I + 1) ORVALIS_ROW_CASE(I + 2) ORVALIS_ROW_CASE(I + 3) \
  ORVALIS_ROW_CASE(I + 4) ORVALIS_ROW_CASE(I + 5) ORVALIS_ROW_CASE(I + 6) ORVALIS_ROW_CASE(I + 7)
      ORVALIS_ROW_CASES8(0) ORVALIS_ROW_CASES8(8) ORVALIS_ROW_CASES8(16) ORVALIS_ROW_CASES8(24)
      ORVALIS_ROW_CASES8(32) ORVALIS_ROW_CASES8(40) ORVALIS_ROW_CASES8(48) ORVALIS_ROW_CASES8(56)
#undef ORVALIS_ROW_CASES8
#undef ORVALIS_ROW_CASE
      default:
        break;
    }
  }
  static_assert(kCount <= 64, "VisitRow has cases for 64 rows: give it more");

  // The readable text of a value: a jump to the type's layout (a long value's apart).
  [[gnu::always_inline]] static void Text(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    if (!MadeInOneGo(length)) return LongTextOf(walk, item, c, length);
    VisitRow(item.Type, [&](auto row) { decltype(row)::Text(walk, item, c, length); });
  }
  // The debug dump's decoded value.
  static void Dump(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    VisitRow(item.Type, [&](auto row) {
      using Row = decltype(row);
      if constexpr (value_type_traits::HasDump<Row>::value) {
        Row::Dump(walk, item, c, length);
      } else {
        TextOf<Row>(walk, item, c, length);
      }
    });
  }
  // The record formats' value, told to the sink.
  template <typename Sink>
  [[gnu::always_inline]] static void Fields(Sink& sink, const TItem& item, const uint8_t* c, uint64_t length) {
    VisitRow(item.Type, [&](auto row) { decltype(row)::Fields(sink, item, c, length); });
  }
  // True when Text makes the readable text of a value of `length` octets in one go, as the filter
  // seeks it: the value's own text is then the last piece Text laid out, and a writer that laid it
  // out may have the filter seek it there (kLaysOutFilterText, decode/walk/writer.h). A long value's
  // text is made in chunks and the filter makes it again.
  static constexpr bool MadeInOneGo(uint64_t length) { return length < kLongValue; }
  // True when the item's filter value is in the value's readable text (an address's digit line);
  // what the text adds to the record's text is left there for the caller to take back.
  static bool FilterHolds(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    bool holds = false;
    VisitRow(item.Type, [&](auto row) {
      using Row = decltype(row);
      if constexpr (value_type_traits::HasLong<Row>::value) {
        holds = MadeInOneGo(length) ? ShortValueHolds<Row>(walk, item, c, length)
                                    : Row::LongFilter(walk, item, c, length);
      } else {
        holds = ShortValueHolds<Row>(walk, item, c, length);
      }
    });
    return holds;
  }

 private:
  // The code of the row whose value is an element's whole contents (kKeepsContents), if any.
  static constexpr TagType KeepsContentsCode() {
    constexpr bool keeps[kCount] = {value_type_traits::KeepsContents<Rows>::value...};
    for (std::size_t code = 1; code < kCount; ++code) {
      if (keeps[code]) return static_cast<TagType>(code);
    }
    return TagType::None;
  }
  template <std::size_t I>
  using RowAt = std::tuple_element_t<(I < kCount ? I : 0), std::tuple<Rows...>>;
  [[gnu::noinline, gnu::cold]] static void LongTextOf(WalkContext& walk, const TItem& item, const uint8_t* c,
                                                      uint64_t length) {
    VisitRow(item.Type, [&](auto row) { TextOf<decltype(row)>(walk, item, c, length); });
  }
  template <typename Row>
  static void TextOf(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    if constexpr (value_type_traits::HasLong<Row>::value) {
      if (length >= kLongValue) return Row::LongText(walk, item, c, length);
    }
    Row::Text(walk, item, c, length);
  }
};

// The program's value types, in the order of their codes: the first ten are the dictionary's
// codes 1 to 10 of old; then the types of module-defined files. Those have their layouts out of
// line, and their record formats' layouts cold (noinline, cold): made in each record writer's unit
// and inlined into as any, they took the room the compiler gives a unit for inlining, and the
// walk's steps for the types of old became calls (JSON Lines of a generated file of those types
// took 6 to 13 per cent more instructions).
using ValueTypes = ValueTypeList<UntypedType, DateTimeType, StringType, NumberType, HexNumberType, DecNumberType,
                                 IndexedMnemonicType, KeyedMnemonicType, DurationType, LineCodeType,
                                 ReceivedDigitsType, NullType, IntegerType, EnumeratedType, BooleanType,
                                 BitStringType, ObjectIdentifierType, CharactersType, Utf8StringType, BmpStringType,
                                 UniversalStringType, GeneralizedTimeType, UtcTimeType, TbcdStringType, ImsiType,
                                 ImeiType, AddressStringType, BcdDirectoryNumberType, TimeStampType, IpAddressType,
                                 PlmnIdType, SecondsType, OpaqueType>;

// An empty dictionary whose Type parameters name the types of a list.
template <typename Types = ValueTypes>
std::unique_ptr<TBranch> NewDictionary() {
  auto root = std::make_unique<TBranch>(nullptr);
  root->Types = Types::Names();
  return root;
}

}  // namespace orvalis
