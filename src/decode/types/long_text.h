// Long values: a primitive value of kLongValue octets or more has its text made in chunks, each
// handed on as it is made (written out, kept in the temporary file, or dropped: see
// KeepHeldTextBounded), so that no value's text is ever held whole, however long the value. The
// bytes are those that the text made in one go would have. Shorter values, nearly all of them, keep
// their own paths.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/text_buffer.h"
#include "common/text_format.h"
#include "decode/types/text_layout.h"
#include "decode/values/asn1_values.h"
#include "decode/values/telephony_values.h"
#include "decode/values/value_readers.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

// How the octets of a long value are written: two characters per octet in
// hexadecimal, as telephone digits (the last one left out when the count is odd), as TBCD digits
// (low nibble first; the last one left out, the filler, when the count is odd), or as a line code
// (hexadecimal, a "/" after the first two octets); as the bits of a bit string ("0" and "1", its
// count of bits given in place of the octets'), as an object identifier's dotted arcs; or, in a
// CSV cell, as a text (a CSV field of its octets, or of the UTF-8 of a checked Unicode text).
enum class LongForm : uint8_t {
  kHex,
  kDigits,
  kOddDigits,
  kLineCode,
  kText,
  kTbcd,
  kOddTbcd,
  kBits,
  kObjectIdentifier,
  kUtf8,
  kUtf16,
  kUcs4,
};

// A CSV cell of a long value, made from the input's octets when its row is written.
struct LongCell {
  const uint8_t* Octets = nullptr;
  uint64_t Count = 0;
  LongForm Form = LongForm::kHex;
};

// The octets that make one chunk of a long value's text.
constexpr std::size_t kLongValueChunk = 16 << 10;

// Chunks into the record's text: the text held is handed on after each.
struct RecordChunks {
  WalkContext& Walk;
  char* Room(std::size_t n) { return Walk.State.RecordBuffer.extend(n); }
  void Done(const char* end) {
    TextBuffer& text = Walk.State.RecordBuffer;
    text.truncate(static_cast<std::size_t>(end - text.data()));
    KeepHeldTextBounded(Walk);  // a stretch walked ahead stops at its next element
  }
  void Put(std::string_view text) {
    char* at = Room(text.size());
    std::memcpy(at, text.data(), text.size());
    Done(at + text.size());
  }
};

// Seeks a text in a text that comes in chunks.
class ChunkedSearch {
 public:
  explicit ChunkedSearch(std::string_view wanted) : wanted_(wanted), found_(wanted.empty()) {}
  void Feed(std::string_view chunk);
  bool Found() const { return found_; }

 private:
  std::string_view wanted_;
  bool found_;
  std::string tail_;  // the last characters fed, fewer than wanted_ has
};

// Chunks of a long value's text that is not kept, made one at a time in ValueText for the item's
// filter value to be sought in.
class SearchChunks {
 public:
  SearchChunks(WalkContext& walk, const TItem& item)
      : text_(walk.ValueText), search_(item.FilterValue ? std::string_view(*item.FilterValue) : std::string_view()) {}
  char* Room(std::size_t n) {
    text_.clear();
    return text_.extend(n);
  }
  void Done(const char* end) {
    text_.truncate(static_cast<std::size_t>(end - text_.data()));
    search_.Feed(text_.view());
  }
  void Put(std::string_view text) {
    char* at = Room(text.size());
    std::memcpy(at, text.data(), text.size());
    Done(at + text.size());
  }
  bool Found() const { return search_.Found(); }

 private:
  TextBuffer& text_;
  ChunkedSearch search_;
};

// A bit string's bits, "0" or "1" each, chunk by chunk.
template <typename Chunks>
void PutLongBits(Chunks& out, const uint8_t* octets, uint64_t bits) {
  for (uint64_t done = 0; done < bits;) {
    const std::size_t n = bits - done < 8 * kLongValueChunk ? static_cast<std::size_t>(bits - done) : 8 * kLongValueChunk;
    char* to = out.Room(n);
    for (std::size_t i = 0; i < n; ++i) {
      const uint64_t bit = done + i;
      to[i] = static_cast<char>('0' + (octets[bit / 8] >> (7 - bit % 8) & 1));
    }
    done += n;
    out.Done(to + n);
  }
}

// A checked object identifier's dotted arcs, chunk by chunk (each of the subidentifiers that
// begin within about kLongValueChunk octets).
template <typename Chunks>
void PutLongObjectIdentifier(Chunks& out, const uint8_t* c, uint64_t length) {
  bool first = true;
  for (uint64_t at = 0; at < length;) {
    // An arc has at most three digits an octet, and the subidentifier that ends the chunk at most
    // twenty, however many octets it has.
    char* to = out.Room(static_cast<std::size_t>(ObjectIdentifierRoom(kLongValueChunk)) + 48);
    at = ForEachArc(
        c, length,
        [&](uint64_t arc) {
          if (!first) *to++ = '.';
          first = false;
          to = std::to_chars(to, to + 20, arc).ptr;
        },
        at, kLongValueChunk);
    out.Done(to);
  }
}

// Writes `count` octets in the form given (kHex, kDigits, kOddDigits, kTbcd, kOddTbcd, kLineCode,
// kBits or kObjectIdentifier), chunk by chunk: `out.Room(n)` gives room for n characters,
// `out.Done(end)` ends each chunk.
template <typename Chunks>
void PutLongForm(Chunks& out, const uint8_t* octets, uint64_t count, LongForm form) {
  if (form == LongForm::kBits) return PutLongBits(out, octets, count);
  if (form == LongForm::kObjectIdentifier) return PutLongObjectIdentifier(out, octets, count);
  const bool tbcd = form == LongForm::kTbcd || form == LongForm::kOddTbcd;
  const OctetPairs& pairs = form == LongForm::kHex || form == LongForm::kLineCode ? kUpperHexPairs
                            : tbcd                                                  ? kTbcdPairs
                                                                                    : kAddressDigitPairs;
  for (uint64_t done = 0; done < count;) {
    const std::size_t n = count - done < kLongValueChunk ? static_cast<std::size_t>(count - done) : kLongValueChunk;
    char* to = out.Room(2 * n + 1);
    if (form == LongForm::kLineCode && done == 0) {  // a line code's first two octets, then "/"
      const LineCodeValue code = ReadLineCode(octets, count);
      to = PutOctetPairs(to, octets, code.Head);
      *to++ = '/';
      to = PutOctetPairs(to, octets + code.Head, n - code.Head);
    } else {
      to = PutOctetPairs(to, octets + done, n, pairs);
    }
    done += n;
    if (done == count && (form == LongForm::kOddDigits || form == LongForm::kOddTbcd)) --to;
    out.Done(to);
  }
}

// A line of a long value too long for a piece, sought by the filter: the line made by
// `makeLine(chunks)`, and its line feed, in chunks. True when the item's filter value is in it.
template <typename MakeLine>
bool LongLineHolds(WalkContext& walk, const TItem& item, MakeLine&& makeLine) {
  SearchChunks seek(walk, item);
  makeLine(seek);
  seek.Put("\n");
  return seek.Found();
}

}  // namespace orvalis
