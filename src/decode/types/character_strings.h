// The character strings: Characters (the 8-bit ones: IA5String, VisibleString, PrintableString,
// NumericString, GraphicString, GeneralString, TeletexString, VideotexString, ObjectDescriptor),
// taken octet by octet as String takes them but to their end, and UTF8String, BMPString and
// UniversalString, written as UTF-8 (decode/values/character_strings.h). An empty string is a
// value, the empty text; a NUL character cannot be decoded.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/character_strings.h"

namespace orvalis {

struct CharactersType {
  static constexpr std::string_view kName = "Characters";
  static constexpr PartNames kParts = kPlainValue;
  static constexpr bool kTakesEmpty = true;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  // The octets, then a line feed.
  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckCharacters(c, length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    char* out = BeginPiece(walk, static_cast<std::size_t>(length) + 1);
    out = PutText(out, Octets(c, length));
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckCharacters(c, length);
    if (check.Failed) return field_layout::PutFailure(sink, check.Failure, c, length);
    if (length >= kLongValue) return sink.LongText(Octets(c, length));
    sink.Text(Octets(c, length));
  }
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckCharacters(c, length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    RefusePiece(walk);  // more than a piece's room
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckCharacters(c, length);
    if (check.Failed) return FailureWithOctetsHolds(walk, item, check.Failure, c, length);
    return LongLineHolds(walk, item, [&](SearchChunks& out) {
      for (uint64_t done = 0; done < length; done += kLongValueChunk) {
        out.Put(Octets(c + done, length - done < kLongValueChunk ? length - done : kLongValueChunk));
      }
    });
  }

 private:
  static std::string_view Octets(const uint8_t* c, uint64_t length) {
    return {reinterpret_cast<const char*>(c), static_cast<std::size_t>(length)};
  }
};

// A Unicode string of a form, written as UTF-8.
template <UnicodeForm kForm>
struct UnicodeStringType {
  static constexpr PartNames kParts = kPlainValue;
  static constexpr bool kTakesEmpty = true;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckUnicode(kForm, c, length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    char* out = PutUtf8(BeginPiece(walk, static_cast<std::size_t>(Utf8Room(kForm, length)) + 1), kForm, c, length);
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckUnicode(kForm, c, length);
    if (check.Failed) return field_layout::PutFailure(sink, check.Failure, c, length);
    sink.Unicode(c, length, kForm);
  }
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckUnicode(kForm, c, length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    RefusePiece(walk);  // more than a piece's room
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckUnicode(kForm, c, length);
    if (check.Failed) return FailureWithOctetsHolds(walk, item, check.Failure, c, length);
    return LongLineHolds(walk, item, [&](SearchChunks& out) {
      for (uint64_t done = 0; done < length;) {
        const uint64_t end = UnicodeChunkEnd(kForm, c, length, done, kLongValueChunk);
        char* to = out.Room(static_cast<std::size_t>(Utf8Room(kForm, end - done)));
        out.Done(PutUtf8(to, kForm, c + done, end - done));
        done = end;
      }
    });
  }
};

struct Utf8StringType : UnicodeStringType<UnicodeForm::kUtf8> {
  static constexpr std::string_view kName = "UTF8String";
};
struct BmpStringType : UnicodeStringType<UnicodeForm::kUtf16> {
  static constexpr std::string_view kName = "BMPString";
};
struct UniversalStringType : UnicodeStringType<UnicodeForm::kUcs4> {
  static constexpr std::string_view kName = "UniversalString";
};

}  // namespace orvalis
